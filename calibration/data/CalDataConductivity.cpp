#include "calibration/data/CalDataConductivity.h"

#include <cfloat>
#include <cmath>
#include <mutex>

#include "calibration/data/CalNumberText.h"

namespace
{

constexpr float kCompensationReference = 25.0f; // the listed standards are given at 25 C

const CCalData::Kind kConductivityKind{CCalDataConductivity::kSampleInterval,
                                       CCalDataConductivity::kCacheTimeout, false,
                                       u"Conductivity Calibration Error"};

// The listed standards' conductivity at 25 C, µS/cm; 0 for any other id.
float StandardAt25(int32_t solutionId)
{
    switch (solutionId)
    {
    case CAL_SOLUTION_COND_147:
        return 147.0f;
    case CAL_SOLUTION_COND_1413:
        return 1413.0f;
    case CAL_SOLUTION_COND_12890:
        return 12890.0f;
    case CAL_SOLUTION_COND_58670:
        return 58670.0f;
    default:
        return 0.0f;
    }
}

bool IsUsableConductivity(float value)
{
    return std::isfinite(value) && value > 0.0f && value < FLT_MAX;
}

} // namespace

CCalDataConductivity::CCalDataConductivity(ICalProbeConnection& probe) : CCalData(probe, kConductivityKind)
{
    m_compPolynomial.SetSize(8);
    for (uint32_t i = 0; i < 8; ++i)
        m_compPolynomial[i] = i == 0 ? 1.0f : 0.0f;
}

CCalDataConductivity::~CCalDataConductivity()
{
    EndReading();
}

HRESULT CCalDataConductivity::StartReading(NVSystem::ISensor_Conductivity* sensor, INotifyWindow* window)
{
    m_pSensor = sensor;
    return StartWorker(window, true);
}

HRESULT CCalDataConductivity::StartManual(NVSystem::ISensor_Conductivity* sensor, INotifyWindow* window)
{
    m_pSensor = sensor;
    return StartWorker(window, false);
}

USHORT CCalDataConductivity::CalConnection()
{
    return m_pSensor != nullptr ? m_pSensor->GetConductivityConnection() : 0;
}

HRESULT CCalDataConductivity::BeginCalibration()
{
    std::lock_guard lock(m_dataLock);
    HRESULT hr = CheckCanBegin();
    if (Failed(hr))
        return hr;
    hr = SaveOldCalibration();
    if (Failed(hr))
    {
        ShowError(u"Failed to save old calibration values: %08X", hr);
        return hr;
    }
    hr = SwitchCalModeOn();
    if (Failed(hr))
        return hr;
    PrepareStabilization();
    SetState(CAL_STATE_RUN);
    return S_OK;
}

HRESULT CCalDataConductivity::PrepareStabilization()
{
    std::lock_guard lock(m_dataLock);
    Hold();
    return m_restoreDefaults != 0 ? E_FAIL : S_OK;
}

HRESULT CCalDataConductivity::SaveOldCalibration()
{
    std::lock_guard lock(m_dataLock);
    if (m_pSensor == nullptr)
        return E_POINTER;
    return TalkWithinData(
        [this]
        {
            HRESULT hr = m_pSensor->ReadCellConstant(m_oldCal.cellConstant);
            if (Succeeded(hr))
                hr = m_pSensor->ReadCellOffset(m_oldCal.cellOffset);
            if (Succeeded(hr))
                hr = m_pSensor->ReadCalibrationBlock(m_oldCal.refTemperature, m_oldCal.tempCoefficient,
                                                     m_oldCal.coefficients);
            return hr;
        });
}

float CCalDataConductivity::Polynomial(float celsius)
{
    float p = 0.0f;
    for (uint32_t i = m_compPolynomial.GetCount(); i-- > 0;)
        p = p * celsius + m_compPolynomial[i];
    return p;
}

float CCalDataConductivity::GetExpectedConductivity(float celsius)
{
    std::lock_guard lock(m_dataLock);
    if (m_restoreDefaults != 0)
        return FLT_MAX;
    if (m_solutionId == CAL_SOLUTION_USER)
    {
        const std::optional<double> typed = ParseTypedNumber(m_standardText);
        return typed ? static_cast<float>(*typed) : FLT_MAX;
    }
    const float standard = StandardAt25(m_solutionId);
    if (standard == 0.0f)
        return FLT_MAX;
    return (1.0f + (celsius - kCompensationReference) * m_compLinearCoef) * standard / Polynomial(celsius);
}

float CCalDataConductivity::ExpectedAt(float celsius, float e25)
{
    const double compensation = 1.0 + (static_cast<double>(celsius) - m_compRefTemp) * m_compLinearCoef;
    return static_cast<float>(compensation * e25 / Polynomial(celsius));
}

int32_t CCalDataConductivity::GetStability()
{
    std::lock_guard lock(m_dataLock);
    const int32_t state = GetState();
    if (state == CAL_STATE_IDLE)
        return CAL_STABILITY_NONE;
    std::lock_guard stateLock(m_stateLock);
    if (state != CAL_STATE_RUN)
        return m_stability;
    m_stability = CAL_STABILITY_NONE;
    if (m_calSamples.GetCount() < kNominalWindow)
        return m_stability;
    // Without a usable standard nothing can be stable against it.
    const float e25 = GetExpectedConductivity(kCompensationReference);
    if (!IsUsableConductivity(e25))
        return m_stability;
    float celsius = 0.0f;
    m_calSamples.GetLast(kCalValue1, &celsius, nullptr, nullptr);
    const float expected = ExpectedAt(celsius, e25);
    const float tolerance = (expected + expected) / 100.0f;
    if (m_calSamples.GetRange(kNominalWindow) < tolerance + tolerance)
        m_stability = CAL_STABILITY_NOMINAL;
    if (m_calSamples.GetRange(kFullWindow) < tolerance)
        m_stability = CAL_STABILITY_FULL;
    return m_stability;
}

BOOL CCalDataConductivity::ComputeCalibration()
{
    std::lock_guard lock(m_dataLock);
    if (m_calMethod != kCellConstantMethod)
        return FALSE;
    m_newCal.refTemperature = m_oldCal.refTemperature;
    m_newCal.tempCoefficient = m_oldCal.tempCoefficient;
    m_newCal.coefficients = m_oldCal.coefficients;
    if (m_restoreDefaults != 0)
        return FALSE;
    const float e25 = GetExpectedConductivity(kCompensationReference);
    if (!IsUsableConductivity(e25))
        return FALSE;
    m_meanCalTemperature = m_calSamples.GetAverage(kCalValue1);
    m_meanCalConductivity = m_calSamples.GetAverage(kCalValue2);
    // A cell that reads nothing cannot be scaled to the standard: the sensor keeps its constant.
    if (!(m_meanCalConductivity > 0.0f))
        return FALSE;
    const float constant = (1.0f + (m_meanCalTemperature - m_compRefTemp) * m_compLinearCoef) *
                           (e25 / Polynomial(m_meanCalTemperature)) / m_meanCalConductivity;
    if (!IsUsableConductivity(constant))
        return FALSE;
    m_newCal.cellOffset = 0.0f;
    m_newCal.cellConstant = constant;
    return TRUE;
}

HRESULT CCalDataConductivity::CommitCalibration()
{
    std::unique_lock lock(m_dataLock);
    if (m_pSensor == nullptr)
        return E_POINTER;
    if (!ComputeCalibration())
        return E_FAIL;
    if (CalDevice() == nullptr)
        return E_POINTER;
    const HRESULT hr = TalkWithinData(
        [this]
        {
            HRESULT written = m_pSensor->SetCellOffset(m_newCal.cellOffset);
            if (Succeeded(written))
                written = m_pSensor->SetCellConstant(m_newCal.cellConstant);
            return written;
        });
    if (Failed(hr))
        return hr;
    // The report asks the probe connection, whose lock comes before this object's.
    lock.unlock();
    return TakeOverCalibration();
}

BOOL CCalDataConductivity::ReadCycle(int32_t state)
{
    SCalDataStore live;
    SCalDataStore sample;
    HRESULT hr = m_pSensor->ReadTemperature(live.m_value1, live.m_quality1, live.m_unit1, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadConductivityParam2(live.m_value2, live.m_quality2, live.m_unit2, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadConductivityParam1(sample.m_value2, sample.m_quality2, sample.m_unit2, FALSE);
    if (Failed(hr))
        return ReadFailed(hr);
    const bool temperatureMeasured = NoteTemperature(live.m_value1, live.m_quality1);
    float sampleSentinel = 0.0f;
    const HRESULT sampleSentinelResult = m_pSensor->GetConductivityParam1Sentinel(sampleSentinel);
    const bool sampleMeasured =
        NoteReading(sample.m_value2, sample.m_quality2, sampleSentinelResult, sampleSentinel);
    ConvertReading(live.m_value1, live.m_unit1, kUnitCelsius);
    sample.m_value1 = live.m_value1;
    sample.m_quality1 = live.m_quality1;
    sample.m_unit1 = live.m_unit1;
    ConvertReading(live.m_value2, live.m_unit2, kUnitMicroSiemensPerCm);
    ConvertReading(sample.m_value2, sample.m_unit2, kUnitMicroSiemensPerCm);
    m_liveReadings.Add(live);

    if (state == CAL_STATE_RUN)
    {
        // The sensor left calibration mode (or never was in it): the sample is not raw.
        if (sample.m_quality2 != kQualitySensorCalibrating)
            return FALSE;
        // Its temperature or its conductivity would become the calibration's: the sample is not
        // taken.
        if (!temperatureMeasured || !sampleMeasured)
            return TRUE;
        if (sample.m_unit1 != kUnitCelsius)
            return RefuseSample(u"the temperature", sample.m_unit1, kUnitCelsius);
        if (sample.m_unit2 != kUnitMicroSiemensPerCm)
            return RefuseSample(u"the conductivity", sample.m_unit2, kUnitMicroSiemensPerCm);
        m_calSamples.Add(sample);
        ComputeCalibration();
        CountPointSample();
    }
    else if (state == CAL_STATE_ACCEPT)
    {
        FinishAccept(FALSE); // the one standard
    }
    return TRUE;
}

BOOL CCalDataConductivity::GetLatestReading(float& conductivity, USHORT& conductivityQuality,
                                            USHORT& conductivityUnit, float& temperature,
                                            USHORT& temperatureQuality, USHORT& temperatureUnit)
{
    std::lock_guard lock(m_dataLock);
    if (m_liveReadings.GetLast(kCalValue2, &conductivity, &conductivityQuality, &conductivityUnit) < 0)
        return FALSE;
    m_liveReadings.GetLast(kCalValue1, &temperature, &temperatureQuality, &temperatureUnit);
    return TRUE;
}

BOOL CCalDataConductivity::GetStandardText(CWideString& text)
{
    std::lock_guard lock(m_dataLock);
    text = m_standardText;
    if (m_solutionId == CAL_SOLUTION_USER)
        text = CWideString(u"%s %s %s", TextOf(m_standardText), TextOf(m_unitsText),
                           m_standardRefTemp == 20.0f ? u"@ 20° C" : u"@ 25° C");
    return TRUE;
}

void CCalDataConductivity::BuildReport()
{
    m_report.Clear();
    m_report.m_title = u"Conductivity Calibration Report";
    ULONG serial = 0;
    m_pSensor->GetConductivitySerialNumber(serial);
    AppendProbeHeader(m_report.m_headerLines, m_probe, serial, CalConnection());

    CWideString standard;
    GetStandardText(standard);
    float cellConstant = 0.0f;
    float referenceTemp = 0.0f;
    {
        std::lock_guard lock(m_dataLock);
        cellConstant = m_newCal.cellConstant;
        referenceTemp = m_standardRefTemp;
    }
    const float response = m_liveReadings.GetAverage(kCalValue2);
    CCalReport::Lines section;
    section.Add(CWideString(u"\t%-20s\t%s", u"Standard:", TextOf(standard)));
    section.Add(CWideString(u"\t%-20s\t%0.0f µS/cm @ %0.f° C", u"Stimulus:",
                            ShownValue(response * cellConstant, 0), referenceTemp));
    section.Add(
        CWideString(u"\t%-20s\t%0.2f µS/cm @ %0.f° C", u"Response:", ShownValue(response, 2), referenceTemp));
    section.Add(CWideString(u"\t%-20s\t%0.2f C", u"Temperature:",
                            ShownValue(m_liveReadings.GetAverage(kCalValue1), 2)));
    section.Add(CWideString(u"\t%-20s\t%s", u"Stability:", StabilityWord(GetStability())));
    m_report.m_pointSections.Add(section);
    m_report.m_footerLines.Add(CWideString(u"%-30s\t%0.2f", u"Cell Constant:", ShownValue(cellConstant, 2)));
}

void CCalDataConductivity::SetCalMethod(uint16_t method)
{
    std::lock_guard lock(m_dataLock);
    m_calMethod = method;
}

void CCalDataConductivity::SetStandard(int32_t solutionId, const CWideString& text)
{
    std::lock_guard lock(m_dataLock);
    m_solutionId = solutionId;
    m_standardText = text;
}

void CCalDataConductivity::SetStandardRefTemp(float celsius)
{
    std::lock_guard lock(m_dataLock);
    m_standardRefTemp = celsius;
}

float CCalDataConductivity::GetStandardRefTemp()
{
    std::lock_guard lock(m_dataLock);
    return m_standardRefTemp;
}

void CCalDataConductivity::SetCompRefTemp(float celsius)
{
    std::lock_guard lock(m_dataLock);
    m_compRefTemp = celsius;
}

uint32_t CCalDataConductivity::GetRestoreDefaults()
{
    std::lock_guard lock(m_dataLock);
    return m_restoreDefaults;
}

void CCalDataConductivity::SetRestoreDefaults(uint32_t restore)
{
    std::lock_guard lock(m_dataLock);
    m_restoreDefaults = restore;
}

SCondCalibration CCalDataConductivity::GetOldCalibration()
{
    std::lock_guard lock(m_dataLock);
    return m_oldCal;
}

SCondCalibration CCalDataConductivity::GetNewCalibration()
{
    std::lock_guard lock(m_dataLock);
    return m_newCal;
}
