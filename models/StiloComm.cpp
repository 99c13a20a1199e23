// The logger object: construction with its family's registers, the class test and downcast, the
// device's calibration mode, and the register access and trace that the level settings use.
#include "models/StiloComm.h"

#include "foundation/CommTimeouts.h"

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

CStiloComm::CStiloComm(const SlaveIdInfo& slaveId) : CLevelSettings(slaveId, kClassSignature)
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

// --- What the level settings need ---

CTraceLog& CStiloComm::StepTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Stilo Device: " << Address();
}

HRESULT CStiloComm::ReadFloat(USHORT reg, float& value)
{
    return Network().ReadFloat(Address(), reg, value, GetReadRegisterTimeout(), m_nRetryCount);
}

HRESULT CStiloComm::WriteFloat(USHORT reg, float value)
{
    return Network().WriteFloat(Address(), reg, value, GetWriteRegisterTimeout(), m_nRetryCount);
}

HRESULT CStiloComm::ReadWord(USHORT reg, USHORT& value)
{
    return Network().ReadUShort(Address(), reg, value, GetReadRegisterTimeout(), m_nRetryCount);
}

HRESULT CStiloComm::WriteWord(USHORT reg, USHORT value)
{
    return Network().WriteUShort(Address(), reg, value, GetWriteRegisterTimeout(), m_nRetryCount);
}

ULONG CStiloComm::NoteSerial()
{
    ULONG serial = 0;
    if (Failed(GetSensorSerialNumber(BUILT_IN_SENSOR_CONNECTION, serial)))
        serial = 0;
    return serial;
}

} // namespace NVSystem
