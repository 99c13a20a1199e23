#include "calibration/data/CalDataPHORP.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <mutex>
#include <utility>

#include "calibration/data/CalNumberText.h"
#include "comm/ModbusComm.h"
#include "device/SensorCache.h"
#include "device/SensorCtrl.h"

namespace
{

const CCalData::Kind kPHORPKind{CCalDataPHORP::kSampleInterval, CCalDataPHORP::kCacheTimeout, false,
                                u"pHORP Calibration Error"};

constexpr double kKelvinOffset = 273.15;
constexpr double kNernstReferenceKelvin = 298.15;
constexpr float kOrpSlope = 1.0f;
constexpr int kNominalWindow = 11;
constexpr float kNominalToleranceMv = 5.0f;
constexpr int kFullWindow = 21;
constexpr float kFullToleranceMv = 1.0f;
constexpr USHORT kUnlinkedAddress = 255;

// ZoBell's solution, mV at T in C.
float ZoBell(float celsius)
{
    return 261.78f - 1.3068f * celsius;
}

// A listed buffer: the nominal pH range that selects it, twelve temperature breaks and the buffer's
// pH below each. A step function, as the buffer makers print it.
struct BufferRow
{
    float lo;
    float hi;
    float breaks[12];
    float pH[12];
};

constexpr BufferRow kBufferTable[] = {
    {3.0f,
     5.0f,
     {5.0f, 15.0f, 22.5f, 27.5f, 32.5f, 37.5f, 45.0f, 55.0f, 65.0f, 75.0f, 85.0f, 90.0f},
     {4.01f, 4.00f, 4.00f, 4.00f, 4.01f, 4.01f, 4.03f, 4.06f, 4.09f, 4.13f, 4.16f, 4.22f}},
    {6.0f,
     8.0f,
     {5.0f, 15.0f, 22.5f, 27.5f, 32.5f, 37.5f, 45.0f, 55.0f, 65.0f, 75.0f, 85.0f, 90.0f},
     {7.12f, 7.06f, 7.02f, 7.00f, 6.99f, 6.98f, 6.97f, 6.97f, 6.98f, 7.01f, 7.04f, 7.09f}},
    {9.0f,
     11.0f,
     {2.5f, 7.5f, 12.5f, 17.5f, 22.5f, 27.5f, 32.5f, 37.5f, 45.0f, 55.0f, 65.0f, 90.0f},
     {10.20f, 10.16f, 10.12f, 10.08f, 10.04f, 10.00f, 9.96f, 9.92f, 9.88f, 9.80f, 9.80f, 9.80f}},
};

float BufferValue(float nominal, float celsius)
{
    for (const BufferRow& row : kBufferTable)
    {
        if (row.lo <= nominal && nominal <= row.hi)
        {
            // The twelfth break is never compared: at or above the eleventh, or no temperature at
            // all, the last entry holds.
            for (int i = 0; i < 11; ++i)
            {
                if (row.breaks[i] > celsius)
                    return row.pH[i];
            }
            return row.pH[11];
        }
    }
    return nominal;
}

float NominalPH(int32_t solutionId)
{
    switch (solutionId)
    {
    case CAL_SOLUTION_PH4:
        return 4.0f;
    case CAL_SOLUTION_PH7:
        return 7.0f;
    case CAL_SOLUTION_PH10:
        return 10.0f;
    default:
        return 0.0f;
    }
}

float TypedValue(const CWideString& text)
{
    const std::optional<double> value = ParseTypedNumber(text);
    return value ? static_cast<float>(*value) : FLT_MAX;
}

bool IsStimulus(float value)
{
    return std::isfinite(value) && value != FLT_MAX;
}

// Slope of the line through two points whose millivolts are brought to the first one's temperature.
double SegmentSlope(float v1, float m1, float t1, float v2, float m2, float t2)
{
    return (static_cast<double>(v1) - v2) /
           (m1 - m2 * (static_cast<double>(t1) + kKelvinOffset) / (static_cast<double>(t2) + kKelvinOffset));
}

bool IsSlope(float slope)
{
    return std::isfinite(slope) && slope < 0.0f;
}

} // namespace

CCalDataPHORP::CCalDataPHORP(ICalProbeConnection& probe) : CCalData(probe, kPHORPKind) {}

CCalDataPHORP::~CCalDataPHORP()
{
    EndReading();
}

HRESULT CCalDataPHORP::StartReading(NVSystem::ISensor_pHORP* sensor, INotifyWindow* window)
{
    SetLastResult(S_OK);
    m_pSensor = sensor;
    return StartWorker(window, true);
}

HRESULT CCalDataPHORP::StartManual(NVSystem::ISensor_pHORP* sensor, INotifyWindow* window)
{
    SetLastResult(S_OK);
    m_pSensor = sensor;
    return StartWorker(window, false);
}

USHORT CCalDataPHORP::CalConnection()
{
    return m_pSensor != nullptr ? m_pSensor->GetpHORPConnection() : 0;
}

HRESULT CCalDataPHORP::BeginCalibration()
{
    std::lock_guard lock(m_dataLock);
    SetLastResult(S_OK);
    std::fill(std::begin(m_pointStability), std::end(m_pointStability), 0u);
    HRESULT hr = CheckCanBegin();
    if (Failed(hr))
        return hr;
    hr = SwitchCalModeOn();
    if (Failed(hr))
    {
        SetLastResult(hr);
        return hr;
    }
    PrepareStabilization();
    SetState(CAL_STATE_RUN);
    return S_OK;
}

HRESULT CCalDataPHORP::PrepareStabilization()
{
    std::lock_guard lock(m_dataLock);
    Hold();
    m_currentPoint = 0;
    if (m_mode == PHORP_MODE_PH)
    {
        std::fill(std::begin(m_pointResponse), std::end(m_pointResponse), 0.0f);
        std::fill(std::begin(m_pointTemperature), std::end(m_pointTemperature), 25.0f);
        std::fill(std::begin(m_segmentSlope), std::end(m_segmentSlope), kNernstSlope);
        std::fill(std::begin(m_segmentOffset), std::end(m_segmentOffset), kNeutralOffset);
        return S_OK;
    }
    if (m_mode == PHORP_MODE_ORP)
    {
        m_pointResponse[0] = 0.0f;
        m_pointTemperature[0] = 25.0f;
        m_segmentSlope[0] = kOrpSlope;
        m_segmentOffset[0] = 0.0f;
        return S_OK;
    }
    return E_FAIL;
}

uint32_t CCalDataPHORP::GetMode()
{
    std::lock_guard lock(m_dataLock);
    return m_mode;
}

void CCalDataPHORP::SetMode(uint32_t mode)
{
    std::lock_guard lock(m_dataLock);
    m_mode = mode;
}

void CCalDataPHORP::SetPointCount(uint16_t count)
{
    std::lock_guard lock(m_dataLock);
    m_pointCount = count;
}

uint16_t CCalDataPHORP::GetPointCount()
{
    std::lock_guard lock(m_dataLock);
    return m_pointCount;
}

void CCalDataPHORP::SetPointSolution(int point, int32_t solutionId)
{
    std::lock_guard lock(m_dataLock);
    if (point >= 0 && point < kMaxPoints)
        m_pointSolution[point] = solutionId;
}

void CCalDataPHORP::SetPointValueTexts(const CWideString& first, const CWideString& second,
                                       const CWideString& third)
{
    std::lock_guard lock(m_dataLock);
    m_pointValueText[0] = first;
    m_pointValueText[1] = second;
    m_pointValueText[2] = third;
}

BOOL CCalDataPHORP::GetCurrentPointText(CWideString& text)
{
    std::lock_guard lock(m_dataLock);
    if (m_currentPoint >= m_pointCount || m_currentPoint >= static_cast<uint32_t>(kMaxPoints))
        return FALSE;
    text = m_pointValueText[m_currentPoint];
    return TRUE;
}

uint32_t CCalDataPHORP::GetCurrentPoint()
{
    std::lock_guard lock(m_dataLock);
    return m_currentPoint;
}

float CCalDataPHORP::GetSolutionValue(uint32_t point, float celsius)
{
    std::lock_guard lock(m_dataLock);
    if (point >= static_cast<uint32_t>(kMaxPoints))
        return FLT_MAX;
    const int32_t solution = m_pointSolution[point];
    if (m_mode == PHORP_MODE_ORP)
    {
        if (point != 0)
            return FLT_MAX;
        if (solution == CAL_SOLUTION_USER)
            return TypedValue(m_pointValueText[0]);
        return solution == CAL_SOLUTION_ZOBELL ? ZoBell(celsius) : FLT_MAX;
    }
    if (m_mode != PHORP_MODE_PH || point >= m_pointCount || solution == CAL_SOLUTION_NONE)
        return FLT_MAX;
    if (solution == CAL_SOLUTION_USER)
        return TypedValue(m_pointValueText[point]);
    return BufferValue(NominalPH(solution), celsius);
}

CCalSampleStore* CCalDataPHORP::CurrentPointStore(uint32_t mode, uint32_t point)
{
    if (mode == PHORP_MODE_ORP)
        return &m_orpSamples;
    if (mode == PHORP_MODE_PH && point < static_cast<uint32_t>(kMaxPoints))
        return &m_pointSamples[point];
    return nullptr;
}

BOOL CCalDataPHORP::GetLastChange(uint32_t which, float& valueChange, float& temperatureChange)
{
    const CCalSampleStore* store = nullptr;
    {
        std::lock_guard lock(m_dataLock);
        if (which == 1)
            store = &m_orpSamples;
        else if (which == 4 && m_currentPoint < static_cast<uint32_t>(kMaxPoints))
            store = &m_pointSamples[m_currentPoint];
    }
    if (store == nullptr)
        return FALSE;
    valueChange = store->GetLastChange(kCalValue2);
    temperatureChange = store->GetLastChange(kCalValue1);
    return TRUE;
}

BOOL CCalDataPHORP::ReadCycle(int32_t state)
{
    SCalDataStore temperature;
    float pH = 0.0f, orp = 0.0f, orpSample = 0.0f, millivolts = 0.0f;
    USHORT pHQuality = 0, orpQuality = 0, orpSampleQuality = 0, mvQuality = 0;
    USHORT pHUnit = 0, orpUnit = 0, orpSampleUnit = 0, mvUnit = 0;
    HRESULT hr =
        m_pSensor->ReadTemperature(temperature.m_value1, temperature.m_quality1, temperature.m_unit1, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadpH(pH, pHQuality, pHUnit, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadORP(orp, orpQuality, orpUnit, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadORP(orpSample, orpSampleQuality, orpSampleUnit, FALSE);
    if (Succeeded(hr))
        hr = m_pSensor->ReadpHmV(millivolts, mvQuality, mvUnit, FALSE);
    if (Failed(hr))
        return ReadFailed(hr);
    const bool temperatureMeasured = NoteTemperature(temperature.m_value1, temperature.m_quality1);
    // The point's own reading: the ORP in ORP mode, the electrode's millivolts otherwise.
    const bool orpMode = GetMode() == PHORP_MODE_ORP;
    float sentinel = 0.0f;
    const HRESULT sentinelResult =
        orpMode ? m_pSensor->GetORPSentinel(sentinel) : m_pSensor->GetpHmVSentinel(sentinel);
    const bool readingMeasured = orpMode ? NoteReading(orpSample, orpSampleQuality, sentinelResult, sentinel)
                                         : NoteReading(millivolts, mvQuality, sentinelResult, sentinel);
    ConvertReading(temperature.m_value1, temperature.m_unit1, kUnitCelsius);
    // The electrode's millivolts may come in µV or V: the arithmetic is written in mV.
    ConvertReading(millivolts, mvUnit, kUnitMilliVolt);
    ConvertReading(orp, orpUnit, kUnitMilliVolt);
    ConvertReading(orpSample, orpSampleUnit, kUnitMilliVolt);
    const auto record = [&temperature](float value, USHORT quality, USHORT unit)
    {
        SCalDataStore r = temperature;
        r.m_value2 = value;
        r.m_quality2 = quality;
        r.m_unit2 = unit;
        return r;
    };
    m_pHLiveReadings.Add(record(pH, pHQuality, pHUnit));
    m_pHmVLiveReadings.Add(record(millivolts, mvQuality, mvUnit));
    m_orpLiveReadings.Add(record(orp, orpQuality, orpUnit));

    if (state == CAL_STATE_RUN)
    {
        if (orpSampleQuality != kQualitySensorCalibrating || mvQuality != kQualitySensorCalibrating)
            return FALSE;
        // The standard's value and the electrode's slope follow the temperature: the sample is not
        // taken with one that holds no measurement, nor with a reading that holds none.
        if (!temperatureMeasured || !readingMeasured)
            return TRUE;
        uint32_t mode = 0;
        uint32_t point = 0;
        {
            std::lock_guard lock(m_dataLock);
            mode = m_mode;
            point = m_currentPoint;
        }
        if (temperature.m_unit1 != kUnitCelsius)
            return RefuseSample(u"the temperature", temperature.m_unit1, kUnitCelsius);
        if (mode == PHORP_MODE_ORP && orpSampleUnit != kUnitMilliVolt)
            return RefuseSample(u"the ORP", orpSampleUnit, kUnitMilliVolt);
        if (mode == PHORP_MODE_PH && mvUnit != kUnitMilliVolt)
            return RefuseSample(u"the pH millivolts", mvUnit, kUnitMilliVolt);
        m_orpSamples.Add(record(orpSample, orpSampleQuality, orpSampleUnit));
        CCalSampleStore* store = CurrentPointStore(mode, point);
        // Past the last pH point, or restoring: nothing to collect for.
        if (store == nullptr)
            return TRUE;
        if (mode == PHORP_MODE_PH)
            store->Add(record(millivolts, mvQuality, mvUnit));
        int32_t level = CAL_STABILITY_NONE;
        if (store->GetRange(kFullWindow) < kFullToleranceMv)
            level = CAL_STABILITY_FULL;
        else if (store->GetRange(kNominalWindow) < kNominalToleranceMv)
            level = CAL_STABILITY_NOMINAL;
        SetStability(level);
        {
            std::lock_guard lock(m_dataLock);
            m_pointStability[mode == PHORP_MODE_ORP ? 0 : point] = static_cast<uint32_t>(level);
        }
        CountPointSample();
    }
    else if (state == CAL_STATE_ACCEPT)
    {
        {
            std::lock_guard lock(m_dataLock);
            ++m_currentPoint;
        }
        CWideString next;
        FinishAccept(GetCurrentPointText(next));
    }
    return TRUE;
}

void CCalDataPHORP::SortPoints(int count)
{
    const auto swap = [this](int a, int b)
    {
        std::swap(m_pointStimulus[a], m_pointStimulus[b]);
        std::swap(m_pointResponse[a], m_pointResponse[b]);
        std::swap(m_pointTemperature[a], m_pointTemperature[b]);
    };
    if (count < 2)
        return;
    if (m_pointStimulus[0] > m_pointStimulus[1])
        swap(0, 1);
    if (count == 3 && !(m_pointStimulus[2] > m_pointStimulus[1]))
    {
        swap(1, 2);
        if (!(m_pointStimulus[1] > m_pointStimulus[0]))
            swap(0, 1);
    }
}

BOOL CCalDataPHORP::ComputePH(int count)
{
    if (count == 1)
    {
        // The ideal slope at the buffer's temperature; computed afresh, so a second commit does not
        // scale it twice.
        m_segmentSlope[0] = static_cast<float>(kNernstSlope * kNernstReferenceKelvin /
                                               (static_cast<double>(m_pointTemperature[0]) + kKelvinOffset));
        m_segmentOffset[0] = m_pointStimulus[0] - m_pointResponse[0] * m_segmentSlope[0];
        m_segmentSlope[1] = kNernstSlope;
        m_segmentOffset[1] = kNeutralOffset;
    }
    else
    {
        // Equal buffers give no line.
        if (m_pointStimulus[0] == m_pointStimulus[1] ||
            (count == 3 && m_pointStimulus[1] == m_pointStimulus[2]))
            return FALSE;
        m_segmentSlope[0] =
            static_cast<float>(SegmentSlope(m_pointStimulus[0], m_pointResponse[0], m_pointTemperature[0],
                                            m_pointStimulus[1], m_pointResponse[1], m_pointTemperature[1]));
        m_segmentOffset[0] = m_pointStimulus[0] - m_pointResponse[0] * m_segmentSlope[0];
        if (count == 3)
        {
            m_segmentSlope[1] = static_cast<float>(SegmentSlope(m_pointStimulus[1], m_pointResponse[1],
                                                                m_pointTemperature[1], m_pointStimulus[2],
                                                                m_pointResponse[2], m_pointTemperature[2]));
            m_segmentOffset[1] = m_pointStimulus[1] - m_pointResponse[1] * m_segmentSlope[1];
        }
        else
        {
            m_segmentSlope[1] = kNernstSlope;
            m_segmentOffset[1] = kNeutralOffset;
        }
    }
    // An electrode's pH falls as its millivolts rise: a flat or rising line is no calibration.
    if (!IsSlope(m_segmentSlope[0]) || !std::isfinite(m_segmentOffset[0]) || m_segmentOffset[0] < 0.0f)
        return FALSE;
    if (count == 3 && (!IsSlope(m_segmentSlope[1]) || !std::isfinite(m_segmentOffset[1])))
        return FALSE;
    return TRUE;
}

BOOL CCalDataPHORP::ComputeCalibration()
{
    std::lock_guard lock(m_dataLock);
    const int count = m_pointCount;
    if (count == 0 || count > kMaxPoints)
        return FALSE;
    if (m_mode != PHORP_MODE_PH && m_mode != PHORP_MODE_ORP)
        return FALSE;
    for (int i = 0; i < count; ++i)
    {
        const CCalSampleStore& store = m_mode == PHORP_MODE_ORP ? m_orpSamples : m_pointSamples[i];
        // A point without a sample has no reading to calibrate with (its mean would be 0 mV).
        if (store.GetCount() == 0)
            return FALSE;
        m_pointTemperature[i] = store.GetAverage(kCalValue1);
        m_pointResponse[i] = store.GetAverage(kCalValue2);
        m_pointStimulus[i] = GetSolutionValue(static_cast<uint32_t>(i), m_pointTemperature[i]);
    }
    // A point whose standard has no value cannot take part in a line.
    for (int i = 0; i < count; ++i)
    {
        if (!IsStimulus(m_pointStimulus[i]))
            return FALSE;
    }
    SortPoints(count);
    if (m_mode == PHORP_MODE_ORP)
    {
        if (count != 1)
            return FALSE;
        m_segmentSlope[0] = kOrpSlope;
        m_segmentOffset[0] = m_pointStimulus[0] - kOrpSlope * m_pointResponse[0];
        return std::isfinite(m_segmentOffset[0]) ? TRUE : FALSE;
    }
    return ComputePH(count);
}

HRESULT CCalDataPHORP::WriteCalibration()
{
    std::lock_guard lock(m_dataLock);
    if (m_mode == PHORP_MODE_ORP)
    {
        HRESULT hr = m_pSensor->WriteORPCalWord(0);
        if (Succeeded(hr))
            hr = m_pSensor->WriteORPCalPoint(m_pointStimulus[0], m_pointResponse[0], m_pointTemperature[0]);
        if (Succeeded(hr))
            hr = m_pSensor->WriteORPCalValueA(m_segmentSlope[0]);
        if (Succeeded(hr))
            hr = m_pSensor->WriteORPCalValueB(m_segmentOffset[0]);
        return hr;
    }
    if (m_mode != PHORP_MODE_PH)
        return S_OK;
    const uint16_t count = std::min<uint16_t>(m_pointCount, kMaxPoints);
    HRESULT hr = m_pSensor->WritepHCalSegmentCount(count);
    for (uint16_t i = 0; i < count && Succeeded(hr); ++i)
        hr = m_pSensor->WritepHCalPoint(static_cast<USHORT>(i + 1), m_pointStimulus[i], m_pointResponse[i],
                                        m_pointTemperature[i]);
    for (USHORT segment = 1; segment <= 2 && Succeeded(hr); ++segment)
    {
        hr = m_pSensor->WritepHSegmentSlope(segment, m_segmentSlope[segment - 1]);
        if (Succeeded(hr))
            hr = m_pSensor->WritepHSegmentOffset(segment, m_segmentOffset[segment - 1]);
    }
    return hr;
}

HRESULT CCalDataPHORP::CommitCalibration()
{
    std::unique_lock lock(m_dataLock);
    if (m_pSensor == nullptr)
        return E_POINTER;
    if (!ComputeCalibration())
        return E_FAIL;
    if (CalDevice() == nullptr)
        return E_POINTER;
    const HRESULT hr = TalkWithinData([this] { return WriteCalibration(); });
    if (Failed(hr))
        return hr;
    // The report asks the probe connection, whose lock comes before this object's.
    lock.unlock();
    return TakeOverCalibration();
}

HRESULT CCalDataPHORP::RestoreCalibrationDefaults()
{
    NVSystem::CDeviceComm* device = CalDevice();
    if (m_pSensor == nullptr || device == nullptr)
        return E_POINTER;
    const USHORT connection = CalConnection();
    CModbusComm* network = device->GetModbusComm();
    if (network == nullptr)
        return E_NOINTERFACE;
    // After an unanswered exchange of the run the short check comes first: a silent probe gets no
    // restore, and the wizard is told the failure at once.
    const HRESULT hr = Talk(
        [this, device, network, connection]
        {
            std::lock_guard lock(m_dataLock);
            NVSystem::SensorConnectionInfo info;
            HRESULT result = device->GetSensorConnectionInfo(connection, info);
            if (Succeeded(result))
            {
                const USHORT address = device->IsTagged() ? device->GetAddress() : kUnlinkedAddress;
                result = network->WriteUShort(address, info.CommandRegister,
                                              NVSystem::SENSORCMD_RESTORE_CAL_DEFAULTS, kRestoreTimeoutMs,
                                              device->GetRetryCount());
            }
            return result;
        });
    network->Release();
    return hr;
}

float CCalDataPHORP::GetSegmentSlope(int segment)
{
    std::lock_guard lock(m_dataLock);
    return segment >= 0 && segment < 2 ? m_segmentSlope[segment] : FLT_MAX;
}

float CCalDataPHORP::GetSegmentOffset(int segment)
{
    std::lock_guard lock(m_dataLock);
    return segment >= 0 && segment < 2 ? m_segmentOffset[segment] : FLT_MAX;
}

float CCalDataPHORP::GetPointStimulus(int point)
{
    std::lock_guard lock(m_dataLock);
    return point >= 0 && point < kMaxPoints ? m_pointStimulus[point] : FLT_MAX;
}

float CCalDataPHORP::GetPointResponse(int point)
{
    std::lock_guard lock(m_dataLock);
    return point >= 0 && point < kMaxPoints ? m_pointResponse[point] : FLT_MAX;
}

float CCalDataPHORP::GetPointTemperature(int point)
{
    std::lock_guard lock(m_dataLock);
    return point >= 0 && point < kMaxPoints ? m_pointTemperature[point] : FLT_MAX;
}

uint32_t CCalDataPHORP::GetPointStability(int point)
{
    std::lock_guard lock(m_dataLock);
    return point >= 0 && point < kMaxPoints ? m_pointStability[point] : 0;
}

void CCalDataPHORP::AddPointSection(const CWideString& solutionName, const char16_t* stimulusFormat,
                                    float stimulus, const CCalSampleStore& store, uint32_t stability)
{
    CCalReport::Lines section;
    section.Add(CWideString(u"\t%-20s\t%s", u"Standard:", TextOf(solutionName)));
    section.Add(CWideString(stimulusFormat, u"Stimulus:", ShownValue(stimulus, 2)));
    section.Add(CWideString(u"\t%-20s\t%0.2f mV", u"Response:", ShownValue(store.GetAverage(kCalValue2), 2)));
    section.Add(
        CWideString(u"\t%-20s\t%0.2f C", u"Temperature:", ShownValue(store.GetAverage(kCalValue1), 2)));
    section.Add(CWideString(u"\t%-20s\t%s", u"Stability:", StabilityWord(static_cast<int32_t>(stability))));
    m_report.m_pointSections.Add(section);
}

void CCalDataPHORP::BuildReport()
{
    m_report.Clear();
    const uint32_t mode = GetMode();
    if (mode != PHORP_MODE_PH && mode != PHORP_MODE_ORP)
        return;
    m_report.m_title = mode == PHORP_MODE_PH ? u"pH Calibration Report" : u"ORP Calibration Report";
    ULONG serial = 0;
    m_pSensor->GetpHORPSerialNumber(serial);
    AppendProbeHeader(m_report.m_headerLines, m_probe, serial, CalConnection());

    std::lock_guard lock(m_dataLock);
    if (mode == PHORP_MODE_ORP)
    {
        CWideString name;
        GetSolutionName(m_pointSolution[0], name);
        const float stimulus = GetSolutionValue(0, m_orpSamples.GetAverage(kCalValue1));
        AddPointSection(name, u"\t%-20s\t%0.2f mV", stimulus, m_orpSamples, m_pointStability[0]);
        m_report.m_footerLines.Add(
            CWideString(u"%-30s\t%0.3f mV", u"Offset:", ShownValue(m_segmentOffset[0], 3)));
        return;
    }
    const int count = std::min<int>(m_pointCount, kMaxPoints);
    for (int i = 0; i < count; ++i)
    {
        CWideString name;
        GetSolutionName(m_pointSolution[i], name);
        const float stimulus =
            GetSolutionValue(static_cast<uint32_t>(i), m_pointSamples[i].GetAverage(kCalValue1));
        AddPointSection(name, u"\t%-20s\t%0.2f pH", stimulus, m_pointSamples[i], m_pointStability[i]);
    }
    const int segments = m_pointCount > 2 ? 2 : 1;
    for (int k = 1; k <= segments; ++k)
    {
        const float m = m_segmentSlope[k - 1];
        const float b = m_segmentOffset[k - 1];
        m_report.m_footerLines.Add(CWideString(u"Line Segment %d", k));
        m_report.m_footerLines.Add(CWideString(u"\t%-20s\t%.4f pH/mV (%.4f mV/pH)", u"Slope:",
                                               ShownValue(m, 4), ShownValue(1.0f / m, 4)));
        m_report.m_footerLines.Add(CWideString(u"\t%-20s\t%.4f pH (%.4f mV)", u"Offset:", ShownValue(b, 4),
                                               ShownValue(-(b / m), 4)));
        m_report.m_footerLines.Add(CWideString(u""));
    }
}
