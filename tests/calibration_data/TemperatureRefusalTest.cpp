// A calibration sample is taken only with a temperature that holds a measurement: one the sensor
// reports as an error (its sentinel as the value), or that is the temperature's sentinel while its
// quality would pass (a sensor warming up), never becomes a point's temperature. The sampling goes
// on, the data object says why for the page, and what the sensor receives comes from the samples
// with a measured temperature only.
#include <gtest/gtest.h>

#include "calibration/data/CalDataConductivity.h"
#include "calibration/data/CalDataPHORP.h"
#include "calibration/data/CalDataVOX.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace caltest
{
namespace
{

namespace dos = probesim::dosensor;
namespace ph = probesim::phsensor;
using windowmsg::WM_CAL_ACCEPTED;
using windowmsg::WM_CAL_SAMPLES_READY;
using windowmsg::WM_NEW_DATA;
using Forced = probesim::SensorBank::ForcedValue;

// Every sensor of the dialled probe reports its temperature as parameter 2.
constexpr uint16_t kTemperatureParameter = 2;

class TemperatureRefusal : public CalibrationTest
{
protected:
    void SetUp() override { StartDialledProbe(DeviceType()); }
    virtual uint16_t DeviceType() const { return probesim::kMultiSensorProbeType; }

    // The temperature of the sensor on the connection reports the quality (the sentinel as its value
    // with Forced::Sentinel); nullopt gives it back.
    void ForceTemperature(uint16_t connection, std::optional<uint16_t> quality,
                          Forced value = Forced::Sentinel)
    {
        Probe().Sensors().ForceQuality(connection, kTemperatureParameter, quality, value);
    }

    template <class Data>
    static void Cycles(Data& data, int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(data.RunCycle()) << "a refused temperature does not end the run";
    }

    static std::string Refusal(CCalData& data)
    {
        CWideString status;
        return data.GetTemperatureRefusal(status) ? "refused: " + Utf8(status) : "measured";
    }
};

TEST_F(TemperatureRefusal, AnOxygenPointWithoutAMeasuredTemperatureIsNeverWritten)
{
    CCalDataVOX data(m_connection);
    data.SetRunCacheTimeout(1);
    data.SetPointCount(1);
    data.SetPointTargets(100.0f, 0.0f);
    ASSERT_EQ(data.StartManual(m_oxygenSensor.get(), &m_window), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    ForceTemperature(kOxygen, probesim::kQualityError);
    Cycles(data, 1);
    EXPECT_EQ(Refusal(data), "refused: 3 - Error") << "before sampling too: the setup page shows it";

    ASSERT_EQ(data.BeginCalibration(), S_OK);
    m_window.Take();
    Cycles(data, 6);
    EXPECT_EQ(data.PointSamples(0).GetCount(), 0);
    EXPECT_EQ(m_window.Take(), std::vector<uint32_t>(6, WM_NEW_DATA)) << "no point ready without samples";
    data.Accept();
    Cycles(data, 1);
    EXPECT_EQ(m_window.TakeFirst(), WM_CAL_ACCEPTED);
    Mark();
    EXPECT_EQ(data.CommitCalibration(), E_FAIL);
    EXPECT_FALSE(WroteInto(kOxygen, dos::kCalDo100, dos::kCalOffset + 1));
    EXPECT_TRUE(CommandsSinceMark(kOxygen).empty()) << "no update of the calibration";
    data.RunEndStep();
}

TEST_F(TemperatureRefusal, AnOxygenPointAveragesTheSamplesWithAMeasuredTemperatureOnly)
{
    CCalDataVOX data(m_connection);
    data.SetRunCacheTimeout(1);
    data.SetPointCount(1);
    data.SetPointTargets(100.0f, 0.0f);
    ASSERT_EQ(data.StartManual(m_oxygenSensor.get(), &m_window), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    Cycles(data, 3);
    ForceTemperature(kOxygen, probesim::kQualityError);
    m_window.Take();
    Cycles(data, 2);
    EXPECT_EQ(data.PointSamples(0).GetCount(), 3);
    EXPECT_EQ(m_window.Take(), std::vector<uint32_t>(2, WM_NEW_DATA));
    EXPECT_EQ(Refusal(data), "refused: 3 - Error");
    ForceTemperature(kOxygen, std::nullopt);
    Cycles(data, 2);
    EXPECT_EQ(Refusal(data), "measured");
    EXPECT_EQ(m_window.Take(), (std::vector<uint32_t>{WM_NEW_DATA, WM_CAL_SAMPLES_READY, WM_NEW_DATA}))
        << "the fifth sample taken";
    data.Accept();
    Cycles(data, 1);
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalTemp100), 20.0f);
    EXPECT_FLOAT_EQ(SimFloat(kOxygen, dos::kCalDo100), 8.0f);
    data.RunEndStep();
}

class TemperatureRefusalOnTheSingleSensorProbe : public TemperatureRefusal
{
protected:
    uint16_t DeviceType() const override { return 12; }
};

TEST_F(TemperatureRefusalOnTheSingleSensorProbe, ItsOwnTemperatureSentinelCounts)
{
    CCalDataVOX data(m_connection);
    data.SetRunCacheTimeout(1);
    ASSERT_EQ(data.StartManual(Device().GetVoxProSensor(), &m_window), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    Cycles(data, 1);
    EXPECT_EQ(Refusal(data), "measured");
    ForceTemperature(kOxygen, probesim::kQualityWarmUp);
    Cycles(data, 1);
    EXPECT_EQ(Refusal(data).rfind("refused: 4 - ", 0), 0u) << Refusal(data);
    data.RunEndStep();
}

TEST_F(TemperatureRefusal, TheCellConstantComesFromTheWaterNotFromTheSentinelTheUserSet)
{
    // A plausible sentinel: 15 C in water at 20 C would make the constant 0.879 instead of 0.983.
    ASSERT_EQ(Device().SetParameterSentinel(kConductivity, kTemperatureParameter, 15.0f), S_OK);
    CCalDataConductivity data(m_connection);
    data.SetRunCacheTimeout(1);
    data.SetCalMethod(CCalDataConductivity::kCellConstantMethod);
    data.SetStandard(CAL_SOLUTION_COND_1413, CWideString(u"1413 µS/cm @25° C"));
    ASSERT_EQ(data.StartManual(m_conductivitySensor.get(), &m_window), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    ASSERT_EQ(data.PrepareStabilization(), S_OK);
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    Cycles(data, 5);
    ForceTemperature(kConductivity, probesim::kQualityError);
    Cycles(data, 3);
    EXPECT_EQ(Refusal(data), "refused: 3 - Error");
    EXPECT_EQ(data.CalibrationSamples().GetCount(), 5);

    // The water at exactly the sentinel: calibrating is a usable quality, but the value is the one
    // the sensor gives for no temperature.
    ForceTemperature(kConductivity, std::nullopt);
    m_temperature.Set(15.0f);
    Cycles(data, 1);
    EXPECT_EQ(Refusal(data), "refused: 6 - Sensor Calibrating");
    EXPECT_EQ(data.CalibrationSamples().GetCount(), 5);
    m_temperature.Set(20.0f);

    data.Accept();
    Cycles(data, 1);
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_NEAR(SimFloat(kConductivity, probesim::kProbeConductivity.cellConstant), 0.98312f, 1e-5f);
    data.RunEndStep();
}

TEST_F(TemperatureRefusal, APhPointTakesNoTemperatureItsCompanionGivesWhileWarmingUp)
{
    // The pH sensor has no temperature of its own: it is the level sensor's, whose sentinel counts.
    m_temperature.Set(25.0f);
    CCalDataPHORP data(m_connection);
    data.SetRunCacheTimeout(1);
    data.SetMode(PHORP_MODE_PH);
    data.SetPointCount(1);
    data.SetPointSolution(0, CAL_SOLUTION_PH7);
    data.SetPointValueTexts(CWideString(u"pH 7"), CWideString(), CWideString());
    ASSERT_EQ(data.StartManual(m_phOrpSensor.get(), &m_window), S_OK);
    ASSERT_TRUE(data.RunStartSteps());
    ASSERT_EQ(data.PrepareStabilization(), S_OK);
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    Cycles(data, 3);
    ForceTemperature(kLevel, probesim::kQualityWarmUp);
    Cycles(data, 4);
    EXPECT_EQ(Refusal(data).rfind("refused: 4 - ", 0), 0u) << Refusal(data);
    EXPECT_EQ(data.PointSamples(0).GetCount(), 3);
    EXPECT_EQ(data.ORPSamples().GetCount(), 3);
    ForceTemperature(kLevel, std::nullopt);
    Cycles(data, 2);
    data.Accept();
    Cycles(data, 1);
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_FLOAT_EQ(SimFloat(kPhOrp, ph::PointValue(1, 2)), 25.0f);
    EXPECT_FLOAT_EQ(SimFloat(kPhOrp, ph::SegmentSlope(1)), CCalDataPHORP::kNernstSlope) << "at 25 C";
    EXPECT_FLOAT_EQ(SimFloat(kPhOrp, ph::SegmentOffset(1)), 7.0f);
    data.RunEndStep();
}

} // namespace
} // namespace caltest
