// The flow logger object: construction, class test and downcast, the head reference and its
// restores, the level mode, the flow formula coefficients and the head reference note.
#include "models/FluvarComm.h"

#include <array>

#include "models/RestoreFactoryCalNote.h"

namespace NVSystem
{

namespace
{

// The head parameter's id while it measures the head.
constexpr USHORT kHeadParameterId = 27;
// The head is measured from its reference.
constexpr ULONG kHeadLevelMode = 5;

constexpr std::array<const char16_t*, CFluvarComm::kCoefficients> kCoefficientNames{u"K0", u"K1", u"K2",
                                                                                    u"K3", u"K4", u"N"};

USHORT CoefficientRegister(uint32_t n)
{
    return static_cast<USHORT>(CFluvarComm::kFirstCoefficientRegister + 2 * n);
}

} // namespace

CFluvarComm::CFluvarComm(const SlaveIdInfo& slaveId) : CBuiltInLevelLogger(slaveId, kClassSignature)
{
    PlaceLoggerRegisters(m_RegisterMap, LOGGER_REGISTERS_40100);
}

bool CFluvarComm::IsFluvar(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CFluvarComm* CFluvarComm::QueryFluvarComm()
{
    if (!CarriesSignatures())
        return nullptr;
    AddRef();
    return this;
}

CTraceLog& CFluvarComm::StepTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Fluvar Device: " << Address();
}

// --- Head reference ---

HRESULT CFluvarComm::SetLevelReference(float reference)
{
    return WriteLevelReference(kHeadParameter, {kHeadParameterId}, kHeadReferenceRegister, reference,
                               u" - failed to set Flow Ref, EC: ");
}

HRESULT CFluvarComm::ReadLevelReference(float& reference)
{
    return TracedRead(kHeadReferenceRegister, reference, u" - reading level reference",
                      u" - failed to get Flow Ref, EC: ");
}

HRESULT CFluvarComm::ReadLevelMode(ULONG& mode)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    mode = kHeadLevelMode;
    return S_OK;
}

HRESULT CFluvarComm::ResetHeadReferences(const char16_t* headFailure)
{
    HRESULT hr = WriteFloat(kHeadReferenceRegister, 0.0f);
    if (Failed(hr))
        return TraceFailure(headFailure, hr);
    hr = WriteFloat(kHeadPressureReferenceRegister, 0.0f);
    return Failed(hr) ? TraceFailure(u" - failed to reset head pressure reference, EC: ", hr) : hr;
}

HRESULT CFluvarComm::RestorePressureFactoryCal()
{
    bool offsetRestored = false;
    bool referencesRestored = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            HRESULT hr = TurnCalModeOn();
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(*this, BUILT_IN_SENSOR_CONNECTION);
            hr = WriteFloat(kPressureOffsetRegister, 0.0f);
            offsetRestored = Succeeded(hr);
            hr = EndOffsetWrite(calMode, hr);
            if (Failed(hr))
                return hr;
            hr = ResetHeadReferences(u" - failed to reset head reference, EC: ");
            referencesRestored = Succeeded(hr);
            return hr;
        });
    if (offsetRestored)
        WriteNote<CNVUserNote_RestoreFactoryCal_Sensor>(RESTORE_KIND_PRESSURE_OFFSET);
    if (referencesRestored)
        WriteNote<CNVUserNote_RestoreFactoryCal_Sensor>(RESTORE_KIND_HEAD_REFERENCE);
    return result;
}

HRESULT CFluvarComm::RestoreLevelReferenceDefaults()
{
    bool restored = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - resetting head reference to factory defaults" << TRACE_END;
            const HRESULT hr = ResetHeadReferences(u" - failed to reset head Reference, EC: ");
            if (Failed(hr))
                return hr;
            TraceSuccess();
            restored = true;
            return hr;
        });
    if (restored)
        WriteNote<CNVUserNote_RestoreFactoryCal_Sensor>(RESTORE_KIND_HEAD_REFERENCE);
    return result;
}

HRESULT CFluvarComm::WriteSetNewLevelRefNote()
{
    return WriteReferenceNote<CNVUserNote_Calibrate_SetNewHeadRef>([this](USHORT& unitId)
                                                                   { return GetFlowUnit(unitId); });
}

// --- Flow formula ---

HRESULT CFluvarComm::SetFlowCoefficients(float k0, float k1, float k2, float k3, float k4, float n)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting flow coefficients to... K0: " << k0 << u" K1:" << k1 << u" K2:" << k2
                        << u" K3:" << k3 << u" K4:" << k4 << u" N:" << n << TRACE_END;
            const std::array<float, kCoefficients> values{k0, k1, k2, k3, k4, n};
            for (uint32_t i = 0; i < kCoefficients; ++i)
            {
                const HRESULT hr = WriteFloat(CoefficientRegister(i), values[i]);
                if (Failed(hr))
                {
                    StepTrace() << u" - failed to set " << kCoefficientNames[i] << u", EC: " << TraceHr(hr)
                                << TRACE_END;
                    return hr;
                }
            }
            TraceSuccess();
            return S_OK;
        });
}

HRESULT CFluvarComm::ReadFlowCoefficients(float& k0, float& k1, float& k2, float& k3, float& k4, float& n)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - reading formula coefficients" << TRACE_END;
            const std::array<float*, kCoefficients> values{&k0, &k1, &k2, &k3, &k4, &n};
            for (uint32_t i = 0; i < kCoefficients; ++i)
            {
                const HRESULT hr = ReadFloat(CoefficientRegister(i), *values[i]);
                if (Failed(hr))
                {
                    StepTrace() << u" - failed to get " << kCoefficientNames[i] << u", EC: " << TraceHr(hr)
                                << TRACE_END;
                    return hr;
                }
            }
            TraceSuccess();
            return S_OK;
        });
}

} // namespace NVSystem
