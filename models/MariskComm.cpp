// The sonde object: construction with its family's registers and its type's parameters, the class
// test and downcast, the sensor getters, the device's calibration mode, the cache of the static
// values, and the register access and trace that the level settings use.
#include "models/MariskComm.h"

namespace NVSystem
{

namespace
{

// The later loggers' registers, but the scratch pad only from the sonde's register map version 2
// on, which the device's register map knows.
constexpr sLoggerRegisters kSondeRegisters{47000, 0, 47001, 47002, 47003, 47005, 47007};

// The sonde without pressure: its readings are numbered without them.
constexpr USHORT kConductivityOnlyType = 10;
constexpr USHORT kNoParameter = 0;

} // namespace

CMariskComm::CMariskComm(const SlaveIdInfo& slaveId)
    : COfflineCalibratedLogger(slaveId, kClassSignature), m_nDeviceType(slaveId.DeviceTypeId),
      m_nPressureParameter(slaveId.DeviceTypeId == kConductivityOnlyType ? kNoParameter : 1),
      m_nLevelParameter(slaveId.DeviceTypeId == kConductivityOnlyType ? kNoParameter : 3),
      m_ConductivityParameters(slaveId.DeviceTypeId == kConductivityOnlyType
                                   ? std::array<USHORT, 6>{1, 3, 4, 5, 6, 7}
                                   : std::array<USHORT, 6>{4, 5, 6, 7, 8, 9})
{
    PlaceLoggerRegisters(m_RegisterMap, kSondeRegisters);
}

bool CMariskComm::IsMarisk(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CMariskComm* CMariskComm::QueryMariskComm()
{
    if (!CarriesSignatures())
        return nullptr;
    AddRef();
    return this;
}

ISensor_ConductivityPTL* CMariskComm::GetConductivityPTLSensor()
{
    return this;
}

ISensor_PressureTempLevel* CMariskComm::GetPressureTempLevelSensor()
{
    return CarriesSignatures() && m_nDeviceType == kLevelSondeType ? this : nullptr;
}

HRESULT CMariskComm::UpdateCache()
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - cache static values" << TRACE_END;
            const HRESULT hr = CDeviceComm::UpdateCache();
            if (Failed(hr))
                return hr;
            // Each read fills its cache entry; one that fails is read again when asked for.
            float value = 0.0f;
            ReadTDSFactor(value);
            ReadCellConstant(value);
            ReadCellOffset(value);
            float alpha = 0.0f;
            CDynArray<float> betas;
            ReadSpecCondCoefficients(value, alpha, betas);
            ReadDynamicSGFactor(value);
            m_bStaticValuesCached = true;
            StepTrace() << u" - cache static values complete" << TRACE_END;
            return S_OK;
        });
}

// --- Trace and cached registers ---

CTraceLog& CMariskComm::StepTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Marisk Device: " << Address();
}

HRESULT CMariskComm::CachedRead(USHORT reg, std::optional<float>& entry, float& value, const char16_t* action,
                                const char16_t* fromCache, const char16_t* failure, const char16_t* success)
{
    StepTrace() << action << TRACE_END;
    if (m_bStaticValuesCached && entry)
    {
        value = *entry;
        StepTrace() << fromCache << value << u" - success" << TRACE_END;
        return S_OK;
    }
    float read = 0.0f;
    const HRESULT hr = ReadFloat(reg, read);
    if (Failed(hr))
        return TraceFailure(failure, hr);
    entry = read;
    value = read;
    StepTrace() << success << value << TRACE_END;
    return hr;
}

HRESULT CMariskComm::CachedWrite(USHORT reg, std::optional<float>& entry, float value, const char16_t* action,
                                 const char16_t* failure)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << action << value << TRACE_END;
            const HRESULT hr = WriteFloat(reg, value);
            if (Failed(hr))
                return TraceFailure(failure, hr);
            entry = value;
            TraceSuccess();
            return hr;
        });
}

} // namespace NVSystem
