// The pH/ORP wizard against the simulated probe: an ORP calibration against ZoBell's solution, a
// pH calibration over three buffers with the sensor moved between them at each prompt, the
// buffer page's rules driven by the keyboard, the restore of the defaults, and a read error
// reported once, by the page that shows.
#include <QTest>

#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "connection/AppProfile.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/SensorCommands.h"

namespace wiztest
{
namespace
{

constexpr uint16_t kOrpCalWord = 144;
constexpr uint16_t kOrpPoint = 145; // solution mV, sensor mV, temperature
constexpr uint16_t kOrpSlope = 151;
constexpr uint16_t kOrpOffset = 153;
// The electrode's ideal response at 25 C between pH 4, 7 and 10.
constexpr float kMillivoltsPerPh = 59.16f;

class PHORPWizard : public WizardTest
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.orp.Set(220.0f);
        m_dials.pHMillivolts.Set(0.0f);
        StartConnected();
    }

    static CDlgWizFrame_CalPHORP& Wizard(CDlgWizFrame_Cal& frame)
    {
        return dynamic_cast<CDlgWizFrame_CalPHORP&>(frame);
    }

    // Accepts the point as soon as the wizard offers it.
    static void AcceptWhenStable(CDlgWizFrame_Cal& frame)
    {
        ASSERT_TRUE(WaitForAccept(frame));
        ClickFinish(frame);
    }
};

TEST_F(PHORPWizard, CalibratesTheOrpOffsetAgainstZoBellsSolution)
{
    QString prompt;
    m_dialogs.onMessageBox = [&prompt](const QString& text) { prompt = text; };
    const sCalibrateResult result =
        Calibrate(kPhOrp,
                  [&](CDlgWizFrame_Cal& frame)
                  {
                      CDlgWizFrame_CalPHORP& wizard = Wizard(frame);
                      EXPECT_EQ(frame.windowTitle(), QStringLiteral("pH/ORP Calibration - Select"));
                      EXPECT_FALSE(frame.GetNextButton().isEnabled()) << "nothing chosen yet";
                      EXPECT_FALSE(frame.GetFinishButton().isEnabled());
                      Picture(frame, "PHORP_1_Select");
                      Click(wizard.SelectPage().ORPOption());
                      ClickNext(frame);

                      CDlgWizPage_CalORPStep1& standard = wizard.ORPStep1();
                      ASSERT_EQ(frame.GetCurrentPage(), &standard);
                      EXPECT_EQ(frame.windowTitle(), QStringLiteral("ORP Calibration - Select Method"));
                      EXPECT_EQ(standard.StandardList().currentText(), QStringLiteral("ZoBell's"));
                      EXPECT_FALSE(standard.UserValue().isEnabled());
                      ASSERT_TRUE(testsupport::WaitUntil([&] { return !standard.ORP().text().isEmpty(); }));
                      EXPECT_EQ(standard.ORP().text(), QStringLiteral("220.000"));
                      EXPECT_TRUE(frame.GetNextButton().isEnabled());
                      EXPECT_FALSE(frame.GetBackButton().isEnabled());
                      Picture(frame, "PHORP_2_ORPStandard");
                      ClickNext(frame);

                      ASSERT_EQ(frame.GetCurrentPage(), &wizard.ORPStep2());
                      EXPECT_EQ(prompt, QStringLiteral("Place sensor into ZoBell's  solution."));
                      EXPECT_EQ(wizard.ORPStep2().SolutionField().text(), QStringLiteral("ZoBell's"));
                      ASSERT_TRUE(WaitForAccept(frame));
                      Picture(frame, "PHORP_3_ORPStabilization");
                      ClickFinish(frame);
                      ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
                      EXPECT_EQ(frame.windowTitle(), QStringLiteral("ORP Calibration - Summary"));
                      Picture(frame, "PHORP_4_ORPSummary");
                      ClickFinish(frame);
                  });
    EXPECT_TRUE(result.ran);
    const float zoBellAt25 = 261.78f - 1.3068f * 25.0f;
    EXPECT_EQ(SimWord(kPhOrp, kOrpCalWord), 0);
    EXPECT_NEAR(SimFloat(kPhOrp, kOrpPoint), zoBellAt25, 1e-3f);
    EXPECT_NEAR(SimFloat(kPhOrp, kOrpPoint + 2), 220.0f, 1e-3f);
    EXPECT_NEAR(SimFloat(kPhOrp, kOrpPoint + 4), 25.0f, 1e-3f);
    EXPECT_EQ(SimFloat(kPhOrp, kOrpSlope), 1.0f);
    EXPECT_NEAR(SimFloat(kPhOrp, kOrpOffset), zoBellAt25 - 220.0f, 1e-3f);
    EXPECT_FALSE(InCalibrationMode(kPhOrp));
}

TEST_F(PHORPWizard, CalibratesThreeBuffersPromptingForEachInTurn)
{
    std::vector<QString> prompts;
    m_dialogs.onMessageBox = [&](const QString& text)
    {
        prompts.push_back(text);
        // The user moves the electrode into the buffer the prompt names.
        if (text.contains(QStringLiteral("pH 4 ")))
            m_dials.pHMillivolts.Set(3.0f * kMillivoltsPerPh);
        else if (text.contains(QStringLiteral("pH 10 ")))
            m_dials.pHMillivolts.Set(-3.0f * kMillivoltsPerPh);
        else
            m_dials.pHMillivolts.Set(0.0f);
    };
    QString report;
    Calibrate(kPhOrp,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizFrame_CalPHORP& wizard = Wizard(frame);
                  Click(wizard.SelectPage().PHOption());
                  ClickNext(frame);
                  CDlgWizPage_CalPHStep1& buffers = wizard.PHStep1();
                  ASSERT_EQ(frame.GetCurrentPage(), &buffers);
                  EXPECT_EQ(frame.windowTitle(), QStringLiteral("pH Calibration - Select Method"));
                  ChooseByKeys(buffers.SolutionList(1), 0);
                  ChooseByKeys(buffers.SolutionList(2), 2);
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return !buffers.PH().text().isEmpty(); }));
                  Picture(frame, "PHORP_5_PHBuffers");
                  ClickNext(frame);

                  CDlgWizPage_CalPHStep2& stabilize = wizard.PHStep2();
                  ASSERT_EQ(frame.GetCurrentPage(), &stabilize);
                  EXPECT_EQ(stabilize.SolutionField().text(), QStringLiteral("pH 7"));
                  AcceptWhenStable(frame);
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return prompts.size() == 2; }));
                  EXPECT_EQ(stabilize.SolutionField().text(), QStringLiteral("pH 4"));
                  ASSERT_TRUE(WaitForAccept(frame));
                  Picture(frame, "PHORP_6_PHStabilizationPoint2");
                  ClickFinish(frame);
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return prompts.size() == 3; }));
                  AcceptWhenStable(frame);
                  ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
                  EXPECT_EQ(frame.windowTitle(), QStringLiteral("pH Calibration - Summary"));
                  report = wizard.GetSummaryPage().ReportView().toPlainText();
                  Picture(frame, "PHORP_7_PHSummary");
                  ClickFinish(frame);
              });
    EXPECT_EQ(prompts, (std::vector<QString>{QStringLiteral("Place sensor into pH 7 solution."),
                                             QStringLiteral("Place sensor into pH 4 solution."),
                                             QStringLiteral("Place sensor into pH 10 solution.")}));
    EXPECT_TRUE(report.contains(QStringLiteral("Calibration Point 3"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Line Segment 2"))) << report.toStdString();

    // The points in the order of their buffers, and both segments through them.
    using probesim::phsensor::PointValue;
    EXPECT_EQ(SimWord(kPhOrp, probesim::phsensor::kPointCount), 3);
    const float expected[3][2] = {
        {4.0f, 3.0f * kMillivoltsPerPh}, {7.0f, 0.0f}, {10.0f, -3.0f * kMillivoltsPerPh}};
    for (uint16_t point = 1; point <= 3; ++point)
    {
        EXPECT_NEAR(SimFloat(kPhOrp, PointValue(point, 0)), expected[point - 1][0], 1e-4f) << point;
        EXPECT_NEAR(SimFloat(kPhOrp, PointValue(point, 1)), expected[point - 1][1], 1e-3f) << point;
        EXPECT_NEAR(SimFloat(kPhOrp, PointValue(point, 2)), 25.0f, 1e-4f) << point;
    }
    for (uint16_t segment = 1; segment <= 2; ++segment)
    {
        EXPECT_NEAR(SimFloat(kPhOrp, probesim::phsensor::SegmentSlope(segment)), -1.0f / kMillivoltsPerPh,
                    1e-6f);
        EXPECT_NEAR(SimFloat(kPhOrp, probesim::phsensor::SegmentOffset(segment)), 7.0f, 1e-4f);
    }
}

TEST_F(PHORPWizard, TheBufferChoiceLeadsOnOnlyWhenItCanBeCalibrated)
{
    Calibrate(kPhOrp,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizFrame_CalPHORP& wizard = Wizard(frame);
                  Click(wizard.SelectPage().PHOption());
                  ClickNext(frame);
                  CDlgWizPage_CalPHStep1& page = wizard.PHStep1();
                  QComboBox& second = page.SolutionList(1);
                  QComboBox& third = page.SolutionList(2);
                  const auto next = [&frame] { return frame.GetNextButton().isEnabled(); };
                  ASSERT_TRUE(testsupport::WaitUntil(next)) << "a fresh profile: one point at pH 7";
                  EXPECT_EQ(page.SolutionList(0).currentText(), QStringLiteral("pH 7"));
                  EXPECT_EQ(second.currentText(), QStringLiteral("None"));
                  EXPECT_EQ(third.currentText(), QStringLiteral("None"));
                  EXPECT_FALSE(third.isEnabled());

                  ChooseByKeys(second, 1);
                  EXPECT_FALSE(next()) << "pH 7 twice";
                  ChooseByKeys(second, 3);
                  EXPECT_TRUE(page.ValueEdit(1).isEnabled());
                  EXPECT_TRUE(third.isEnabled());
                  TypeInto(page.ValueEdit(1), QStringLiteral("7"));
                  EXPECT_TRUE(next()) << "a typed 7 beside the buffer pH 7";
                  ChooseByKeys(third, 3);
                  TypeInto(page.ValueEdit(2), QStringLiteral("7.0"));
                  EXPECT_FALSE(next()) << "two typed buffers of one value";
                  for (const auto& [typed, valid] : {std::pair{"14", true},
                                                     {"14.5", false},
                                                     {"0", false},
                                                     {"0.01", true},
                                                     {".", false},
                                                     {"", false}})
                  {
                      TypeInto(page.ValueEdit(2), QString::fromLatin1(typed));
                      EXPECT_EQ(next(), valid) << typed;
                  }
                  TypeInto(page.ValueEdit(2), QStringLiteral("-3"));
                  EXPECT_EQ(page.ValueEdit(2).text(), QStringLiteral("3")) << "no minus sign";
                  Picture(frame, "PHORP_5_PHBuffersTyped");

                  // Without a second buffer there is no third.
                  ChooseByKeys(second, 4);
                  EXPECT_EQ(third.currentText(), QStringLiteral("None"));
                  EXPECT_FALSE(third.isEnabled());
                  EXPECT_TRUE(page.ValueEdit(1).text().isEmpty());
                  EXPECT_TRUE(page.ValueEdit(2).text().isEmpty());
                  EXPECT_FALSE(page.ValueEdit(2).isEnabled());
                  ChooseByKeys(second, 0);
                  EXPECT_TRUE(third.isEnabled());
                  EXPECT_EQ(third.currentText(), QStringLiteral("None"));

                  ChooseByKeys(second, 3);
                  TypeInto(page.ValueEdit(1), QStringLiteral("6.86"));
                  ClickNext(frame);
                  ClickCancel(frame);
              });
    EXPECT_EQ(GetProfileInt(kPHProfileSection, u"LastSolution2", -1), CAL_SOLUTION_USER);

    // The stored choice comes back.
    Calibrate(kPhOrp,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizFrame_CalPHORP& wizard = Wizard(frame);
                  Click(wizard.SelectPage().PHOption());
                  ClickNext(frame);
                  CDlgWizPage_CalPHStep1& page = wizard.PHStep1();
                  EXPECT_EQ(page.SolutionList(1).currentText(), QStringLiteral("User defined"));
                  EXPECT_EQ(page.ValueEdit(1).text(), QStringLiteral("6.86"));
                  EXPECT_TRUE(page.ValueEdit(1).isEnabled());
                  ClickCancel(frame);
              });
}

TEST_F(PHORPWizard, RestoringTheDefaultsAsksFirstAndKeepsTheChosenBranch)
{
    const sCalibrateResult result = Calibrate(
        kPhOrp,
        [&](CDlgWizFrame_Cal& frame)
        {
            CDlgWizFrame_CalPHORP& wizard = Wizard(frame);
            Click(wizard.SelectPage().PHOption());
            EXPECT_TRUE(wizard.ORPStep1().IsSkipped());
            Click(wizard.SelectPage().RestoreOption());
            EXPECT_TRUE(wizard.ORPStep1().IsSkipped()) << "the branch stays as it was";
            EXPECT_FALSE(frame.GetNextButton().isEnabled());
            EXPECT_TRUE(frame.GetFinishButton().isEnabled());
            m_dialogs.QueueAnswer(platform::IDNO);
            ClickFinish(frame);
            EXPECT_TRUE(frame.isVisible());
            ASSERT_EQ(m_dialogs.MessageBoxes().size(), 1u);
            EXPECT_EQ(m_dialogs.MessageBoxes()[0].text,
                      QStringLiteral("This will restore calibration defaults to\nthe pH and ORP sensors.\n"
                                     "Do you wish to continue?"));
            m_dialogs.QueueAnswer(platform::IDYES);
            ClickFinish(frame);
        });
    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(ReceivedSensorCommand(kPhOrp, probesim::kSensorRestoreCalDefaults));
}

TEST_F(PHORPWizard, AReadErrorIsReportedOnceByTheShownPage)
{
    Calibrate(kPhOrp,
              [&](CDlgWizFrame_Cal& frame)
              {
                  Click(Wizard(frame).SelectPage().ORPOption());
                  // The worker has set the device up for the run before the probe stops answering.
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return frame.m_pCalData->IsWorkerRunning(); }));
                  Sim().Faults().SetPersistent(probesim::Fault::NoReply());
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return !frame.isVisible(); }, 10s));
              });
    Sim().Faults().Clear();
    const std::vector<QString> boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], QStringLiteral("Error occurred.\nTerminating calibration."));
    // The probe answers nothing, so the program cannot know that it did take its settings back.
    EXPECT_TRUE(boxes[1].startsWith(QStringLiteral("The probe did not get back everything")))
        << boxes[1].toStdString();
}

} // namespace
} // namespace wiztest
