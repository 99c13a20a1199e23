// The logger object: construction with its family's registers, the class test and downcast, the
// device's calibration mode, and what the register operations share.
#include "models/StiloComm.h"

#include "foundation/CommTimeouts.h"
#include "models/RestoreFactoryCalNote.h"

namespace NVSystem
{

namespace
{

// The registers that each family of the line places.
struct sFamilyRegisters
{
    USHORT templateVersion;
    USHORT scratchPad;
    USHORT externalVoltage;
    USHORT internalBatteryVoltage;
    USHORT totalMeasurementCounter;
    USHORT totalBatteryCounter;
    USHORT measurementCacheTimeout;
};

constexpr sFamilyRegisters kEarlierFamily{40108, 0, 40109, 40110, 40111, 40113, 0};
constexpr sFamilyRegisters kLaterFamily{47000, 47008, 47001, 47002, 47003, 47005, 47007};

bool IsLaterFamily(USHORT deviceType)
{
    return deviceType == 6 || deviceType == 8 || deviceType == 15 || deviceType == 16;
}

} // namespace

CStiloComm::CStiloComm(const SlaveIdInfo& slaveId) : CBuiltInPressureSensor(slaveId, kClassSignature)
{
    const sFamilyRegisters& family = IsLaterFamily(slaveId.DeviceTypeId) ? kLaterFamily : kEarlierFamily;
    m_RegisterMap.TemplateVersion = family.templateVersion;
    m_RegisterMap.ScratchPad = family.scratchPad;
    m_RegisterMap.ExternalVoltage = family.externalVoltage;
    m_RegisterMap.InternalBatteryVoltage = family.internalBatteryVoltage;
    m_RegisterMap.TotalMeasurementCounter = family.totalMeasurementCounter;
    m_RegisterMap.TotalBatteryCounter = family.totalBatteryCounter;
    m_RegisterMap.MeasurementCacheTimeout = family.measurementCacheTimeout;
}

bool CStiloComm::IsStilo(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CStiloComm* CStiloComm::QueryStiloComm()
{
    if (!CarriesSignatures())
        return nullptr;
    AddRef();
    return this;
}

ISensor_PressureTempLevel* CStiloComm::GetPressureTempLevelSensor()
{
    return this;
}

HRESULT CStiloComm::SetSensorCalModeOn(USHORT connection)
{
    return EnableCalContinuous(connection);
}

HRESULT CStiloComm::SetSensorCalModeOff(USHORT /*connection*/)
{
    return SetOnline();
}

// --- What the register operations share ---

CTraceLog& CStiloComm::StiloTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Stilo Device: " << Address();
}

HRESULT CStiloComm::TraceFailure(const char16_t* text, HRESULT hr)
{
    StiloTrace() << text << TraceHr(hr) << TRACE_END;
    return hr;
}

void CStiloComm::TraceSuccess()
{
    StiloTrace() << u" - success" << TRACE_END;
}

HRESULT CStiloComm::ReadFloatRegister(USHORT reg, float& value)
{
    return Network().ReadFloat(Address(), reg, value, GetReadRegisterTimeout(), m_nRetryCount);
}

HRESULT CStiloComm::WriteFloatRegister(USHORT reg, float value)
{
    return Network().WriteFloat(Address(), reg, value, GetWriteRegisterTimeout(), m_nRetryCount);
}

HRESULT CStiloComm::TracedRead(USHORT reg, float& value, const char16_t* start, const char16_t* failure)
{
    return Framed(
        [&]
        {
            StiloTrace() << start << TRACE_END;
            const HRESULT hr = ReadFloatRegister(reg, value);
            if (Failed(hr))
                return TraceFailure(failure, hr);
            TraceSuccess();
            return hr;
        });
}

ULONG CStiloComm::SensorSerial()
{
    ULONG serial = 0;
    if (Failed(GetSensorSerialNumber(BUILT_IN_SENSOR_CONNECTION, serial)))
        serial = 0;
    return serial;
}

void CStiloComm::WriteRestoreNote(USHORT kind) noexcept
{
    try
    {
        if (!HasActiveLog())
            return;
        CNVUserNote_RestoreFactoryCal_Sensor note;
        if (Succeeded(note.Build(SensorSerial(), kind)))
            WriteLogNote(note);
    }
    catch (...)
    {
        // A note that cannot be written leaves the operation's result as it is.
    }
}

} // namespace NVSystem
