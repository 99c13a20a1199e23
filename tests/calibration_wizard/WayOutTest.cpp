// Every way out of a wizard leaves the probe as the user had it: the optical DO sensor's own live
// salinity after a factory restore finished from the first page, everything back after a brief
// line loss once the line returns, and a point refused with its reason when the sensor reports in a
// unit the calibration cannot convert.
#include <functional>
#include <optional>

#include <QTest>

#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "connection/ProbeConnection.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/SensorCommands.h"
#include "tools/probe-sim/SensorUnits.h"

namespace wiztest
{
namespace
{

namespace dos = probesim::dosensor;
constexpr float kLiveBaro = 1005.0f;
constexpr float kLiveSalinity = 2.0f;
const QString kReadError = QStringLiteral("Error occurred.\nTerminating calibration.");

class WayOut : public WizardTest
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.oxygen.Set(8.26f);
        StartConnected();
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveBaro), kLiveBaro);
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveSalinity), kLiveSalinity);
        m_cacheTimeout = Probe().MeasurementCacheTimeout();
    }

    void TearDown() override { Sim().RequestFaults().Clear(); }

    static CDlgWizFrame_CalVOX& Wizard(CDlgWizFrame_Cal& frame)
    {
        return dynamic_cast<CDlgWizFrame_CalVOX&>(frame);
    }

    // Setup, salinity 35 and pressure 1000 written, the first prompt answered.
    static void ToStabilization(CDlgWizFrame_Cal& frame)
    {
        ClickNext(frame);
        TypeInto(Wizard(frame).SalinityPage().SalinityEdit(), QStringLiteral("35"));
        ClickNext(frame);
        TypeInto(Wizard(frame).BaroPage().PressureEdit(), QStringLiteral("1000"));
        ClickNext(frame);
    }

    // The oxygen wizard taken to its stabilization page, where the line is lost (right after
    // `beforeLoss`); returns once the wizard has closed. `wizard` is the frame while it runs.
    void CalibrateAndLoseTheLine(CDlgWizFrame_Cal*& wizard, const std::function<void()>& beforeLoss = nullptr)
    {
        Calibrate(kOxygen,
                  [&](CDlgWizFrame_Cal& frame)
                  {
                      wizard = &frame;
                      ToStabilization(frame);
                      ASSERT_TRUE(InCalibrationMode(kOxygen));
                      if (beforeLoss)
                          beforeLoss();
                      Sim().RequestFaults().LoseLine();
                      ASSERT_TRUE(testsupport::WaitUntil([&] { return !frame.isVisible(); }, 20s));
                  });
    }

    void ExpectProbeAsBefore()
    {
        EXPECT_FALSE(InCalibrationMode(kOxygen));
        EXPECT_EQ(Probe().MeasurementCacheTimeout(), m_cacheTimeout);
        EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), kLiveSalinity);
        EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), kLiveBaro);
    }

    uint16_t m_cacheTimeout = 0;
};

TEST_F(WayOut, AFactoryRestoreAfterTheSalinityPageGivesTheSensorItsOwnSalinityBack)
{
    const sCalibrateResult result =
        Calibrate(kOxygen,
                  [&](CDlgWizFrame_Cal& frame)
                  {
                      CDlgWizFrame_CalVOX& wizard = Wizard(frame);
                      ClickNext(frame);
                      TypeInto(wizard.SalinityPage().SalinityEdit(), QStringLiteral("35"));
                      ClickNext(frame);
                      ASSERT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), 35.0f);
                      Click(frame.GetBackButton());
                      Click(frame.GetBackButton());
                      ASSERT_EQ(frame.GetCurrentPage(), &wizard.SetupPage());
                      EXPECT_FALSE(frame.GetNextButton().isEnabled())
                          << "Next comes with the worker's next readings";
                      EXPECT_TRUE(testsupport::WaitUntil([&] { return frame.GetNextButton().isEnabled(); }));
                      Click(wizard.SetupPage().RestoreBox());
                      m_dialogs.QueueAnswer(platform::IDYES);
                      ClickFinish(frame);
                      EXPECT_FALSE(frame.isVisible()) << "ended through OK";
                  });
    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(ReceivedSensorCommand(kOxygen, probesim::kSensorRestoreCalDefaults));
    ExpectProbeAsBefore();
    EXPECT_EQ(BoxTexts().size(), 1u) << "the question only";
}

TEST_F(WayOut, ABriefLineLossDuringTheRunIsMendedOnceTheLineIsBack)
{
    CDlgWizFrame_Cal* wizard = nullptr;
    m_dialogs.onMessageBox = [&](const QString& text)
    {
        // The line comes back while the user reads the error, after the worker's end step failed.
        if (text != kReadError)
            return;
        EXPECT_TRUE(testsupport::WaitUntil([&] { return wizard->m_pCalData->HasWorkerEnded(); }, 20s));
        EXPECT_TRUE(InCalibrationMode(kOxygen));
        Sim().RequestFaults().RestoreLine();
    };
    CalibrateAndLoseTheLine(wizard);
    ExpectProbeAsBefore();
    EXPECT_EQ(BoxTexts(),
              (std::vector<QString>{QStringLiteral("Place sensor into 100% sat solution."), kReadError}))
        << "nothing is left to be told";
}

TEST_F(WayOut, ALineLostForGoodClosesTheWizardUnderTheWaitCursorAndTellsWhatTheProbeKept)
{
    CDlgWizFrame_Cal* wizard = nullptr;
    // The first wait after the loss is the page's look at why the worker ended: the wizard takes
    // neither Esc nor its close box meanwhile.
    std::optional<testsupport::WaitWatch> watch;
    CalibrateAndLoseTheLine(wizard,
                            [&]
                            {
                                watch.emplace(
                                    [&]
                                    {
                                        EXPECT_TRUE(wizard->isVisible());
                                        QTest::keyClick(wizard, Qt::Key_Escape);
                                        testsupport::ClickCloseBox(*wizard);
                                    });
                            });
    ASSERT_TRUE(watch.has_value());
    // Why the worker ended, the live inputs written back and the end of the run before the window
    // goes; the live pressure is not read from a probe the run found silent.
    EXPECT_EQ(watch->Count(), 3);
    EXPECT_EQ(watch->Nested(), 0);
    EXPECT_TRUE(watch->AllUnderWaitCursor());
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1], kReadError);
    EXPECT_TRUE(texts[2].startsWith("The probe did not get back everything the calibration changed."))
        << texts[2].toStdString();
    for (const auto& box : m_dialogs.MessageBoxes())
        EXPECT_FALSE(box.underWaitCursor) << box.text.toStdString();
    Sim().RequestFaults().RestoreLine();
}

TEST_F(WayOut, AnOxygenReadingInPpmIsRefusedWithItsReasonAndNothingIsCalibrated)
{
    {
        const testsupport::ProbeWorkOfTheTest setUp;
        ASSERT_EQ(theProbeConnection.GetDevice()->SetParameterUnitId(kOxygen, dos::kConcentration,
                                                                     probesim::unit::kPpm),
                  S_OK);
    }
    const float calibrated = SimFloat(kOxygen, dos::kCalDo100);
    Calibrate(kOxygen,
              [&](CDlgWizFrame_Cal& frame)
              {
                  ASSERT_TRUE(testsupport::WaitUntil(
                      [&] { return !Wizard(frame).SetupPage().Temperature().text().isEmpty(); }));
                  EXPECT_TRUE(Wizard(frame).SetupPage().Oxygen().text().isEmpty()) << "no mg/L to show";
                  Picture(frame, "VOX_1_SetupInPpm");
                  ToStabilization(frame);
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return !frame.isVisible(); }));
              });
    const std::vector<QString> boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1],
              QStringLiteral("The sensor reports dissolved oxygen in ppm, which cannot be converted "
                             "to mg/L for the calibration.\nThe calibration was stopped; nothing was "
                             "written to the sensor."));
    EXPECT_EQ(SimFloat(kOxygen, dos::kCalDo100), calibrated);
    EXPECT_FALSE(ReceivedSensorCommand(kOxygen, probesim::kSensorUpdateCalibration));
    ExpectProbeAsBefore();
}

} // namespace
} // namespace wiztest
