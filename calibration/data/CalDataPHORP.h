// Calibration of the pH/ORP sensor: one ORP standard, one to three pH buffers, or restoring the
// sensor's calibration defaults. The worker reads temperature, pH, ORP (twice) and the pH
// electrode's millivolts every 3000 ms; while sampling, millivolts go into the current point's
// store. A point is Nominal when its last 11 samples span less than 5 mV and Full when its last 21
// span less than 1 mV.
//
// The pH points are sorted by the buffers' values and turned into one or two line segments
// (pH = offset + slope x mV) with the electrodes' temperatures brought to a common scale; a single
// point keeps the Nernst slope at its temperature. ORP keeps slope 1 and takes the offset that turns
// the reading into the standard's millivolts (ZoBell's solution: 261.78 - 1.3068 T).
//
// What the pages set: SetMode on the selection page; SetPointCount, SetPointSolution and
// SetPointValueTexts (the name of a listed standard, or the typed value of CAL_SOLUTION_USER) on the
// method pages; SetUnitsText for a typed standard.
#pragma once

#include "calibration/data/CalData.h"

inline constexpr uint32_t PHORP_MODE_ORP = 0;
inline constexpr uint32_t PHORP_MODE_PH = 1;
inline constexpr uint32_t PHORP_MODE_RESTORE_DEFAULTS = 2;

class CCalDataPHORP : public CCalData
{
public:
    static constexpr uint32_t kSampleInterval = 3000;
    static constexpr USHORT kCacheTimeout = 800;
    static constexpr int kMaxPoints = 3;
    // -1/59.16 pH per mV: the electrode's ideal response at 25 C.
    static constexpr float kNernstSlope = -0.016903313f;
    static constexpr float kNeutralOffset = 7.0f;
    static constexpr ULONG kRestoreTimeoutMs = 3000;

    explicit CCalDataPHORP(ICalProbeConnection& probe);
    ~CCalDataPHORP() override;

    // See CCalDataConductivity::StartReading.
    HRESULT StartReading(NVSystem::ISensor_pHORP* sensor, INotifyWindow* window);
    HRESULT StartManual(NVSystem::ISensor_pHORP* sensor, INotifyWindow* window);

    HRESULT BeginCalibration() override;
    HRESULT PrepareStabilization() override;
    HRESULT CommitCalibration() override;
    void BuildReport() override;

    uint32_t GetMode();
    void SetMode(uint32_t mode);
    void SetPointCount(uint16_t count);
    uint16_t GetPointCount();
    void SetPointSolution(int point, int32_t solutionId);
    void SetPointValueTexts(const CWideString& first, const CWideString& second, const CWideString& third);
    // The current point's text while a point remains to be sampled.
    BOOL GetCurrentPointText(CWideString& text);
    // The point being sampled: 0 to 2.
    uint32_t GetCurrentPoint();
    // The value of a point's standard at a temperature (pH, or mV for ORP); FLT_MAX when the point
    // has none.
    float GetSolutionValue(uint32_t point, float celsius);
    // Change between the last two samples: which 1 the ORP samples, 4 the current pH point's.
    BOOL GetLastChange(uint32_t which, float& valueChange, float& temperatureChange);
    BOOL ComputeCalibration();
    HRESULT WriteCalibration();
    // Sends the sensor's restore-defaults command straight to its command register.
    HRESULT RestoreCalibrationDefaults();

    // Results of the last ComputeCalibration, in sorted point order.
    float GetSegmentSlope(int segment);  // 0 or 1
    float GetSegmentOffset(int segment); // 0 or 1
    float GetPointStimulus(int point);
    float GetPointResponse(int point);
    float GetPointTemperature(int point);
    uint32_t GetPointStability(int point);

    const CCalSampleStore& ORPLiveReadings() const { return m_orpLiveReadings; }
    const CCalSampleStore& PHLiveReadings() const { return m_pHLiveReadings; }
    const CCalSampleStore& PHmVLiveReadings() const { return m_pHmVLiveReadings; }
    const CCalSampleStore& ORPSamples() const { return m_orpSamples; }
    const CCalSampleStore& PointSamples(int point) const { return m_pointSamples[point]; }

protected:
    NVSystem::ISensor_Temperature* CalSensor() override { return m_pSensor; }
    USHORT CalConnection() override;
    BOOL ReadCycle(int32_t state) override;

private:
    // The store a sample of the current point goes to in this mode; null when there is none.
    CCalSampleStore* CurrentPointStore(uint32_t mode, uint32_t point);
    void SortPoints(int count);
    BOOL ComputePH(int count);
    void AddPointSection(const CWideString& solutionName, const char16_t* stimulusFormat, float stimulus,
                         const CCalSampleStore& store, uint32_t stability);

    NVSystem::ISensor_pHORP* m_pSensor = nullptr;
    CCalSampleStore m_orpLiveReadings;
    CCalSampleStore m_pHLiveReadings;
    CCalSampleStore m_pHmVLiveReadings;
    CCalSampleStore m_orpSamples;
    CCalSampleStore m_pointSamples[kMaxPoints];
    uint16_t m_pointCount = 1;
    CWideString m_pointValueText[kMaxPoints];
    int32_t m_pointSolution[kMaxPoints] = {CAL_SOLUTION_NONE, CAL_SOLUTION_NONE, CAL_SOLUTION_NONE};
    uint32_t m_pointStability[kMaxPoints] = {};
    float m_pointStimulus[kMaxPoints] = {};
    float m_pointResponse[kMaxPoints] = {};
    float m_pointTemperature[kMaxPoints] = {};
    float m_segmentSlope[2] = {kNernstSlope, kNernstSlope};
    float m_segmentOffset[2] = {kNeutralOffset, kNeutralOffset};
    uint32_t m_mode = PHORP_MODE_PH;
    uint32_t m_currentPoint = 0;
};
