// The optical dissolved-oxygen calibration cycle by cycle against the probe with dialled oxygen and
// temperature: the stability runs of each point, the points handed to the sensor in order, the
// refusals, the saved live inputs and the restore of the factory calibration per device type.
#include <gtest/gtest.h>

#include "calibration/data/CalDataVOX.h"
#include "platform/Format.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace caltest
{
namespace
{

namespace dos = probesim::dosensor;
using windowmsg::WM_CAL_ACCEPTED;
using windowmsg::WM_CAL_NEXT_POINT;
using windowmsg::WM_CAL_SAMPLES_READY;
using windowmsg::WM_NEW_DATA;

class VoxCal : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_data = std::make_unique<CCalDataVOX>(m_connection);
        m_data->SetRunCacheTimeout(1);
        m_data->SetPointCount(2);
        m_data->SetPointTargets(100.0f, 0.0f);
        ASSERT_EQ(m_data->StartManual(m_oxygenSensor.get(), &m_window), S_OK);
        ASSERT_TRUE(m_data->RunStartSteps());
        m_window.Take();
    }

    void TearDown() override { m_data.reset(); }

    void Begin()
    {
        ASSERT_EQ(m_data->BeginCalibration(), S_OK);
        m_window.Take();
    }

    void Cycles(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(m_data->RunCycle());
    }

    std::unique_ptr<CCalDataVOX> m_data;
};

TEST_F(VoxCal, SteadyReadingsAreNominalAtTheSeventhRecordAndFullAtTheThirteenth)
{
    Begin();
    for (int n = 1; n <= 13; ++n)
    {
        ASSERT_TRUE(m_data->RunCycle());
        const int32_t expected = n < 7    ? CAL_STABILITY_NONE
                                 : n < 13 ? CAL_STABILITY_NOMINAL
                                          : CAL_STABILITY_FULL;
        EXPECT_EQ(m_data->GetStability(), expected) << n;
        const std::vector<uint32_t> posted = m_window.Take();
        EXPECT_EQ(posted.front() == WM_CAL_SAMPLES_READY, n >= 5) << n;
    }
    m_temperature.Set(20.25f); // exactly the full tolerance: a reset
    Cycles(1);
    EXPECT_EQ(m_data->GetStability(), CAL_STABILITY_NOMINAL);
    m_data->Run();
    EXPECT_EQ(m_data->GetStability(), CAL_STABILITY_NONE) << "Run starts the level afresh";
}

TEST_F(VoxCal, TwoPointsAreHandedToTheSensorWhichWorksOutItsSlope)
{
    Begin();
    Cycles(5);
    m_data->Accept();
    m_window.Take();
    Cycles(1);
    EXPECT_EQ(m_window.TakeFirst(), WM_CAL_NEXT_POINT);

    // The 0 % point: oxygen creeping by 0.03 per record, inside the nominal tolerance only.
    m_data->Run();
    for (int n = 1; n <= 13; ++n)
    {
        m_oxygen.Set(0.2f + 0.03f * static_cast<float>(n));
        ASSERT_TRUE(m_data->RunCycle());
        EXPECT_EQ(m_window.TakeFirst() == WM_CAL_SAMPLES_READY, n >= 5) << "counted afresh: " << n;
        EXPECT_EQ(m_data->GetStability(), n < 7 ? CAL_STABILITY_NONE : CAL_STABILITY_NOMINAL) << n;
    }
    m_data->Accept();
    Cycles(1);
    EXPECT_EQ(m_window.Take(), (std::vector<uint32_t>{WM_CAL_ACCEPTED, WM_NEW_DATA}));

    Mark();
    ASSERT_EQ(m_data->CommitCalibration(), S_OK);
    std::vector<uint16_t> written;
    for (const modeltest::RegisterWrite& write : WritesSinceMark())
        if (write.first >= Register(kOxygen, dos::kCalDo100) &&
            write.first <= Register(kOxygen, dos::kCalOffset))
            written.push_back(static_cast<uint16_t>(write.first - Register(kOxygen, 0)));
    EXPECT_EQ(written, (std::vector<uint16_t>{dos::kCalBaro100, dos::kCalSalinity100, dos::kCalDo100,
                                              dos::kCalTemp100, dos::kCalDo0, dos::kCalTemp0}));
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalDo100), 8.0f);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalBaro100), 1013.25f);
    EXPECT_NEAR(SimFloat(kOxygen, dos::kCalDo0), 0.2f + 0.03f * 11.0f, 1e-5f) << "mean of the last five";

    const float slope = SimFloat(kOxygen, dos::kCalSlope);
    const float offset = SimFloat(kOxygen, dos::kCalOffset);
    EXPECT_GT(slope, 1.05f) << "8 mg/L at 20 C is below saturation: the sensor scales up";
    const CCalReport& report = m_data->GetReport();
    EXPECT_EQ(Utf8(report.m_title), "VOX®-Dissolved Oxygen Calibration Report");
    ASSERT_EQ(report.m_pointSections.GetCount(), 2u);
    EXPECT_EQ(report.m_pointSections[0].GetCount(), 5u);
    EXPECT_EQ(Lines(report.m_pointSections[1]),
              (std::vector<std::string>{"\tStandard:           \t0% Oxygen Saturation",
                                        "\tResponse:           \t0.53 mgL", "\tTemperature:        \t20.00 C",
                                        "\tStability:          \tNominal"}));
    EXPECT_EQ(Utf8(report.m_pointSections[0][3]), "\tBarometric Pressure:\t1013.25 mbar");
    EXPECT_EQ(Lines(report.m_footerLines),
              (std::vector<std::string>{
                  "Slope:                        \t" + platform::Format("%0.4f", slope) + " mgL/mgL",
                  "Offset:                       \t" + platform::Format("%0.4f", offset) + " mgL"}));
}

TEST_F(VoxCal, ValuesThatRoundToZeroAreReportedWithoutASign)
{
    m_data->SetPointCount(1);
    m_temperature.Set(-0.004f);
    Begin();
    Cycles(5);
    m_data->Accept();
    Cycles(1);
    ASSERT_EQ(m_data->CommitCalibration(), S_OK);
    // What the sensor worked out, read back as it holds it.
    SetSimFloat(kOxygen, dos::kCalOffset, -0.00004f);
    m_data->BuildReport();
    const CCalReport& report = m_data->GetReport();
    EXPECT_EQ(Utf8(report.m_pointSections[0][2]), PointLine("Temperature:", "0.00 C"));
    EXPECT_EQ(Utf8(report.m_footerLines[1]), HeaderLine("Offset:", "0.0000 mgL"));
    SetSimFloat(kOxygen, dos::kCalOffset, -0.00006f);
    m_data->BuildReport();
    EXPECT_EQ(Utf8(m_data->GetReport().m_footerLines[1]), HeaderLine("Offset:", "-0.0001 mgL"));
}

TEST_F(VoxCal, APressureThatCannotBeReadIsLeftOutAndNoPointIsWrittenWithoutOne)
{
    RefuseReads(Register(kOxygen, dos::kLiveBaro), 2);
    m_data->SetPointCount(1);
    Begin();
    Cycles(5);
    EXPECT_EQ(m_data->BaroReadings().GetCount(), 0);
    EXPECT_EQ(m_data->LiveReadings().GetCount(), 5);
    m_data->Accept();
    Cycles(1);
    Mark();
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL);
    EXPECT_FALSE(WroteInto(kOxygen, dos::kCalDo100, dos::kCalOffset + 1));
}

// A pressure read that goes unanswered fails the cycle like the oxygen's own reads: the probe may
// have stopped answering, so the end step sends nothing and the end of the run checks it first.
TEST_F(VoxCal, AnUnansweredPressureReadFailsTheCycleAndNothingFollowsItButTheCheck)
{
    Begin();
    Sim().RequestFaults().Drop(probesim::RequestMatch::Read(Register(kOxygen, dos::kLiveBaro)),
                               probesim::RequestFaults::kEveryTime);
    EXPECT_FALSE(m_data->RunCycle());
    EXPECT_EQ(m_data->GetLastResult(), SERIALCOMM_E_READ_TIMEOUT);
    Mark();
    m_data->RunEndStep();
    EXPECT_EQ(FramesSinceMark(), 0u);
    Sim().RequestFaults().Clear();
    EXPECT_TRUE(m_data->EndReading().IsEmpty()) << "the check hears the probe, and the restores follow";
    EXPECT_FALSE(m_data->IsProbeSilent());
    EXPECT_EQ(Probe().Sensors().Mode(kOxygen), probesim::SensorMode::Measuring);
}

// The user asks for the factory calibration after the probe fell silent in the run: the short check
// goes out, and no restore behind it.
TEST_F(VoxCal, OnAProbeThatFellSilentTheRestoreOfTheDefaultsSendsOnlyTheCheck)
{
    Sim().RequestFaults().LoseLine();
    EXPECT_FALSE(m_data->RunCycle());
    Mark();
    EXPECT_EQ(m_data->RestoreCalibrationDefaults(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(FramesSinceMark(), 3u) << "the check: a wake-up and two tries";
    EXPECT_TRUE(m_data->IsProbeSilent());
}

TEST_F(VoxCal, ARefusedSalinityWriteDoesNotStopTheCommit)
{
    RefuseWrites(Register(kOxygen, dos::kCalSalinity100), 2);
    const float salinityBefore = SimFloat(kOxygen, dos::kCalSalinity100);
    ASSERT_EQ(m_oxygenSensor->SetLiveSalinity(12.0f), S_OK);
    m_data->SetPointCount(1);
    Begin();
    Cycles(5);
    m_data->Accept();
    Cycles(1);
    Mark();
    EXPECT_EQ(m_data->CommitCalibration(), S_OK);
    EXPECT_EQ(SimFloat(kOxygen, dos::kCalSalinity100), salinityBefore);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalDo100), 8.0f) << "the points after it are written";
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalTemp100), 20.0f);
    EXPECT_EQ(CommandsSinceMark(kOxygen), std::vector<uint16_t>{0xE001}) << "and taken over";
}

TEST_F(VoxCal, TheSavedLiveInputsComeBackOnceZeroIncluded)
{
    ASSERT_EQ(m_oxygenSensor->SetLiveBaro(900.0f), S_OK);
    ASSERT_EQ(m_oxygenSensor->SetLiveSalinity(35.0f), S_OK);
    m_data->RestoreLiveInputs();
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kLiveBaro), 1013.25f);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), 0.0f) << "a salinity of 0 is a value";
    Mark();
    m_data->RestoreLiveInputs();
    EXPECT_TRUE(WritesSinceMark().empty());
}

TEST_F(VoxCal, ALiveInputThatCouldNotBeReadIsNotWrittenBack)
{
    RefuseReads(Register(kOxygen, dos::kLiveBaro), 2);
    CCalDataVOX data(m_connection);
    ASSERT_EQ(data.StartManual(m_oxygenSensor.get(), nullptr), S_OK);
    Mark();
    data.RestoreLiveInputs();
    EXPECT_FALSE(WroteInto(kOxygen, dos::kLiveBaro, dos::kLiveBaro + 1));
    EXPECT_TRUE(WroteInto(kOxygen, dos::kLiveSalinity, dos::kLiveSalinity + 1));
}

TEST_F(VoxCal, TheMultiSensorProbeRestoresItsDefaultsByTheDevicesCommand)
{
    m_data->SetRestoreDefaults(1);
    EXPECT_EQ(m_data->PrepareStabilization(), E_FAIL);
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL);
    Mark();
    EXPECT_EQ(m_data->RestoreCalibrationDefaults(), S_OK);
    EXPECT_EQ(CommandsSinceMark(kOxygen), std::vector<uint16_t>{0xE003});
}

// Each tolerance of the stability rules, a change just inside and just outside it, at the point it
// belongs to, the other quantity held still.
struct Tolerance
{
    const char* name;
    float target;  // % saturation of the point
    bool oxygen;   // the quantity that moves; else the temperature
    float base;    // the moving quantity's value
    float change;  // between neighbouring records
    int32_t level; // after 13 records
};

class VoxTolerance : public CalibrationTest, public ::testing::WithParamInterface<Tolerance>
{
};

TEST_P(VoxTolerance, TheLevelAfterThirteenRecords)
{
    const Tolerance& t = GetParam();
    StartDialledProbe();
    probesim::ValueDial& moving = t.oxygen ? m_oxygen : m_temperature;
    m_oxygen.Set(t.target == 100.0f ? 8.0f : 0.2f);
    m_temperature.Set(20.0f);
    CCalDataVOX data(m_connection);
    data.SetRunCacheTimeout(1);
    data.SetPointCount(1);
    data.SetPointTargets(t.target, 100.0f - t.target);
    ASSERT_EQ(data.StartManual(m_oxygenSensor.get(), nullptr), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    for (int n = 1; n <= 13; ++n)
    {
        moving.Set(n % 2 == 0 ? t.base + t.change : t.base);
        ASSERT_TRUE(data.RunCycle());
    }
    EXPECT_EQ(data.GetStability(), t.level);
    data.RunEndStep();
}

constexpr Tolerance kTolerances[] = {
    {"OxygenAt100InsideFull", 100.0f, true, 8.0f, 0.099f, CAL_STABILITY_FULL},
    {"OxygenAt100OutsideFull", 100.0f, true, 8.0f, 0.101f, CAL_STABILITY_NOMINAL},
    {"OxygenAt100InsideNominal", 100.0f, true, 8.0f, 0.199f, CAL_STABILITY_NOMINAL},
    {"OxygenAt100OutsideNominal", 100.0f, true, 8.0f, 0.201f, CAL_STABILITY_NONE},
    {"TemperatureAt100InsideFull", 100.0f, false, 20.0f, 0.249f, CAL_STABILITY_FULL},
    {"TemperatureAt100OutsideFull", 100.0f, false, 20.0f, 0.251f, CAL_STABILITY_NOMINAL},
    {"TemperatureAt100InsideNominal", 100.0f, false, 20.0f, 0.499f, CAL_STABILITY_NOMINAL},
    {"TemperatureAt100OutsideNominal", 100.0f, false, 20.0f, 0.501f, CAL_STABILITY_NONE},
    {"OxygenAt0InsideFull", 0.0f, true, 0.2f, 0.019f, CAL_STABILITY_FULL},
    {"OxygenAt0OutsideFull", 0.0f, true, 0.2f, 0.021f, CAL_STABILITY_NOMINAL},
    {"OxygenAt0InsideNominal", 0.0f, true, 0.2f, 0.039f, CAL_STABILITY_NOMINAL},
    {"OxygenAt0OutsideNominal", 0.0f, true, 0.2f, 0.041f, CAL_STABILITY_NONE},
    {"TemperatureAt0InsideFull", 0.0f, false, 20.0f, 0.249f, CAL_STABILITY_FULL},
    {"TemperatureAt0OutsideNominal", 0.0f, false, 20.0f, 0.501f, CAL_STABILITY_NONE},
    // Changes exactly equal to a tolerance in single precision (from 0, or by a power of two): "less
    // than" the tolerance, so equal resets the run.
    {"OxygenAt100AtTheFullBound", 100.0f, true, 0.0f, 0.1f, CAL_STABILITY_NOMINAL},
    {"OxygenAt100AtTheNominalBound", 100.0f, true, 0.0f, 0.2f, CAL_STABILITY_NONE},
    {"TemperatureAt100AtTheFullBound", 100.0f, false, 20.0f, 0.25f, CAL_STABILITY_NOMINAL},
    {"TemperatureAt100AtTheNominalBound", 100.0f, false, 20.0f, 0.5f, CAL_STABILITY_NONE},
    {"OxygenAt0AtTheFullBound", 0.0f, true, 0.0f, 0.02f, CAL_STABILITY_NOMINAL},
    {"OxygenAt0AtTheNominalBound", 0.0f, true, 0.0f, 0.04f, CAL_STABILITY_NONE},
    {"TemperatureAt0AtTheFullBound", 0.0f, false, 20.0f, 0.25f, CAL_STABILITY_NOMINAL},
    {"TemperatureAt0AtTheNominalBound", 0.0f, false, 20.0f, 0.5f, CAL_STABILITY_NONE},
};

INSTANTIATE_TEST_SUITE_P(EveryBound, VoxTolerance, ::testing::ValuesIn(kTolerances),
                         [](const ::testing::TestParamInfo<Tolerance>& param)
                         { return std::string(param.param.name); });

class VoxDefaults : public CalibrationTest
{
};

TEST_F(VoxDefaults, TheSingleSensorProbeIsRestoredStepByStep)
{
    StartPresetProbe(12);
    SetSimFloat(kOxygen, dos::kCalDo100, 7.0f);
    CCalDataVOX data(m_connection);
    ASSERT_EQ(data.StartManual(Device().GetVoxProSensor(), nullptr), S_OK);
    Mark();
    EXPECT_EQ(data.RestoreCalibrationDefaults(), S_OK);
    EXPECT_EQ(CommandsSinceMark(kOxygen), (std::vector<uint16_t>{0xE000, 0xE001, 0xE002}));
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalDo100), 8.0f);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalBaro100), 1013.25f);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalSlope), 1.0f);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalOffset), 0.0f);
}

TEST_F(VoxDefaults, AnotherDeviceTypeIsRefusedWithCalibrationModeOff)
{
    StartPresetProbe(20);
    CCalDataVOX data(m_connection);
    ASSERT_EQ(data.StartManual(Device().GetVoxProSensor(), nullptr), S_OK);
    Mark();
    EXPECT_EQ(data.RestoreCalibrationDefaults(), E_FAIL);
    EXPECT_EQ(CommandsSinceMark(kOxygen), std::vector<uint16_t>{0xE002});
}

} // namespace
} // namespace caltest
