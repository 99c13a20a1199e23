#include "calibration/data/CalDataVOX.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "calibration/data/Leftovers.h"
#include "comm/ModbusComm.h"

namespace
{

const CCalData::Kind kVOXKind{CCalDataVOX::kSampleInterval, CCalDataVOX::kCacheTimeout, true,
                              u"VOX Calibration Error"};

constexpr float kFullSaturation = 100.0f;
constexpr float kZeroSaturation = 0.0f;
constexpr int kOxygen = 0;
constexpr int kTemperature = 1;
constexpr int kAt100 = 0;
constexpr int kAt0 = 1;

// The factory calibration of the single-sensor probes, written step by step.
constexpr float kDefaultDO100 = 8.0f;
constexpr float kDefaultTemperature = 25.0f;
constexpr float kDefaultBaro = 1013.25f;

enum class RestoreWay
{
    DeviceCommand,
    SensorSteps,
    None,
};

RestoreWay RestoreWayOf(USHORT deviceType)
{
    switch (deviceType)
    {
    case 18:
    case 31:
    case 35:
    case 36:
    case 37:
    case 39:
        return RestoreWay::DeviceCommand;
    case 12:
    case 19:
        return RestoreWay::SensorSteps;
    default:
        return RestoreWay::None;
    }
}

} // namespace

const CCalDataVOX::StabilityRule CCalDataVOX::OXYGEN_STABILITY_RULES[4] = {
    {6, 0.2f, 12, 0.1f},
    {6, 0.5f, 12, 0.25f},
    {6, 0.04f, 12, 0.02f},
    {6, 0.5f, 12, 0.25f},
};

CCalDataVOX::CCalDataVOX(ICalProbeConnection& probe) : CCalData(probe, kVOXKind) {}

CCalDataVOX::~CCalDataVOX()
{
    EndReading();
}

HRESULT CCalDataVOX::StartReading(NVSystem::ISensor_VoxPro* sensor, INotifyWindow* window)
{
    SaveLiveInputs(sensor);
    return StartWorker(window, true);
}

HRESULT CCalDataVOX::StartManual(NVSystem::ISensor_VoxPro* sensor, INotifyWindow* window)
{
    SaveLiveInputs(sensor);
    return StartWorker(window, false);
}

void CCalDataVOX::SaveLiveInputs(NVSystem::ISensor_VoxPro* sensor)
{
    m_pSensor = sensor;
    if (sensor == nullptr)
        return;
    m_liveBaroSaved = Succeeded(Talk([this] { return m_pSensor->ReadLiveBaro(m_savedLiveBaro); }));
    m_liveSalinitySaved =
        Succeeded(Talk([this] { return m_pSensor->ReadLiveSalinity(m_savedLiveSalinity); }));
}

USHORT CCalDataVOX::CalConnection()
{
    return m_pSensor != nullptr ? m_pSensor->GetVoxConnection() : 0;
}

void CCalDataVOX::OnWorkerStarting()
{
    CCalData::OnWorkerStarting();
    std::lock_guard lock(m_dataLock);
    for (auto& quantity : m_counters)
        for (Counters& counters : quantity)
            counters = Counters{};
}

HRESULT CCalDataVOX::BeginCalibration()
{
    std::lock_guard lock(m_dataLock);
    HRESULT hr = CheckCanBegin();
    if (Failed(hr))
        return hr;
    hr = SwitchCalModeOn();
    if (Failed(hr))
        return hr;
    PrepareStabilization();
    SetStability(CAL_STABILITY_NONE);
    SetState(CAL_STATE_RUN);
    return S_OK;
}

HRESULT CCalDataVOX::Run()
{
    std::lock_guard lock(m_dataLock);
    std::lock_guard stateLock(m_stateLock);
    m_stability = CAL_STABILITY_NONE;
    m_state = CAL_STATE_RUN;
    return S_OK;
}

HRESULT CCalDataVOX::PrepareStabilization()
{
    std::lock_guard lock(m_dataLock);
    Hold();
    m_currentPoint = 0;
    return m_restoreDefaults != 0 ? E_FAIL : S_OK;
}

uint32_t CCalDataVOX::GetRestoreDefaults()
{
    std::lock_guard lock(m_dataLock);
    return m_restoreDefaults;
}

void CCalDataVOX::SetRestoreDefaults(uint32_t restore)
{
    std::lock_guard lock(m_dataLock);
    m_restoreDefaults = restore;
}

void CCalDataVOX::SetPointCount(uint16_t count)
{
    std::lock_guard lock(m_dataLock);
    m_pointCount = count;
}

uint16_t CCalDataVOX::GetPointCount()
{
    std::lock_guard lock(m_dataLock);
    return m_pointCount;
}

void CCalDataVOX::SetPointTargets(float first, float second)
{
    std::lock_guard lock(m_dataLock);
    m_pointTarget[0] = first;
    m_pointTarget[1] = second;
}

BOOL CCalDataVOX::GetCurrentPointTarget(float& target)
{
    std::lock_guard lock(m_dataLock);
    if (m_currentPoint >= m_pointCount || m_currentPoint >= static_cast<uint32_t>(kMaxPoints))
        return FALSE;
    target = m_pointTarget[m_currentPoint];
    return TRUE;
}

uint32_t CCalDataVOX::GetCurrentPoint()
{
    std::lock_guard lock(m_dataLock);
    return m_currentPoint;
}

uint32_t CCalDataVOX::GetPointStability(int point)
{
    std::lock_guard lock(m_dataLock);
    return point >= 0 && point < kMaxPoints ? m_pointStability[point] : 0;
}

int32_t CCalDataVOX::UpdateStability(const StabilityRule& rule, Counters& counters, float change)
{
    // A change that is no number resets both runs, like a large one.
    counters.nominal = std::fabs(change) < rule.nominalTolerance ? counters.nominal + 1 : 0;
    counters.full = std::fabs(change) < rule.fullTolerance ? counters.full + 1 : 0;
    if (counters.full >= rule.fullWindow)
        return CAL_STABILITY_FULL;
    if (counters.nominal >= rule.nominalWindow)
        return CAL_STABILITY_NOMINAL;
    return CAL_STABILITY_NONE;
}

BOOL CCalDataVOX::ReadCycle(int32_t state)
{
    SCalDataStore live;
    SCalDataStore saturation;
    SCalDataStore baro;
    HRESULT hr = m_pSensor->ReadTemperature(live.m_value1, live.m_quality1, live.m_unit1, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadOxygenParamA(live.m_value2, live.m_quality2, live.m_unit2, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadOxygenParamB(saturation.m_value2, saturation.m_quality2, saturation.m_unit2,
                                         FALSE);
    if (Failed(hr))
        return ReadFailed(hr);
    // A pressure that could not be read is left out: a zero among the records would pull the
    // calibration pressure down. One that went unanswered fails the cycle like the other reads: the
    // probe may have stopped answering, and the worker sends nothing after it.
    const HRESULT baroResult = m_pSensor->ReadLiveBaro(baro.m_value2);
    if (IsUnansweredResult(baroResult))
        return ReadFailed(baroResult);
    const bool baroRead = Succeeded(baroResult);
    const bool temperatureMeasured = NoteTemperature(live.m_value1, live.m_quality1);
    float oxygenSentinel = 0.0f;
    const HRESULT oxygenSentinelResult = m_pSensor->GetOxygenParamASentinel(oxygenSentinel);
    const bool oxygenMeasured =
        NoteReading(live.m_value2, live.m_quality2, oxygenSentinelResult, oxygenSentinel);
    ConvertReading(live.m_value1, live.m_unit1, kUnitCelsius);
    ConvertReading(live.m_value2, live.m_unit2, kUnitMilligramPerLitre);
    m_liveReadings.Add(live);
    m_saturationReadings.Add(saturation);
    if (baroRead)
        m_baroReadings.Add(baro);

    if (state == CAL_STATE_RUN)
    {
        if (live.m_quality2 != kQualitySensorCalibrating)
            return FALSE;
        // Its temperature or its oxygen would be written as the point's: the sample is not taken.
        if (!temperatureMeasured || !oxygenMeasured)
            return TRUE;
        // Oxygen in ppm has no conversion to mg/L here: such a point would be written as nonsense.
        if (live.m_unit1 != kUnitCelsius)
            return RefuseSample(u"the temperature", live.m_unit1, kUnitCelsius);
        if (live.m_unit2 != kUnitMilligramPerLitre)
            return RefuseSample(u"dissolved oxygen", live.m_unit2, kUnitMilligramPerLitre);
        const uint32_t point = GetCurrentPoint();
        // Past the last accepted point there is nothing to sample for.
        if (point >= static_cast<uint32_t>(kMaxPoints))
            return TRUE;
        CCalSampleStore& store = m_pointSamples[point];
        store.Add(live);
        const float temperatureChange = store.GetLastChange(kCalValue1);
        const float oxygenChange = store.GetLastChange(kCalValue2);
        float target = -1.0f;
        GetCurrentPointTarget(target);
        int32_t level = CAL_STABILITY_NONE;
        if (target == kFullSaturation || target == kZeroSaturation)
        {
            const int at = target == kFullSaturation ? kAt100 : kAt0;
            const StabilityRule* rules = &OXYGEN_STABILITY_RULES[at == kAt100 ? 0 : 2];
            const int32_t oxygen = UpdateStability(rules[0], m_counters[kOxygen][at], oxygenChange);
            const int32_t temperature =
                UpdateStability(rules[1], m_counters[kTemperature][at], temperatureChange);
            level = std::min(oxygen, temperature);
        }
        SetStability(level);
        {
            std::lock_guard lock(m_dataLock);
            m_pointStability[point] = static_cast<uint32_t>(level);
        }
        CountPointSample();
    }
    else if (state == CAL_STATE_ACCEPT)
    {
        {
            std::lock_guard lock(m_dataLock);
            ++m_currentPoint;
        }
        float next = 0.0f;
        FinishAccept(GetCurrentPointTarget(next));
    }
    return TRUE;
}

HRESULT CCalDataVOX::CommitCalibration()
{
    std::unique_lock lock(m_dataLock);
    if (m_pSensor == nullptr)
        return E_POINTER;
    if ((m_pointCount != 1 && m_pointCount != 2) || m_restoreDefaults != 0)
        return E_FAIL;
    for (int i = 0; i < m_pointCount; ++i)
    {
        // A point without a sample would be written as 0 mg/L at 0 C.
        if (m_pointSamples[i].GetCount() == 0)
            return E_FAIL;
        m_pointTemperature[i] = m_pointSamples[i].GetAverage(kCalValue1);
        m_pointResponse[i] = m_pointSamples[i].GetAverage(kCalValue2);
    }
    m_calBaro = m_baroReadings.GetAverage(kCalValue2);
    if (CalDevice() == nullptr)
        return E_POINTER;
    const HRESULT hr = TalkWithinData([this] { return WriteCalibrationPoints(); });
    if (Failed(hr))
        return hr;
    // The report asks the probe connection, whose lock comes before this object's.
    lock.unlock();
    return TakeOverCalibration();
}

HRESULT CCalDataVOX::WritePoint(float target, float response, float temperature, float salinity)
{
    HRESULT hr = S_OK;
    if (target == kFullSaturation)
    {
        hr = m_pSensor->SetCalBaro100(m_calBaro);
        // The one write whose refusal the calibration goes on without: the sensor keeps the
        // salinity of its last calibration.
        if (Succeeded(hr))
            m_pSensor->SetCalSalinity100(salinity);
        if (Succeeded(hr))
            hr = m_pSensor->SetCalDO100(response);
        if (Succeeded(hr))
            hr = m_pSensor->SetCalTemp100(temperature);
    }
    else if (target == kZeroSaturation)
    {
        hr = m_pSensor->SetCalDO0(response);
        if (Succeeded(hr))
            hr = m_pSensor->SetCalTemp0(temperature);
    }
    return hr;
}

HRESULT CCalDataVOX::WriteCalibrationPoints()
{
    std::lock_guard lock(m_dataLock);
    if (m_restoreDefaults != 0)
        return S_OK;
    float salinity = 0.0f;
    HRESULT hr = m_pSensor->ReadLiveSalinity(salinity);
    if (Failed(hr))
        return hr;
    const bool wants100 =
        m_pointTarget[0] == kFullSaturation || (m_pointCount == 2 && m_pointTarget[1] == kFullSaturation);
    // No pressure was ever read: the 100 % point cannot be written without one.
    if (wants100 && m_baroReadings.GetCount() == 0)
        return E_FAIL;
    if (m_pointTarget[0] != kFullSaturation && m_pointTarget[0] != kZeroSaturation)
        return S_OK;
    hr = WritePoint(m_pointTarget[0], m_pointResponse[0], m_pointTemperature[0], salinity);
    if (Succeeded(hr) && m_pointCount == 2)
        hr = WritePoint(m_pointTarget[1], m_pointResponse[1], m_pointTemperature[1], salinity);
    return hr;
}

HRESULT CCalDataVOX::RestoreCalibrationDefaults()
{
    NVSystem::CDeviceComm* device = CalDevice();
    if (m_pSensor == nullptr || device == nullptr)
        return E_POINTER;
    // After an unanswered exchange of the run the short check comes first: a silent probe gets no
    // restore, and the wizard is told the failure at once.
    return Talk([this, device] { return RestoreDefaultsOnProbe(*device); });
}

HRESULT CCalDataVOX::RestoreDefaultsOnProbe(NVSystem::CDeviceComm& device)
{
    const USHORT connection = CalConnection();
    USHORT deviceType = 0;
    HRESULT hr = device.GetDeviceTypeId(deviceType);
    if (Succeeded(hr))
    {
        switch (RestoreWayOf(deviceType))
        {
        case RestoreWay::DeviceCommand:
            hr = device.RestoreSensorCalDefaults(connection);
            break;
        case RestoreWay::SensorSteps:
            hr = m_pSensor->CalModeOn();
            if (Succeeded(hr))
                hr = m_pSensor->SetCalDO100(kDefaultDO100);
            if (Succeeded(hr))
                hr = m_pSensor->SetCalTemp100(kDefaultTemperature);
            if (Succeeded(hr))
                hr = m_pSensor->SetCalSalinity100(0.0f);
            if (Succeeded(hr))
                hr = m_pSensor->SetCalBaro100(kDefaultBaro);
            if (Succeeded(hr))
                hr = m_pSensor->SetCalDO0(0.0f);
            if (Succeeded(hr))
                hr = m_pSensor->SetCalTemp0(kDefaultTemperature);
            if (Succeeded(hr))
                hr = m_pSensor->UpdateCalibration();
            if (Succeeded(hr))
                hr = m_pSensor->SetCalSlope(1.0f);
            if (Succeeded(hr))
                hr = m_pSensor->SetCalOffset(0.0f);
            if (Succeeded(hr))
                hr = m_pSensor->CalModeOff();
            break;
        case RestoreWay::None:
            hr = E_FAIL;
            break;
        }
    }
    if (Failed(hr))
        m_pSensor->CalModeOff();
    return hr;
}

HRESULT CCalDataVOX::WriteLiveSalinity(float psu)
{
    if (m_pSensor == nullptr)
        return E_POINTER;
    return Talk(
        [this, psu]
        {
            // Remembered before the write: one that went unanswered may have been carried out.
            m_liveSalinityWritten = psu;
            return m_pSensor->SetLiveSalinity(psu);
        });
}

HRESULT CCalDataVOX::WriteLiveBaro(float mbar)
{
    if (m_pSensor == nullptr)
        return E_POINTER;
    return Talk(
        [this, mbar]
        {
            m_liveBaroWritten = mbar;
            return m_pSensor->SetLiveBaro(mbar);
        });
}

void CCalDataVOX::RestoreLiveInputs()
{
    if (m_pSensor == nullptr)
        return;
    // Each is tried whether or not the other could be written (while the probe answers).
    if (m_liveBaroSaved && Succeeded(Talk([this] { return m_pSensor->SetLiveBaro(m_savedLiveBaro); })))
    {
        m_liveBaroSaved = false;
        m_liveBaroWritten.reset();
    }
    if (m_liveSalinitySaved &&
        Succeeded(Talk([this] { return m_pSensor->SetLiveSalinity(m_savedLiveSalinity); })))
    {
        m_liveSalinitySaved = false;
        m_liveSalinityWritten.reset();
    }
}

void CCalDataVOX::OnReadingEnded()
{
    if (m_liveBaroWritten || m_liveSalinityWritten)
        RestoreLiveInputs();
}

void CCalDataVOX::DescribeLeftovers(std::u16string& lines)
{
    CCalData::DescribeLeftovers(lines);
    // A value the pages wrote that is the sensor's own leaves nothing to correct.
    const auto differs = [](const std::optional<float>& written, bool saved, float own)
    { return written && !(saved && *written == own); };
    if (differs(m_liveSalinityWritten, m_liveSalinitySaved, m_savedLiveSalinity))
        AddLeftover(lines, m_liveSalinitySaved
                               ? CWideString(u"a live salinity of %g PSU instead of its own %g PSU",
                                             double{*m_liveSalinityWritten}, double{m_savedLiveSalinity})
                               : CWideString(u"a live salinity of %g PSU (its own could not be read)",
                                             double{*m_liveSalinityWritten}));
    if (differs(m_liveBaroWritten, m_liveBaroSaved, m_savedLiveBaro))
        AddLeftover(lines,
                    m_liveBaroSaved
                        ? CWideString(u"a live barometric pressure of %g mbar instead of its own %g mbar",
                                      double{*m_liveBaroWritten}, double{m_savedLiveBaro})
                        : CWideString(u"a live barometric pressure of %g mbar (its own could not be read)",
                                      double{*m_liveBaroWritten}));
}

void CCalDataVOX::BuildReport()
{
    m_report.Clear();
    m_report.m_title = u"VOX®-Dissolved Oxygen Calibration Report";
    ULONG serial = 0;
    m_pSensor->GetVoxSerialNumber(serial);
    AppendProbeHeader(m_report.m_headerLines, m_probe, serial, CalConnection());

    std::lock_guard lock(m_dataLock);
    const char16_t* standards[kMaxPoints] = {u"100% Oxygen Saturation", u"0% Oxygen Saturation"};
    const int count = m_pointCount == 2 ? 2 : 1;
    for (int i = 0; i < count; ++i)
    {
        const CCalSampleStore& store = m_pointSamples[i];
        CCalReport::Lines section;
        section.Add(CWideString(u"\t%-20s\t%s", u"Standard:", standards[i]));
        section.Add(
            CWideString(u"\t%-20s\t%0.2f mgL", u"Response:", ShownValue(store.GetAverage(kCalValue2), 2)));
        section.Add(
            CWideString(u"\t%-20s\t%0.2f C", u"Temperature:", ShownValue(store.GetAverage(kCalValue1), 2)));
        if (i == 0)
            section.Add(CWideString(u"\t%-20s\t%0.2f mbar", u"Barometric Pressure:",
                                    ShownValue(m_baroReadings.GetAverage(kCalValue2), 2)));
        section.Add(CWideString(u"\t%-20s\t%s", u"Stability:",
                                StabilityWord(static_cast<int32_t>(m_pointStability[i]))));
        m_report.m_pointSections.Add(section);
    }
    // What the sensor computed from the points; a value it would not give is not made up.
    float slope = 0.0f;
    float offset = 0.0f;
    if (Succeeded(m_pSensor->ReadCalSlope(slope)))
        m_report.m_footerLines.Add(CWideString(u"%-30s\t%0.4f mgL/mgL", u"Slope:", ShownValue(slope, 4)));
    else
        m_report.m_footerLines.Add(CWideString(u"%-30s\t%s", u"Slope:", u"#N/A"));
    if (Succeeded(m_pSensor->ReadCalOffset(offset)))
        m_report.m_footerLines.Add(CWideString(u"%-30s\t%0.4f mgL", u"Offset:", ShownValue(offset, 4)));
    else
        m_report.m_footerLines.Add(CWideString(u"%-30s\t%s", u"Offset:", u"#N/A"));
}
