// A point's own reading that holds no measurement while the sensor calibrates (the sensor reports
// its sentinel with the quality "Sensor Calibrating"): the stabilization page shows the status in
// the reading's field, takes no sample and offers no Accept, and nothing reaches the sensor.
#include "calibration/data/CalDataConductivity.h"
#include "calibration/data/CalDataPHORP.h"
#include "calibration/data/CalDataVOX.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/SensorCommands.h"

namespace wiztest
{
namespace
{

const QString kCalibrating = QStringLiteral("6 - Sensor Calibrating");
constexpr int kCyclesWatched = 8;

struct SentinelCase
{
    const char* name;
    uint16_t connection;
    uint16_t parameter; // the point's own reading
    // From the wizard's first page to its stabilization page.
    void (*toStabilization)(CDlgWizFrame_Cal&);
    CDlgWizPage_CalStabilize& (*page)(CDlgWizFrame_Cal&);
    // The cycles the worker has read, and the samples of the current point.
    int (*cycles)(CCalData&);
    int (*samples)(CCalData&);
};

void PrintTo(const SentinelCase& c, std::ostream* out)
{
    *out << c.name;
}

CDlgWizFrame_CalPHORP& PHORP(CDlgWizFrame_Cal& frame)
{
    return dynamic_cast<CDlgWizFrame_CalPHORP&>(frame);
}

CDlgWizFrame_CalVOX& VOX(CDlgWizFrame_Cal& frame)
{
    return dynamic_cast<CDlgWizFrame_CalVOX&>(frame);
}

const SentinelCase kCases[] = {
    {"OpticalDO", kOxygen, probesim::dosensor::kConcentration,
     [](CDlgWizFrame_Cal& frame)
     {
         ClickNext(frame);
         ClickNext(frame);
         ClickNext(frame);
     },
     [](CDlgWizFrame_Cal& frame) -> CDlgWizPage_CalStabilize& { return VOX(frame).CalibratePage(); },
     [](CCalData& data) { return dynamic_cast<CCalDataVOX&>(data).LiveReadings().GetCount(); },
     [](CCalData& data) { return dynamic_cast<CCalDataVOX&>(data).PointSamples(0).GetCount(); }},
    {"Conductivity", kConductivity, 1, [](CDlgWizFrame_Cal& frame) { ClickNext(frame); },
     [](CDlgWizFrame_Cal& frame) -> CDlgWizPage_CalStabilize&
     { return dynamic_cast<CDlgWizFrame_CalConductivity&>(frame).Step2(); },
     [](CCalData& data) { return dynamic_cast<CCalDataConductivity&>(data).LiveReadings().GetCount(); },
     [](CCalData& data)
     { return dynamic_cast<CCalDataConductivity&>(data).CalibrationSamples().GetCount(); }},
    {"PH", kPhOrp, probesim::phsensor::kPhMillivolts,
     [](CDlgWizFrame_Cal& frame)
     {
         Click(PHORP(frame).SelectPage().PHOption());
         ClickNext(frame);
         ClickNext(frame);
     },
     [](CDlgWizFrame_Cal& frame) -> CDlgWizPage_CalStabilize& { return PHORP(frame).PHStep2(); },
     [](CCalData& data) { return dynamic_cast<CCalDataPHORP&>(data).PHmVLiveReadings().GetCount(); },
     [](CCalData& data) { return dynamic_cast<CCalDataPHORP&>(data).PointSamples(0).GetCount(); }},
    {"ORP", kPhOrp, probesim::phsensor::kOrp,
     [](CDlgWizFrame_Cal& frame)
     {
         Click(PHORP(frame).SelectPage().ORPOption());
         ClickNext(frame);
         ClickNext(frame);
     },
     [](CDlgWizFrame_Cal& frame) -> CDlgWizPage_CalStabilize& { return PHORP(frame).ORPStep2(); },
     [](CCalData& data) { return dynamic_cast<CCalDataPHORP&>(data).ORPLiveReadings().GetCount(); },
     [](CCalData& data) { return dynamic_cast<CCalDataPHORP&>(data).ORPSamples().GetCount(); }},
};

class SentinelReading : public WizardTest, public ::testing::WithParamInterface<SentinelCase>
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        StartConnected();
        const SentinelCase& c = GetParam();
        Probe().Sensors().ForceQuality(c.connection, c.parameter, probesim::kQualityCalibrating,
                                       probesim::SensorBank::ForcedValue::Sentinel);
    }

    void TearDown() override
    {
        const SentinelCase& c = GetParam();
        Probe().Sensors().ForceQuality(c.connection, c.parameter, std::nullopt);
    }
};

TEST_P(SentinelReading, IsNoSampleAndTheStabilizationPageShowsTheStatusWithoutAccept)
{
    const SentinelCase& c = GetParam();
    Calibrate(
        c.connection,
        [&](CDlgWizFrame_Cal& frame)
        {
            c.toStabilization(frame);
            CDlgWizPage_CalStabilize& page = c.page(frame);
            ASSERT_EQ(frame.GetCurrentPage(), &page);
            CCalData& data = *frame.m_pCalData;
            ASSERT_TRUE(testsupport::WaitUntil([&] { return data.GetState() == CAL_STATE_RUN; }));
            const int from = c.cycles(data);
            // Well past the five samples that would offer Accept for a reading that never moves.
            ASSERT_TRUE(testsupport::WaitUntil([&] { return c.cycles(data) >= from + kCyclesWatched; }));
            ASSERT_TRUE(testsupport::WaitUntil([&] { return page.ReadingField().text() == kCalibrating; }));
            EXPECT_FALSE(frame.GetFinishButton().isEnabled());
            EXPECT_EQ(c.samples(data), 0);
            Picture(frame, std::string("SentinelReading_") + c.name);
            ClickCancel(frame);
        });
    EXPECT_FALSE(ReceivedSensorCommand(c.connection, probesim::kSensorUpdateCalibration))
        << "nothing written";
    EXPECT_FALSE(InCalibrationMode(c.connection));
}

INSTANTIATE_TEST_SUITE_P(EachReading, SentinelReading, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SentinelCase>& param)
                         { return std::string(param.param.name); });

} // namespace
} // namespace wiztest
