// The conductivity calibration, cycle by cycle against the multi-sensor probe with dialled
// readings: stability after its sample counts, the cell constant written, the report, and the
// refusals that must leave the sensor as it was.
#include <gtest/gtest.h>

#include <cstdlib>

#include "calibration/data/CalDataConductivity.h"
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

class ConductivityCal : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_data = std::make_unique<CCalDataConductivity>(m_connection);
        m_data->SetRunCacheTimeout(1); // every cycle measures afresh
        m_data->SetCalMethod(CCalDataConductivity::kCellConstantMethod);
        m_data->SetStandard(CAL_SOLUTION_COND_1413, CWideString(u"1413 µS/cm @25° C"));
        ASSERT_EQ(m_data->StartManual(m_conductivitySensor.get(), &m_window), S_OK);
        ASSERT_TRUE(m_data->RunStartSteps());
        m_window.Take();
    }

    void TearDown() override { m_data.reset(); }

    void Begin()
    {
        ASSERT_EQ(m_data->PrepareStabilization(), S_OK);
        ASSERT_EQ(m_data->BeginCalibration(), S_OK);
    }

    void Cycles(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(m_data->RunCycle());
    }

    std::unique_ptr<CCalDataConductivity> m_data;
};

TEST_F(ConductivityCal, StabilityComesAfterEightAndSixteenSteadySamples)
{
    Cycles(2);
    EXPECT_EQ(m_data->GetStability(), CAL_STABILITY_NONE) << "idle";
    Begin();
    m_window.Take();
    for (int n = 1; n <= 16; ++n)
    {
        ASSERT_TRUE(m_data->RunCycle());
        const int32_t expected = n < 8    ? CAL_STABILITY_NONE
                                 : n < 16 ? CAL_STABILITY_NOMINAL
                                          : CAL_STABILITY_FULL;
        EXPECT_EQ(m_data->GetStability(), expected) << n << " samples";
        const std::vector<uint32_t> posted = m_window.Take();
        if (n < 5)
            EXPECT_EQ(posted, std::vector<uint32_t>{WM_NEW_DATA}) << n;
        else
            EXPECT_EQ(posted, (std::vector<uint32_t>{WM_CAL_SAMPLES_READY, WM_NEW_DATA})) << n;
    }
    EXPECT_EQ(m_data->CalibrationSamples().GetCount(), 16);
    EXPECT_EQ(m_data->LiveReadings().GetCount(), 18);

    m_data->Accept();
    Cycles(1);
    EXPECT_EQ(m_window.Take(), (std::vector<uint32_t>{WM_CAL_ACCEPTED, WM_NEW_DATA}));
    m_actualConductivity.Set(900.0f);
    Cycles(2);
    EXPECT_EQ(m_data->GetStability(), CAL_STABILITY_FULL) << "the level sampling stopped at";
    EXPECT_EQ(m_data->CalibrationSamples().GetCount(), 16);
}

TEST_F(ConductivityCal, DriftingReadingsNeverSettle)
{
    Begin();
    for (int n = 0; n < 16; ++n)
    {
        m_actualConductivity.Set(1300.0f + 10.0f * n); // 160 over 16 samples: far beyond 2 % of 1278
        ASSERT_TRUE(m_data->RunCycle());
    }
    EXPECT_EQ(m_data->GetStability(), CAL_STABILITY_NONE);
}

TEST_F(ConductivityCal, StabilityIsJudgedAgainstTheStandardAtTheSampleTemperatureJustEitherSideOfItsBounds)
{
    // A standard of 1000 µS/cm given at 20 C, sampled at 23 C: it conducts 1057.3 there, 2 % of which
    // is 21.146. Nominal needs the last 8 within 42.292, Full the last 16 within 21.146.
    struct Spread
    {
        float width;
        int32_t afterEight;
        int32_t afterSixteen;
    };
    const Spread spreads[] = {{42.2f, CAL_STABILITY_NOMINAL, CAL_STABILITY_NOMINAL},
                              {42.4f, CAL_STABILITY_NONE, CAL_STABILITY_NONE},
                              {21.1f, CAL_STABILITY_NOMINAL, CAL_STABILITY_FULL},
                              {21.2f, CAL_STABILITY_NOMINAL, CAL_STABILITY_NOMINAL}};
    m_temperature.Set(23.0f);
    for (const Spread& spread : spreads)
    {
        CCalDataConductivity data(m_connection);
        data.SetRunCacheTimeout(1);
        data.SetCalMethod(CCalDataConductivity::kCellConstantMethod);
        data.SetStandard(CAL_SOLUTION_USER, CWideString(u"1000"));
        data.SetStandardRefTemp(20.0f);
        data.SetCompRefTemp(20.0f);
        ASSERT_EQ(data.StartManual(m_conductivitySensor.get(), nullptr), S_OK);
        ASSERT_TRUE(data.RunStartSteps());
        ASSERT_EQ(data.BeginCalibration(), S_OK);
        for (int n = 1; n <= 16; ++n)
        {
            m_actualConductivity.Set(n % 2 == 0 ? 950.0f + spread.width : 950.0f);
            ASSERT_TRUE(data.RunCycle());
            if (n == 8)
            {
                EXPECT_EQ(data.GetStability(), spread.afterEight) << spread.width;
            }
        }
        EXPECT_EQ(data.GetStability(), spread.afterSixteen) << spread.width;
        data.RunEndStep();
    }
}

TEST_F(ConductivityCal, ASpreadExactlyAtItsBoundIsNotStable)
{
    // A standard of 1000 µS/cm given at 25 C and sampled at 25 C: 2 % of it is exactly 20 in single
    // precision, and so are the spreads below. "Less than" the bound: equal is not enough.
    struct Spread
    {
        float width;
        int32_t afterEight;
        int32_t afterSixteen;
    };
    const Spread spreads[] = {{40.0f, CAL_STABILITY_NONE, CAL_STABILITY_NONE},
                              {20.0f, CAL_STABILITY_NOMINAL, CAL_STABILITY_NOMINAL}};
    m_temperature.Set(25.0f);
    for (const Spread& spread : spreads)
    {
        CCalDataConductivity data(m_connection);
        data.SetRunCacheTimeout(1);
        data.SetCalMethod(CCalDataConductivity::kCellConstantMethod);
        data.SetStandard(CAL_SOLUTION_USER, CWideString(u"1000"));
        data.SetStandardRefTemp(25.0f);
        data.SetCompRefTemp(25.0f);
        ASSERT_EQ(data.StartManual(m_conductivitySensor.get(), nullptr), S_OK);
        ASSERT_TRUE(data.RunStartSteps());
        ASSERT_EQ(data.BeginCalibration(), S_OK);
        for (int n = 1; n <= 16; ++n)
        {
            m_actualConductivity.Set(n % 2 == 0 ? 1000.0f + spread.width : 1000.0f);
            ASSERT_TRUE(data.RunCycle());
            if (n == 8)
            {
                EXPECT_EQ(data.GetStability(), spread.afterEight) << spread.width;
            }
        }
        EXPECT_EQ(data.GetStability(), spread.afterSixteen) << spread.width;
        data.RunEndStep();
    }
}

TEST_F(ConductivityCal, ExpectedValueFollowsTheStandardWithItsCompensation)
{
    EXPECT_FLOAT_EQ(m_data->GetExpectedConductivity(25.0f), 1413.0f);
    EXPECT_NEAR(m_data->GetExpectedConductivity(20.0f), 1278.06f, 0.01f);
    EXPECT_NEAR(m_data->GetExpectedConductivity(30.0f), 1547.94f, 0.01f);

    m_data->SetStandard(CAL_SOLUTION_USER, CWideString(u"500"));
    m_data->SetUnitsText(CWideString(u"µS/cm"));
    m_data->SetStandardRefTemp(20.0f);
    EXPECT_FLOAT_EQ(m_data->GetExpectedConductivity(25.0f), 500.0f) << "a typed value is not compensated";
    CWideString text;
    m_data->GetStandardText(text);
    EXPECT_EQ(Utf8(text), "500 µS/cm @ 20° C");

    m_data->SetStandard(CAL_SOLUTION_USER, CWideString(u"5x0"));
    EXPECT_EQ(m_data->GetExpectedConductivity(25.0f), FLT_MAX) << "a text that is no number is no standard";
    m_data->SetRestoreDefaults(1);
    m_data->SetStandard(CAL_SOLUTION_COND_147, CWideString(u"147 µS/cm @25° C"));
    EXPECT_EQ(m_data->GetExpectedConductivity(25.0f), FLT_MAX);
    EXPECT_EQ(m_data->PrepareStabilization(), E_FAIL);
}

TEST_F(ConductivityCal, CommitWritesTheCellConstantAndReportsIt)
{
    Begin();
    Cycles(16);
    ASSERT_EQ(m_data->GetStability(), CAL_STABILITY_FULL);
    m_data->Accept();
    Cycles(1);
    SetSimFloat(kConductivity, probesim::kProbeConductivity.cellOffset, 3.5f);
    Mark();
    ASSERT_EQ(m_data->CommitCalibration(), S_OK);

    // 1413 x (1 - 0.0955) / 1300 at the mean temperature of 20 C.
    EXPECT_NEAR(SimFloat(kConductivity, probesim::kProbeConductivity.cellConstant), 0.98312f, 1e-5f);
    EXPECT_EQ(SimFloat(kConductivity, probesim::kProbeConductivity.cellOffset), 0.0f);
    const std::vector<uint16_t> commands = CommandsSinceMark(kConductivity);
    EXPECT_EQ(commands, std::vector<uint16_t>{0xE001});

    CDeviceTimestamp stamp;
    ASSERT_EQ(Device().GetLastUserCalDate(kConductivity, stamp), S_OK);
    const CCalReport& report = m_data->GetReport();
    EXPECT_EQ(Utf8(report.m_title), "Conductivity Calibration Report");
    EXPECT_EQ(
        Lines(report.m_headerLines),
        (std::vector<std::string>{
            HeaderLine("Probe Type:", "Marisk 400"), HeaderLine("Probe Serial Number:", "4711"),
            HeaderLine("Probe Manufacture Date:", "03/04/2024"), HeaderLine("Sensor Serial Number:", "47112"),
            HeaderLine("Last Calibration Date:", Utf8(CalibrationDateText(stamp)))}));
    ASSERT_EQ(report.m_pointSections.GetCount(), 1u);
    EXPECT_EQ(Lines(report.m_pointSections[0]),
              (std::vector<std::string>{
                  PointLine("Standard:", "1413 µS/cm @25° C"), PointLine("Stimulus:", "1327 µS/cm @ 25° C"),
                  PointLine("Response:", "1350.00 µS/cm @ 25° C"), PointLine("Temperature:", "20.00 C"),
                  PointLine("Stability:", "Full")}));
    EXPECT_EQ(Lines(report.m_footerLines), std::vector<std::string>{HeaderLine("Cell Constant:", "0.98")});

    m_data->BuildReport();
    EXPECT_EQ(m_data->GetReport().m_pointSections.GetCount(), 1u) << "built afresh, not appended";
    EXPECT_EQ(m_data->GetReport().m_headerLines.GetCount(), 5u);

    m_data->RunEndStep();
    EXPECT_NEAR(
        Probe().Sensors().SettingInUse(kConductivity, probesim::kProbeConductivity.cellConstant).value_or(0),
        0.98312f, 1e-5f)
        << "out of calibration mode the sensor measures with what it took";
}

TEST_F(ConductivityCal, ACommitWithoutAUsableConstantLeavesTheSensorAsItWas)
{
    const float constantBefore = SimFloat(kConductivity, probesim::kProbeConductivity.cellConstant);
    SetSimFloat(kConductivity, probesim::kProbeConductivity.cellOffset, 3.5f);
    m_actualConductivity.Set(0.0f);
    Begin();
    Cycles(5);
    Mark();
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "a cell that reads nothing";

    m_actualConductivity.Set(1300.0f);
    Cycles(5);
    m_data->SetStandard(CAL_SOLUTION_USER, CWideString(u"14l3"));
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "a typed text that is no number";
    m_data->SetStandard(CAL_SOLUTION_COND_1413, CWideString(u"1413 µS/cm @25° C"));
    m_data->SetCalMethod(0);
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "no method chosen";

    EXPECT_FALSE(WroteInto(kConductivity, probesim::kProbeConductivity.cellOffset,
                           probesim::kProbeConductivity.cellConstant + 1));
    EXPECT_TRUE(CommandsSinceMark(kConductivity).empty());
    EXPECT_EQ(SimFloat(kConductivity, probesim::kProbeConductivity.cellConstant), constantBefore);
    EXPECT_EQ(SimFloat(kConductivity, probesim::kProbeConductivity.cellOffset), 3.5f);
}

TEST_F(ConductivityCal, ASampleOutsideCalibrationModeEndsTheRunAndRestoresTheDevice)
{
    USHORT cacheTimeout = 0, eos = 0;
    ASSERT_EQ(Device().GetMeasurementCacheTimeout(cacheTimeout), S_OK);
    ASSERT_EQ(cacheTimeout, 1u) << "the run's own";
    ASSERT_EQ(Device().GetEOS(eos), S_OK);
    ASSERT_EQ(eos, CCalData::kCalibrationEOS);

    ASSERT_EQ(m_data->Run(), S_OK); // sampling without calibration mode
    EXPECT_FALSE(m_data->RunCycle());
    EXPECT_EQ(m_window.Take(), std::vector<uint32_t>{WM_READ_ERROR});
    EXPECT_EQ(m_data->CalibrationSamples().GetCount(), 0);
    m_data->RunEndStep();

    EXPECT_EQ(Device().GetMeasurementCacheTimeout(cacheTimeout), S_OK);
    EXPECT_EQ(cacheTimeout, Probe().Config().measurementCacheTimeout);
    EXPECT_EQ(Device().GetEOS(eos), S_OK);
    EXPECT_NE(eos, CCalData::kCalibrationEOS);
    EXPECT_EQ(Probe().Sensors().CommandsCarriedOut(kConductivity).back(), 0xE002);
    EXPECT_EQ(m_data->BeginCalibration(), E_HANDLE) << "no worker would ever end calibration mode";
    EXPECT_EQ(Probe().Sensors().Mode(kConductivity), probesim::SensorMode::Measuring);
}

TEST_F(ConductivityCal, AFailedReadPostsTheErrorAndKeepsItsCode)
{
    Begin();
    Cycles(1);
    Probe().Sensors().Unplug(kConductivity);
    EXPECT_FALSE(m_data->RunCycle());
    EXPECT_EQ(m_window.Take(), (std::vector<uint32_t>{WM_NEW_DATA, WM_READ_ERROR}));
    EXPECT_LT(m_data->GetLastResult(), 0);
}

class ConductivityStart : public CalibrationTest
{
};

TEST_F(ConductivityStart, ABeginThatFailsPartWayPutsBackWhatItChanged)
{
    StartDialledProbe();
    USHORT cacheBefore = 0;
    ASSERT_EQ(Device().GetMeasurementCacheTimeout(cacheBefore), S_OK);
    USHORT eos = 0;
    ASSERT_EQ(Device().GetEOS(eos), S_OK);
    const uint16_t eosRegister = RegisterWrittenBy(&NVSystem::CDeviceComm::SetEOS, eos);
    RefuseWrites(eosRegister, 1);

    CCalDataConductivity data(m_connection);
    ASSERT_EQ(data.StartManual(m_conductivitySensor.get(), &m_window), S_OK);
    EXPECT_FALSE(data.RunStartSteps());
    EXPECT_EQ(m_window.Take(), std::vector<uint32_t>{WM_READ_ERROR});
    EXPECT_EQ(data.GetLastResult(), modeltest::kRefused);
    USHORT cacheAfter = 0;
    ASSERT_EQ(Device().GetMeasurementCacheTimeout(cacheAfter), S_OK);
    EXPECT_EQ(cacheAfter, cacheBefore);
    EXPECT_EQ(data.BeginCalibration(), E_HANDLE);
}

TEST_F(ConductivityStart, WithoutASensorTheWorkerEndsAtOnceAndTouchesNothing)
{
    StartDialledProbe();
    CCalDataConductivity data(m_connection);
    ASSERT_EQ(data.StartReading(nullptr, &m_window), S_OK);
    Mark();
    EXPECT_EQ(data.BeginCalibration(), E_POINTER);
    EXPECT_TRUE(m_window.Take().empty());
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace caltest
