// Calibration of the optical dissolved-oxygen sensor at 100 % and, optionally, 0 % saturation. The
// worker reads temperature, oxygen (mg/L), saturation (%) and the sensor's live barometric pressure
// every 5000 ms. A point is stable when both the oxygen and the temperature changed by less than
// their tolerances from one sample to the next for a run of samples:
//
//                         oxygen (mg/L)                 temperature (C)
//   100 % point   Nominal 6 x < 0.2, Full 12 x < 0.1    Nominal 6 x < 0.5, Full 12 x < 0.25
//   0 % point     Nominal 6 x < 0.04, Full 12 x < 0.02  as at 100 %
//
// The commit hands the measured points to the sensor (oxygen and temperature of each point, the
// salinity and the mean barometric pressure at 100 %); the sensor computes its slope and offset
// itself when the device updates its calibration, and the report reads them back. A refused
// salinity does not stop the commit.
//
// The pages write the calibration's barometric pressure and salinity into the sensor as its live
// values; StartReading saves the sensor's own, and RestoreLiveInputs writes them back (the frame's
// cancel, and the calibrate page after a commit).
//
// What the setup page sets: SetPointCount (1 or 2), SetPointTargets(100, 0), SetRestoreDefaults.
#pragma once

#include <optional>

#include "calibration/data/CalData.h"

class CCalDataVOX : public CCalData
{
public:
    static constexpr uint32_t kSampleInterval = 5000;
    static constexpr USHORT kCacheTimeout = 2000;
    static constexpr int kMaxPoints = 2;

    struct StabilityRule
    {
        int nominalWindow;
        float nominalTolerance;
        int fullWindow;
        float fullTolerance;
    };
    // Oxygen and temperature at the 100 % point, then at the 0 % point.
    static const StabilityRule OXYGEN_STABILITY_RULES[4];

    explicit CCalDataVOX(ICalProbeConnection& probe);
    ~CCalDataVOX() override;

    // Saves the sensor's live barometric pressure and salinity, then as
    // CCalDataConductivity::StartReading.
    HRESULT StartReading(NVSystem::ISensor_VoxPro* sensor, INotifyWindow* window);
    HRESULT StartManual(NVSystem::ISensor_VoxPro* sensor, INotifyWindow* window);

    HRESULT BeginCalibration() override;
    // Also starts the level afresh.
    HRESULT Run() override;
    HRESULT PrepareStabilization() override;
    HRESULT CommitCalibration() override;
    void BuildReport() override;

    uint32_t GetRestoreDefaults();
    void SetRestoreDefaults(uint32_t restore);
    void SetPointCount(uint16_t count);
    uint16_t GetPointCount();
    void SetPointTargets(float first, float second);
    // The current point's target saturation while a point remains.
    BOOL GetCurrentPointTarget(float& target);
    uint32_t GetCurrentPoint();
    uint32_t GetPointStability(int point);
    HRESULT WriteCalibrationPoints();
    // The sensor's factory calibration: by the device's command, or step by step on the single-sensor
    // probes; E_FAIL for other device types. Every failure leaves calibration mode off.
    HRESULT RestoreCalibrationDefaults();
    // The calibration's salinity (PSU) and barometric pressure (mBar) into the sensor as its live
    // values, remembered until the sensor has its own back.
    HRESULT WriteLiveSalinity(float psu);
    HRESULT WriteLiveBaro(float mbar);
    // Writes back the live barometric pressure and salinity saved at the start, each at most once.
    void RestoreLiveInputs();

    const CCalSampleStore& LiveReadings() const { return m_liveReadings; }             // C, mg/L
    const CCalSampleStore& SaturationReadings() const { return m_saturationReadings; } // value 2: %
    const CCalSampleStore& BaroReadings() const { return m_baroReadings; }             // value 2: mBar
    // The readings before a new live pressure do not belong to the calibration.
    void ClearBaroReadings() { m_baroReadings.Clear(); }
    const CCalSampleStore& PointSamples(int point) const { return m_pointSamples[point]; }

protected:
    NVSystem::ISensor_Temperature* CalSensor() override { return m_pSensor; }
    USHORT CalConnection() override;
    void OnWorkerStarting() override;
    BOOL ReadCycle(int32_t state) override;
    // The live values the pages wrote are put back on every way out of the wizard.
    void OnReadingEnded() override;
    void DescribeLeftovers(std::u16string& lines) override;

private:
    HRESULT RestoreDefaultsOnProbe(NVSystem::CDeviceComm& device);
    // Run lengths of small changes, by quantity (oxygen, temperature) and target (100 %, 0 %).
    struct Counters
    {
        int nominal = 0;
        int full = 0;
    };
    int32_t UpdateStability(const StabilityRule& rule, Counters& counters, float change);
    HRESULT WritePoint(float target, float response, float temperature, float salinity);
    // The sensor of the run, and its own live pressure and salinity for their restore.
    void SaveLiveInputs(NVSystem::ISensor_VoxPro* sensor);

    NVSystem::ISensor_VoxPro* m_pSensor = nullptr;
    CCalSampleStore m_liveReadings;
    CCalSampleStore m_saturationReadings;
    CCalSampleStore m_baroReadings;
    CCalSampleStore m_pointSamples[kMaxPoints];
    uint16_t m_pointCount = 0;
    float m_calBaro = 0.0f;
    float m_pointTarget[kMaxPoints] = {100.0f, 0.0f};
    float m_pointResponse[kMaxPoints] = {};
    float m_pointTemperature[kMaxPoints] = {};
    uint32_t m_pointStability[kMaxPoints] = {};
    // A live value is restored only when it was read: 0 is a value like any other.
    float m_savedLiveBaro = 0.0f;
    bool m_liveBaroSaved = false;
    float m_savedLiveSalinity = 0.0f;
    bool m_liveSalinitySaved = false;
    // What the pages wrote and the sensor has not yet given up for its own.
    std::optional<float> m_liveBaroWritten;
    std::optional<float> m_liveSalinityWritten;
    uint32_t m_restoreDefaults = 0;
    uint32_t m_currentPoint = 0;
    Counters m_counters[2][2]; // [oxygen, temperature][100 %, 0 %]; the worker's own
};
