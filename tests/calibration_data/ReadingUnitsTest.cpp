// Readings in whatever unit the sensor is set to: converted into the unit the arithmetic is
// written in where a conversion exists (millivolts given in V or µV), and a point refused with its
// reason where none does (oxygen in ppm, which has no conversion to mg/L), with nothing written.
#include <gtest/gtest.h>

#include "calibration/data/CalDataPHORP.h"
#include "calibration/data/CalDataVOX.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/SensorUnits.h"

namespace caltest
{
namespace
{

namespace dos = probesim::dosensor;
namespace ph = probesim::phsensor;
using windowmsg::WM_CAL_ACCEPTED;
using windowmsg::WM_READ_ERROR;

class ReadingUnits : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_temperature.Set(25.0f);
    }

    template <class TData, class TSensor>
    void Start(TData& data, TSensor* sensor)
    {
        data.SetRunCacheTimeout(1);
        ASSERT_EQ(data.StartManual(sensor, &m_window), S_OK);
        ASSERT_TRUE(data.RunStartSteps());
    }

    void Cycles(CCalData& data, int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(data.RunCycle());
    }
};

TEST_F(ReadingUnits, PhMillivoltsInVoltsAreCalibratedAsMillivolts)
{
    ASSERT_EQ(Device().SetParameterUnitId(kPhOrp, ph::kPhMillivolts, probesim::unit::kVolt), S_OK);
    m_pHMillivolts.Set(-30.0f); // the sensor reports -0.03 V
    CCalDataPHORP data(m_connection);
    data.SetMode(PHORP_MODE_PH);
    data.SetPointCount(1);
    data.SetPointSolution(0, CAL_SOLUTION_PH7);
    Start(data, m_phOrpSensor.get());
    ASSERT_EQ(data.PrepareStabilization(), S_OK);
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    Cycles(data, 5);
    float shown = 0.0f;
    USHORT unit = 0;
    ASSERT_GE(data.PHmVLiveReadings().GetLast(kCalValue2, &shown, nullptr, &unit), 0);
    EXPECT_NEAR(shown, -30.0f, 1e-4f);
    EXPECT_EQ(unit, kUnitMilliVolt);
    data.Accept();
    Cycles(data, 1);
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_NEAR(SimFloat(kPhOrp, ph::PointValue(1, 1)), -30.0f, 1e-4f) << "the response in mV";
    EXPECT_NEAR(SimFloat(kPhOrp, ph::SegmentOffset(1)), 7.0f + 30.0f * CCalDataPHORP::kNernstSlope, 1e-5f);
}

TEST_F(ReadingUnits, OrpInMicrovoltsIsCalibratedAsMillivolts)
{
    ASSERT_EQ(Device().SetParameterUnitId(kPhOrp, ph::kOrp, probesim::unit::kMicroVolt), S_OK);
    m_orp.Set(220.0f); // 220000 µV
    CCalDataPHORP data(m_connection);
    data.SetMode(PHORP_MODE_ORP);
    data.SetPointCount(1);
    data.SetPointSolution(0, CAL_SOLUTION_ZOBELL);
    Start(data, m_phOrpSensor.get());
    ASSERT_EQ(data.PrepareStabilization(), S_OK);
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    Cycles(data, 5);
    data.Accept();
    Cycles(data, 1);
    ASSERT_EQ(data.CommitCalibration(), S_OK);
    EXPECT_NEAR(SimFloat(kPhOrp, ph::kOrpResponse), 220.0f, 1e-3f);
    EXPECT_NEAR(SimFloat(kPhOrp, ph::kOrpOffset), 229.11f - 220.0f, 1e-3f);
}

TEST_F(ReadingUnits, OxygenInPpmIsRefusedWithItsReasonAndNothingIsWritten)
{
    ASSERT_EQ(Device().SetParameterUnitId(kOxygen, dos::kConcentration, probesim::unit::kPpm), S_OK);
    CCalDataVOX data(m_connection);
    data.SetPointCount(1);
    data.SetPointTargets(100.0f, 0.0f);
    Start(data, m_oxygenSensor.get());
    Cycles(data, 1);
    float shown = 0.0f;
    USHORT unit = 0;
    ASSERT_GE(data.LiveReadings().GetLast(kCalValue2, &shown, nullptr, &unit), 0);
    EXPECT_EQ(unit, probesim::unit::kPpm) << "shown as the sensor gave it, not as 0 mg/L";
    EXPECT_TRUE(data.GetRefusalText().IsEmpty()) << "nothing is sampled yet";

    ASSERT_EQ(data.PrepareStabilization(), S_OK);
    ASSERT_EQ(data.BeginCalibration(), S_OK);
    m_window.Take();
    EXPECT_FALSE(data.RunCycle());
    EXPECT_EQ(m_window.Take(), std::vector<uint32_t>{WM_READ_ERROR});
    EXPECT_EQ(data.PointSamples(0).GetCount(), 0);
    EXPECT_EQ(Utf8(data.GetRefusalText()),
              "The sensor reports dissolved oxygen in ppm, which cannot be converted to mg/L for the "
              "calibration.\nThe calibration was stopped; nothing was written to the sensor.");
    data.RunEndStep();
    EXPECT_EQ(Probe().Sensors().Mode(kOxygen), probesim::SensorMode::Measuring);

    Mark();
    EXPECT_EQ(data.CommitCalibration(), E_FAIL) << "a point without a sample";
    EXPECT_FALSE(WroteInto(kOxygen, dos::kCalDo100, dos::kCalOffset + 1));
    EXPECT_TRUE(CommandsSinceMark(kOxygen).empty());
}

} // namespace
} // namespace caltest
