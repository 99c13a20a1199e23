#include "models/ConductanceCurveNote.h"

#include <new>

#include "foundation/StringTools.h"

namespace NVSystem
{

namespace
{

constexpr uint16_t kVersion = 0;
constexpr StringId IDS_REFERENCE_TEMPERATURE = 10544;
constexpr StringId IDS_TEMPERATURE_COEFFICIENT = 10545;
constexpr StringId IDS_CURVE_COEFFICIENT = 10546;
constexpr StringId IDS_SENSOR_SN = 10603;

CDynArray<float> ZeroCurve()
{
    CDynArray<float> curve;
    if (!curve.SetSize(CNVUserNote_SpecCondCurve::kCoefficients))
        throw std::bad_alloc();
    return curve;
}

} // namespace

CNVUserNote_SpecCondCurve::CNVUserNote_SpecCondCurve() : m_Coefficients(ZeroCurve()) {}

HRESULT CNVUserNote_SpecCondCurve::Build(ULONG serial, float referenceTemperature,
                                         float temperatureCoefficient)
{
    return BuildWithCurve(serial, referenceTemperature, temperatureCoefficient, ZeroCurve());
}

HRESULT CNVUserNote_SpecCondCurve::BuildWithCurve(ULONG serial, float referenceTemperature,
                                                  float temperatureCoefficient, CDynArray<float> coefficients)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    while (coefficients.GetCount() < kCoefficients)
    {
        if (coefficients.Add(0.0f) < 0)
            throw std::bad_alloc();
    }
    while (coefficients.GetCount() > kCoefficients)
        coefficients.RemoveAt(kCoefficients);
    writer.Write(referenceTemperature, temperatureCoefficient);
    for (uint32_t i = 0; i < kCoefficients; ++i)
        writer.Write(coefficients[i]);
    FinishBuild(writer);
    m_fReferenceTemperature = referenceTemperature;
    m_fTemperatureCoefficient = temperatureCoefficient;
    m_Coefficients = coefficients;
    return S_OK;
}

HRESULT CNVUserNote_SpecCondCurve::Load(const CNVLogNotesRecord& record)
{
    if (const HRESULT hr = BeginLoad(record, kSubType); Failed(hr))
        return hr;
    if (m_Record.m_Payload.GetLength() < kMinimumPayload)
        return E_FAIL;
    CBufferReader reader(m_Record.m_Payload);
    if (const HRESULT hr =
            ReadFields(reader, m_nSerialNumber, m_fReferenceTemperature, m_fTemperatureCoefficient);
        Failed(hr))
        return hr;
    for (uint32_t i = 0; i < kCoefficients; ++i)
    {
        float coefficient = 0.0f;
        if (const HRESULT hr = ReadFields(reader, coefficient); Failed(hr))
            return hr;
        if (m_Coefficients.Add(coefficient) < 0)
            return E_OUTOFMEMORY;
    }
    return ReadUserName(reader);
}

void CNVUserNote_SpecCondCurve::Reset()
{
    CNVUserNote::Reset();
    m_fReferenceTemperature = 0.0f;
    m_fTemperatureCoefficient = 0.0f;
    m_Coefficients.SetSize(0);
}

CWideString CNVUserNote_SpecCondCurve::GetTypeName() const
{
    CWideString curve = FormatFloatList(m_Coefficients);
    curve.ReplaceCharWithSpace(u';');
    CWideString text;
    text.Format(u"%s: %u  %s: %g  %s: %g  %s: %s", NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber,
                NoteText(NoteLabel(IDS_REFERENCE_TEMPERATURE)), double{m_fReferenceTemperature},
                NoteText(NoteLabel(IDS_TEMPERATURE_COEFFICIENT)), double{m_fTemperatureCoefficient},
                NoteText(NoteLabel(IDS_CURVE_COEFFICIENT)), NoteText(curve));
    return text + UserNamePart(u"   %s: %s");
}

} // namespace NVSystem
