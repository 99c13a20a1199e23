// Calibration of a conductivity sensor's cell constant against one standard solution. The worker
// reads temperature, specific and actual conductivity every 4000 ms; while sampling, the actual
// conductivity goes into the calibration samples. The point is stable when the spread of the last
// samples is small against the standard's expected conductivity at the sample temperature
// (1.91 %/degree from 25 C): Nominal when the last 8 span less than 4 %, Full when the last 16 span
// less than 2 %. The commit writes a zero cell offset and the cell constant that turns the mean of
// the last five samples into the expected conductivity at their mean temperature.
//
// What the method page sets before sampling: SetCalMethod(1), SetStandard(solution id, text) with
// SetUnitsText (empty for a listed standard, "µS/cm" for a typed one), SetStandardRefTemp (20 or 25)
// and SetCompRefTemp (25 for a listed standard, the standard's reference for a typed one), and
// SetRestoreDefaults when the user restores the sensor's defaults instead (done by the page itself).
#pragma once

#include "calibration/data/CalData.h"
#include "foundation/DynArray.h"

struct SCondCalibration
{
    float cellConstant = 0.0f;
    float cellOffset = 0.0f;
    float refTemperature = 0.0f;
    float tempCoefficient = 0.0f;
    CDynArray<float> coefficients;
};

class CCalDataConductivity : public CCalData
{
public:
    static constexpr uint32_t kSampleInterval = 4000;
    static constexpr USHORT kCacheTimeout = 1000;
    static constexpr uint16_t kCellConstantMethod = 1;
    static constexpr float kLinearCompensation = 0.0191f; // per degree C
    static constexpr int kNominalWindow = 8;
    static constexpr int kFullWindow = 16;

    explicit CCalDataConductivity(ICalProbeConnection& probe);
    ~CCalDataConductivity() override;

    // Stores the sensor and the window and starts the worker (on its own thread, or driven by the
    // caller with StartManual). Without a sensor the worker ends at once.
    HRESULT StartReading(NVSystem::ISensor_Conductivity* sensor, INotifyWindow* window);
    HRESULT StartManual(NVSystem::ISensor_Conductivity* sensor, INotifyWindow* window);

    HRESULT BeginCalibration() override;
    HRESULT PrepareStabilization() override;
    HRESULT CommitCalibration() override;
    int32_t GetStability() override;
    HRESULT SaveOldCalibration() override;
    void BuildReport() override;

    // The last live reading: specific conductivity (µS/cm) and temperature (C); FALSE before the
    // first.
    BOOL GetLatestReading(float& conductivity, USHORT& conductivityQuality, USHORT& conductivityUnit,
                          float& temperature, USHORT& temperatureQuality, USHORT& temperatureUnit);
    // The standard as the report names it.
    BOOL GetStandardText(CWideString& text);
    // The standard's conductivity at the temperature; FLT_MAX when there is none (restoring
    // defaults, an unknown solution, a typed text that is no number).
    float GetExpectedConductivity(float celsius);
    // TRUE when a usable cell constant came out of the samples.
    BOOL ComputeCalibration();

    void SetCalMethod(uint16_t method);
    void SetStandard(int32_t solutionId, const CWideString& text);
    void SetStandardRefTemp(float celsius);
    float GetStandardRefTemp();
    void SetCompRefTemp(float celsius);
    uint32_t GetRestoreDefaults();
    void SetRestoreDefaults(uint32_t restore);
    // The sensor's calibration before the run (SaveOldCalibration) and the one committed.
    SCondCalibration GetOldCalibration();
    SCondCalibration GetNewCalibration();

    const CCalSampleStore& LiveReadings() const { return m_liveReadings; }
    const CCalSampleStore& CalibrationSamples() const { return m_calSamples; }

protected:
    NVSystem::ISensor_Temperature* CalSensor() override { return m_pSensor; }
    USHORT CalConnection() override;
    BOOL ReadCycle(int32_t state) override;

private:
    // The standard's conductivity at t from its value at the reference: E25 (1 + (t - ref) alpha) / p(t).
    float ExpectedAt(float celsius, float e25);
    float Polynomial(float celsius);

    NVSystem::ISensor_Conductivity* m_pSensor = nullptr;
    CCalSampleStore m_liveReadings; // temperature, specific conductivity
    CCalSampleStore m_calSamples;   // temperature, actual conductivity
    uint16_t m_calMethod = 0;
    SCondCalibration m_oldCal;
    SCondCalibration m_newCal;
    float m_standardRefTemp = 25.0f;
    float m_compRefTemp = 25.0f;
    float m_compLinearCoef = kLinearCompensation;
    CDynArray<float> m_compPolynomial;
    CWideString m_standardText;
    float m_meanCalConductivity = 0.0f;
    float m_meanCalTemperature = 0.0f;
    int32_t m_solutionId = CAL_SOLUTION_NONE;
    uint32_t m_restoreDefaults = 0;
};
