// A temperature that holds no measurement, as the wizard shows it: the sensor's status in the
// temperature field of the first page and of the stabilization page, and no Accept while it lasts,
// even for a point that was already stable; the calibration then goes on with measured temperatures.
#include <QTest>

#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace wiztest
{
namespace
{

// Every sensor of the dialled probe reports its temperature as parameter 2.
constexpr uint16_t kTemperatureParameter = 2;
const QString kError = QStringLiteral("3 - Error");

class TemperatureStatus : public WizardTest
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.actualConductivity.Set(1413.0f / 1.25f);
        StartConnected();
    }

    void TearDown() override
    {
        for (const uint16_t connection : {kConductivity, kLevel})
            Probe().Sensors().ForceQuality(connection, kTemperatureParameter, std::nullopt);
    }

    // The temperature of the sensor on the connection reports an error with its sentinel, or its
    // measurement again.
    void TemperatureError(uint16_t connection, bool error)
    {
        Probe().Sensors().ForceQuality(connection, kTemperatureParameter,
                                       error ? std::optional(probesim::kQualityError) : std::nullopt,
                                       probesim::SensorBank::ForcedValue::Sentinel);
    }
};

TEST_F(TemperatureStatus, AStablePointLosesItsAcceptWhileTheTemperatureReportsAnError)
{
    TemperatureError(kConductivity, true);
    Calibrate(kConductivity,
              [&](CDlgWizFrame_Cal& frame)
              {
                  auto& wizard = dynamic_cast<CDlgWizFrame_CalConductivity&>(frame);
                  CDlgWizPage_CalCondStep1& method = wizard.Step1();
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return method.Temperature().text() == kError; }));
                  TemperatureError(kConductivity, false);
                  ASSERT_TRUE(
                      testsupport::WaitUntil([&] { return method.Temperature().text() == "25.0000"; }));
                  ClickNext(frame);

                  CDlgWizPage_CalCondStep2& stabilize = wizard.Step2();
                  ASSERT_TRUE(WaitForAccept(frame));
                  TemperatureError(kConductivity, true);
                  ASSERT_TRUE(testsupport::WaitUntil(
                      [&] {
                          return stabilize.TemperatureField().text() == kError &&
                                 !frame.GetFinishButton().isEnabled();
                      }));
                  Picture(frame, "Conductivity_2_Stabilization_TemperatureError");
                  TemperatureError(kConductivity, false);
                  ASSERT_TRUE(WaitForAccept(frame)) << "offered again with the next sample taken";
                  EXPECT_NE(stabilize.TemperatureField().text(), kError);
                  ClickFinish(frame);
                  ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
                  ClickFinish(frame);
              });
    EXPECT_NEAR(SimFloat(kConductivity, probesim::kProbeConductivity.cellConstant), 1.25f, 1e-4f);
}

TEST_F(TemperatureStatus, APhPointIsNotOfferedUntilItsCompanionsTemperatureMeasures)
{
    // The pH sensor takes its temperature from the level sensor.
    TemperatureError(kLevel, true);
    Calibrate(
        kPhOrp,
        [&](CDlgWizFrame_Cal& frame)
        {
            auto& wizard = dynamic_cast<CDlgWizFrame_CalPHORP&>(frame);
            Click(wizard.SelectPage().PHOption());
            ClickNext(frame);
            CDlgWizPage_CalPHStep1& buffers = wizard.PHStep1();
            ASSERT_TRUE(testsupport::WaitUntil([&] { return buffers.Temperature().text() == kError; }));
            ClickNext(frame);

            CDlgWizPage_CalPHStep2& stabilize = wizard.PHStep2();
            ASSERT_EQ(frame.GetCurrentPage(), &stabilize);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return stabilize.TemperatureField().text() == kError; }))
                << "shown before the point has a sample";
            EXPECT_FALSE(frame.GetFinishButton().isEnabled());
            EXPECT_TRUE(stabilize.ReadingField().text().isEmpty()) << "no sample taken";
            Picture(frame, "PHORP_6_PHStabilization_TemperatureError");
            TemperatureError(kLevel, false);
            ASSERT_TRUE(WaitForAccept(frame));
            ClickFinish(frame);
            ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
            ClickFinish(frame);
        });
    EXPECT_FLOAT_EQ(SimFloat(kPhOrp, probesim::phsensor::PointValue(1, 2)), 25.0f);
}

} // namespace
} // namespace wiztest
