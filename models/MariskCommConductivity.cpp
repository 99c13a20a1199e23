// The sonde's conductivity settings: the TDS factor, the cell constant and offset, the
// specific-conductance coefficients (reference temperature, alpha and eight betas), their cache and
// the notes of their changes.
#include <algorithm>

#include "foundation/BufferReader.h"
#include "foundation/CommTimeouts.h"
#include "models/CalibrationNotes.h"
#include "models/ConductanceCurveNote.h"
#include "models/MariskComm.h"
#include "models/SensorNoteWriter.h"
#include "models/SettingNotes.h"

namespace NVSystem
{

namespace
{

// The reference temperature, alpha and the eight betas, two registers each.
constexpr USHORT kCoefficientRegisters = 2 * (2 + CMariskComm::kBetas);

USHORT BetaRegister(uint32_t n)
{
    return static_cast<USHORT>(CMariskComm::kFirstBetaRegister + 2 * n);
}

} // namespace

HRESULT CMariskComm::SetTDSFactor(float factor)
{
    const HRESULT result =
        CachedWrite(kTDSFactorRegister, m_TDSFactor, factor, u" - setting TDS conversion factor: ",
                    u" - failed to set TDS conversion factor, EC: ");
    if (Succeeded(result))
        WriteNote<CNVUserNote_Calibrate_TDSFactor>(factor);
    return result;
}

HRESULT CMariskComm::ReadTDSFactor(float& factor)
{
    return UnderDeviceLock(
        [&]
        {
            return CachedRead(kTDSFactorRegister, m_TDSFactor, factor, u" - reading TDS conversion factor",
                              u" - Cached TDS Factor: ", u" - failed to get TDS conversion factor, EC: ",
                              u" - success, Factor: ");
        });
}

HRESULT CMariskComm::SetCellConstant(float constant)
{
    return CachedWrite(kCellConstantRegister, m_CellConstant, constant, u" - setting cell constant to: ",
                       u" - failed to set cell constant, EC: ");
}

HRESULT CMariskComm::ReadCellConstant(float& constant)
{
    return UnderDeviceLock(
        [&]
        {
            return CachedRead(kCellConstantRegister, m_CellConstant, constant,
                              u" - reading conductivy cell constant", u" - Cached KCell: ",
                              u" - failed to read cell constant, EC: ", u" - success, Constant: ");
        });
}

HRESULT CMariskComm::SetCellOffset(float offset)
{
    return CachedWrite(kCellOffsetRegister, m_CellOffset, offset, u" - setting cell offset to: ",
                       u" - failed to set cell offset, EC: ");
}

HRESULT CMariskComm::ReadCellOffset(float& offset)
{
    return UnderDeviceLock(
        [&]
        {
            return CachedRead(kCellOffsetRegister, m_CellOffset, offset, u" - reading conductivy cell offset",
                              u" - Cached Cell Offset: ", u" - failed to read cell offset, EC: ",
                              u" - success Offset: ");
        });
}

// --- Specific-conductance coefficients ---

void CMariskComm::TraceCoefficients(const char16_t* heading, float referenceTemperature, float alpha,
                                    const CDynArray<float>& betas)
{
    CTraceLog& line = StepTrace() << heading << u"Ref Temp: " << referenceTemperature << u"\n"
                                  << u"Alpha: " << alpha << u"\n"
                                  << u"Beta:";
    for (uint32_t n = 0; n < betas.GetCount(); ++n)
        line << u" " << betas[n];
    line << TRACE_END;
}

HRESULT CMariskComm::ReadSpecCondCoefficients(float& referenceTemperature, float& alpha,
                                              CDynArray<float>& betas)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    alpha = 0.0f;
    betas.RemoveAll();
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - reading spec cond coefficients..." << TRACE_END;
            const bool cached =
                m_bStaticValuesCached && m_ReferenceTemperature && m_Alpha &&
                std::all_of(m_Betas.begin(), m_Betas.end(), [](const auto& beta) { return beta; });
            if (cached)
            {
                referenceTemperature = *m_ReferenceTemperature;
                alpha = *m_Alpha;
                for (const std::optional<float>& beta : m_Betas)
                {
                    if (betas.Add(*beta) < 0)
                        return E_OUTOFMEMORY;
                }
                TraceCoefficients(u" - from cache, coefficients:\n", referenceTemperature, alpha, betas);
                return S_OK;
            }
            CByteBuffer data;
            HRESULT hr =
                Network().ReadRegisters(Address(), kReferenceTemperatureRegister, kCoefficientRegisters, data,
                                        GetReadRegisterTimeout(), m_nRetryCount);
            if (Failed(hr))
                return TraceFailure(u" - failed to read spec cond coefficients, EC: ", hr);
            CBufferReader reader(data);
            reader.m_bHighWordFirst = Network().m_bHighWordFirst.load();
            float reference = 0.0f;
            float first = 0.0f;
            if (Failed(hr = reader.ReadFloat(reference)) || Failed(hr = reader.ReadFloat(first)))
                return hr;
            referenceTemperature = reference;
            alpha = first;
            m_ReferenceTemperature = reference;
            m_Alpha = first;
            for (uint32_t n = 0; n < kBetas; ++n)
            {
                float beta = 0.0f;
                if (Failed(hr = reader.ReadFloat(beta)))
                    return hr;
                if (betas.Add(beta) < 0)
                    return E_OUTOFMEMORY;
                m_Betas[n] = beta;
            }
            TraceCoefficients(u" - success, coefficients:\n", referenceTemperature, alpha, betas);
            return hr;
        });
}

HRESULT CMariskComm::WriteSpecCondCoefficients(float referenceTemperature, float alpha,
                                               const CDynArray<float>& betas)
{
    CDynArray<float> curve(betas);
    if (curve.GetCount() != betas.GetCount())
        return E_OUTOFMEMORY;
    while (curve.GetCount() < kBetas)
    {
        if (curve.Add(0.0f) < 0)
            return E_OUTOFMEMORY;
    }
    bool written = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - writing spec cond coefficients...\n"
                        << u"\tRef Temp: " << referenceTemperature << u"\n"
                        << u"\tAlpha: " << alpha << u"\n"
                        << u"\tBeta:";
            for (uint32_t n = 0; n < kBetas; ++n)
                m_Trace << u" " << curve[n];
            m_Trace << TRACE_END;
            // This device takes its coefficients with the read time-out.
            const ULONG timeoutMs = GetReadRegisterTimeout();
            HRESULT hr = Network().WriteFloat(Address(), kReferenceTemperatureRegister, referenceTemperature,
                                              timeoutMs, m_nRetryCount);
            if (Failed(hr))
                return TraceFailure(u" - failed to set spec cond ref temp, EC: ", hr);
            m_ReferenceTemperature = referenceTemperature;
            hr = Network().WriteFloat(Address(), kAlphaRegister, alpha, timeoutMs, m_nRetryCount);
            if (Failed(hr))
                return TraceFailure(u" - failed to set spec cond alpha coeff, EC: ", hr);
            m_Alpha = alpha;
            for (uint32_t n = 0; n < kBetas; ++n)
            {
                hr = Network().WriteFloat(Address(), BetaRegister(n), curve[n], timeoutMs, m_nRetryCount);
                if (Failed(hr))
                {
                    StepTrace() << u" - failed to set spec cond beta coeff " << n << u", EC: " << TraceHr(hr)
                                << TRACE_END;
                    return hr;
                }
                m_Betas[n] = curve[n];
            }
            TraceCoefficients(u" - success, coefficients:\n", referenceTemperature, alpha, curve);
            written = true;
            return hr;
        });
    if (!written || !HasActiveLog())
        return result;
    try
    {
        CNVUserNote_SpecCondCurve note;
        if (Failed(note.BuildWithCurve(NoteSerial(), referenceTemperature, alpha, curve)))
            return result;
        return WriteLogNote(note);
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

HRESULT CMariskComm::ResetSpecCondCoefficients(float referenceTemperature, float alpha)
{
    CDynArray<float> linear;
    if (linear.Add(1.0f) < 0)
        return E_OUTOFMEMORY;
    return WriteSpecCondCoefficients(referenceTemperature, alpha, linear);
}

HRESULT CMariskComm::WriteConductivityCalNote(float referenceTemperature, float temperatureCoefficient)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<CNVUserNote_Calibrate_Conductivity>(
        *this,
        [&](CNVUserNote_Calibrate_Conductivity& note)
        {
            float constant = 0.0f;
            float offset = 0.0f;
            ReadCellConstant(constant);
            ReadCellOffset(offset);
            ULONG serial = 0;
            GetSerialNumber(serial);
            return note.Build(serial, constant, offset, referenceTemperature, temperatureCoefficient);
        });
}

} // namespace NVSystem
