// The worker on its own thread against the simulated probe, as a wizard runs it: readings on a
// short period, a calibration accepted and committed while the worker keeps reading, and every way
// out (closing, a read error) switching calibration mode off and giving the device its settings
// back.
#include <gtest/gtest.h>

#include <functional>

#include "calibration/data/CalDataConductivity.h"
#include "calibration/data/CalDataVOX.h"
#include "platform/Format.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"

namespace caltest
{
namespace
{

using windowmsg::WM_CAL_ACCEPTED;
using windowmsg::WM_CAL_SAMPLES_READY;
using windowmsg::WM_NEW_DATA;
using windowmsg::WM_READ_ERROR;

constexpr uint32_t kQuickPeriod = 20; // ms

class WorkerThread : public CalibrationTest
{
protected:
    // Lets the worker cycle until the condition holds or 20 s have passed.
    bool CycleUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!done())
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            m_window.Take();
            m_window.WaitFor(WM_NEW_DATA, 1s);
        }
        return true;
    }

    void ExpectDeviceSettingsBack()
    {
        USHORT cacheTimeout = 0, eos = 0;
        EXPECT_EQ(Device().GetMeasurementCacheTimeout(cacheTimeout), S_OK);
        EXPECT_EQ(cacheTimeout, Probe().Config().measurementCacheTimeout);
        EXPECT_EQ(Device().GetEOS(eos), S_OK);
        EXPECT_EQ(eos, m_eosBefore);
    }

    void RememberDeviceSettings() { ASSERT_EQ(Device().GetEOS(m_eosBefore), S_OK); }

    USHORT m_eosBefore = 0;
};

TEST_F(WorkerThread, AConductivityCalibrationRunsToItsCommitWhileTheWorkerReads)
{
    StartDialledProbe();
    RememberDeviceSettings();
    auto data = std::make_unique<CCalDataConductivity>(m_connection);
    data->SetSampleInterval(kQuickPeriod);
    data->SetRunCacheTimeout(1);
    data->SetCalMethod(CCalDataConductivity::kCellConstantMethod);
    data->SetStandard(CAL_SOLUTION_COND_1413, CWideString(u"1413 µS/cm @25° C"));
    ASSERT_EQ(data->StartReading(m_conductivitySensor.get(), &m_window), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_NEW_DATA));

    float conductivity = 0, temperature = 0;
    USHORT quality = 0, unit = 0, temperatureQuality = 0, temperatureUnit = 0;
    ASSERT_TRUE(data->GetLatestReading(conductivity, quality, unit, temperature, temperatureQuality,
                                       temperatureUnit));
    EXPECT_EQ(conductivity, 1350.0f);
    EXPECT_EQ(unit, kUnitMicroSiemensPerCm);
    EXPECT_EQ(temperatureUnit, kUnitCelsius);

    ASSERT_EQ(data->PrepareStabilization(), S_OK);
    ASSERT_EQ(data->BeginCalibration(), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_CAL_SAMPLES_READY));
    ASSERT_TRUE(CycleUntil([&] { return data->GetStability() == CAL_STABILITY_FULL; }));
    m_window.Take();
    ASSERT_EQ(data->Accept(), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_CAL_ACCEPTED));
    ASSERT_EQ(data->CommitCalibration(), S_OK);
    EXPECT_NEAR(SimFloat(kConductivity, probesim::kProbeConductivity.cellConstant), 0.98312f, 1e-5f);
    ASSERT_TRUE(m_window.WaitFor(WM_NEW_DATA)) << "the worker reads on after the commit";
    EXPECT_EQ(Probe().Sensors().Mode(kConductivity), probesim::SensorMode::Calibrating);

    data.reset();
    EXPECT_EQ(Probe().Sensors().Mode(kConductivity), probesim::SensorMode::Measuring);
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(kConductivity).back(), 0xE002);
    ExpectDeviceSettingsBack();
}

TEST_F(WorkerThread, ClosingWhileTheWorkerWaitsEndsTheRunAtOnce)
{
    StartDialledProbe();
    RememberDeviceSettings();
    auto data = std::make_unique<CCalDataConductivity>(m_connection);
    data->SetSampleInterval(600000);
    ASSERT_EQ(data->StartReading(m_conductivitySensor.get(), &m_window), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_NEW_DATA)) << "the first cycle comes at once";
    ASSERT_EQ(data->BeginCalibration(), S_OK);
    ASSERT_EQ(Probe().Sensors().Mode(kConductivity), probesim::SensorMode::Calibrating);

    const auto closing = std::chrono::steady_clock::now();
    data.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 5s);
    EXPECT_EQ(Probe().Sensors().Mode(kConductivity), probesim::SensorMode::Measuring);
    ExpectDeviceSettingsBack();
}

TEST_F(WorkerThread, AnUnpluggedSensorEndsTheWorkerWithAReadError)
{
    StartDialledProbe();
    RememberDeviceSettings();
    CCalDataConductivity data(m_connection);
    data.SetSampleInterval(kQuickPeriod);
    ASSERT_EQ(data.StartReading(m_conductivitySensor.get(), &m_window), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_NEW_DATA));
    Probe().Sensors().Unplug(kConductivity);
    ASSERT_TRUE(m_window.WaitFor(WM_READ_ERROR));
    ASSERT_TRUE(CycleUntil([&] { return data.HasWorkerEnded(); }));
    EXPECT_FALSE(data.IsWorkerRunning());
    EXPECT_EQ(data.BeginCalibration(), E_HANDLE);
    ExpectDeviceSettingsBack();
}

TEST_F(WorkerThread, AnOpticalDoCalibrationLeavesTheProbeReadingFullSaturation)
{
    StartPresetProbe();
    RememberDeviceSettings();
    auto data = std::make_unique<CCalDataVOX>(m_connection);
    data->SetSampleInterval(kQuickPeriod);
    data->SetPointCount(1);
    data->SetPointTargets(100.0f, 0.0f);
    ASSERT_EQ(data->StartReading(m_oxygenSensor.get(), &m_window), S_OK);
    // What the wizard's pages do: the calibration's pressure and salinity become the live ones.
    ASSERT_EQ(m_oxygenSensor->SetLiveBaro(990.0f), S_OK);
    ASSERT_EQ(m_oxygenSensor->SetLiveSalinity(5.0f), S_OK);
    ASSERT_EQ(data->PrepareStabilization(), S_OK);
    ASSERT_EQ(data->BeginCalibration(), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_CAL_SAMPLES_READY));
    m_window.Take();
    ASSERT_EQ(data->Accept(), S_OK);
    ASSERT_TRUE(m_window.WaitFor(WM_CAL_ACCEPTED));
    ASSERT_EQ(data->CommitCalibration(), S_OK);
    data->RestoreLiveInputs();
    const std::vector<std::string> footer = Lines(data->GetReport().m_footerLines);
    data.reset();

    ASSERT_EQ(footer.size(), 2u);
    float slope = 0.0f;
    ASSERT_EQ(m_oxygenSensor->ReadCalSlope(slope), S_OK);
    EXPECT_NE(slope, 1.0f) << "the probe worked out its own slope";
    EXPECT_EQ(footer[0], "Slope:                        \t" + platform::Format("%0.4f", slope) + " mgL/mgL");
    EXPECT_EQ(SimFloat(kOxygen, probesim::dosensor::kLiveBaro), 1013.25f)
        << "the probe's own pressure is back";

    // The probe, back at the calibration's pressure and salinity, now reads the point it was shown.
    ASSERT_EQ(m_oxygenSensor->SetLiveBaro(990.0f), S_OK);
    ASSERT_EQ(m_oxygenSensor->SetLiveSalinity(5.0f), S_OK);
    modeltest::Reading saturation =
        modeltest::ReadOf(*m_oxygenSensor, &NVSystem::ISensor_VoxPro::ReadOxygenParamB);
    ASSERT_EQ(saturation.hr, S_OK);
    EXPECT_NEAR(saturation.value, 100.0f, 0.5f);
    EXPECT_EQ(saturation.quality, 0u);
    ExpectDeviceSettingsBack();
}

TEST(WorkerGrid, CyclesKeepToWholePeriodsFromTheStart)
{
    EXPECT_EQ(CCalData::NextWaitMs(1200, 5000), 3800u) << "a slow cycle shortens the wait";
    EXPECT_EQ(CCalData::NextWaitMs(5000, 5000), 5000u) << "never 0";
    EXPECT_EQ(CCalData::NextWaitMs(7300, 5000), 2700u) << "a cycle longer than a period waits for the next";
}

} // namespace
} // namespace caltest
