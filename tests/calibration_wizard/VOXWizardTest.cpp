// The optical DO wizard against the simulated probe: a two-point calibration with the salinity and
// the barometric pressure of the calibration, the sensor's own live values back afterwards, the
// setup page's choices and restore, the barometric page's units and modes, and the live pressure
// the Calibrate command hands back.
#include <QTest>

#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "connection/AppProfile.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/SensorCommands.h"

namespace wiztest
{
namespace
{

namespace dos = probesim::dosensor;
constexpr float kLiveBaro = 1005.0f;
constexpr float kLiveSalinity = 2.0f;

class VOXWizard : public WizardTest
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.oxygen.Set(8.26f);
        m_dials.saturation.Set(100.0f);
        StartConnected();
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveBaro), kLiveBaro);
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveSalinity), kLiveSalinity);
    }

    static CDlgWizFrame_CalVOX& Wizard(CDlgWizFrame_Cal& frame)
    {
        return dynamic_cast<CDlgWizFrame_CalVOX&>(frame);
    }
};

TEST_F(VOXWizard, CalibratesTwoPointsUnderTheEnteredSalinityAndPressure)
{
    std::vector<QString> prompts;
    m_dialogs.onMessageBox = [&](const QString& text)
    {
        prompts.push_back(text);
        if (text.contains(QStringLiteral("into 0%")))
        {
            m_dials.oxygen.Set(0.05f);
            m_dials.saturation.Set(0.5f);
        }
    };
    const sCalibrateResult result = Calibrate(
        kOxygen,
        [&](CDlgWizFrame_Cal& frame)
        {
            CDlgWizFrame_CalVOX& wizard = Wizard(frame);
            CDlgWizPage_CalVOXStep1_Setup& setup = wizard.SetupPage();
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("DO Calibration - Select Method"));
            EXPECT_EQ(setup.Point1List().currentText(), QStringLiteral("100% saturation"));
            EXPECT_EQ(setup.Point2List().currentText(), QStringLiteral("None"));
            ChooseByKeys(setup.Point2List(), 0);
            EXPECT_EQ(setup.Point2List().currentText(), QStringLiteral("0% saturation"));
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !setup.Baro().text().isEmpty(); }));
            EXPECT_EQ(setup.Baro().text(), QStringLiteral("1005.00"));
            EXPECT_EQ(setup.Oxygen().text(), QStringLiteral("8.26000"));
            EXPECT_EQ(setup.Saturation().text(), QStringLiteral("100.000"));
            Picture(frame, "VOX_1_Setup");
            ClickNext(frame);

            CDlgWizPage_CalVOXStep2_Salinity& salinity = wizard.SalinityPage();
            ASSERT_EQ(frame.GetCurrentPage(), &salinity);
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("DO Calibration - Configure Salinity"));
            EXPECT_EQ(salinity.SalinityEdit().text(), QStringLiteral("0"));
            EXPECT_EQ(salinity.RangeLabel().text(), QStringLiteral("(0 to 350 PSU)"));
            TypeInto(salinity.SalinityEdit(), QStringLiteral("350.1"));
            EXPECT_FALSE(frame.GetNextButton().isEnabled());
            TypeInto(salinity.SalinityEdit(), QStringLiteral("35"));
            EXPECT_TRUE(frame.GetNextButton().isEnabled());
            Picture(frame, "VOX_2_Salinity");
            ClickNext(frame);
            EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), 35.0f);

            CDlgWizPage_CalVOXStep2_Baro& baro = wizard.BaroPage();
            ASSERT_EQ(frame.GetCurrentPage(), &baro);
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("DO Calibration - Configure Barometric Pressure"));
            EXPECT_EQ(baro.PressureEdit().text(), QStringLiteral("1005.00"));
            EXPECT_EQ(baro.PressureRange().text(), QStringLiteral("(506.68 to 1114.5 mBar)"));
            EXPECT_EQ(baro.ElevationRange().text(), QStringLiteral("(-811.03 to 5476.4 m)"));
            TypeInto(baro.PressureEdit(), QStringLiteral("1000"));
            EXPECT_TRUE(baro.ElevationEdit().text().startsWith(QStringLiteral("110.")))
                << baro.ElevationEdit().text().toStdString();
            Picture(frame, "VOX_3_Baro");
            ClickNext(frame);
            EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), 1000.0f);

            CDlgWizPage_CalVOXStep3_Calibrate& calibrate = wizard.CalibratePage();
            ASSERT_EQ(frame.GetCurrentPage(), &calibrate);
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("DO Calibration - Stabilization"));
            EXPECT_EQ(calibrate.SolutionField().text(), QStringLiteral("100"));
            EXPECT_FALSE(frame.GetBackButton().isEnabled());
            ASSERT_TRUE(WaitForAccept(frame));
            Picture(frame, "VOX_4_Stabilization100");
            ClickFinish(frame);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return prompts.size() == 2; }));
            EXPECT_EQ(calibrate.SolutionField().text(), QStringLiteral("0"));
            ASSERT_TRUE(WaitForAccept(frame));
            ClickFinish(frame);
            ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("DO Calibration - Summary"));
            // The sensor has its own live values back while the report shows.
            EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), kLiveBaro);
            EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), kLiveSalinity);
            Picture(frame, "VOX_5_Summary");
            ClickFinish(frame);
        });
    EXPECT_EQ(prompts, (std::vector<QString>{QStringLiteral("Place sensor into 100% sat solution."),
                                             QStringLiteral("Place sensor into 0% sat solution.")}));
    EXPECT_NEAR(SimFloat(kOxygen, dos::kCalDo100), 8.26f, 1e-4f);
    EXPECT_NEAR(SimFloat(kOxygen, dos::kCalTemp100), 25.0f, 1e-4f);
    EXPECT_EQ(SimFloat(kOxygen, dos::kCalSalinity100), 35.0f);
    EXPECT_EQ(SimFloat(kOxygen, dos::kCalBaro100), 1000.0f) << "the pressure entered, not the one before";
    EXPECT_NEAR(SimFloat(kOxygen, dos::kCalDo0), 0.05f, 1e-4f);
    EXPECT_NEAR(SimFloat(kOxygen, dos::kCalTemp0), 25.0f, 1e-4f);
    EXPECT_TRUE(ReceivedSensorCommand(kOxygen, probesim::kSensorUpdateCalibration));
    EXPECT_FALSE(InCalibrationMode(kOxygen));
    ASSERT_TRUE(result.liveBaro.has_value());
    EXPECT_EQ(*result.liveBaro, kLiveBaro);
    EXPECT_EQ(GetProfileInt(kVOXProfileSection, u"LastSolution2", -1), CAL_SOLUTION_DO_0);
}

TEST_F(VOXWizard, RestoringTheFactoryCalibrationIsTheOnlyWayOnWhileTicked)
{
    const sCalibrateResult result = Calibrate(kOxygen,
                                              [&](CDlgWizFrame_Cal& frame)
                                              {
                                                  CDlgWizPage_CalVOXStep1_Setup& setup =
                                                      Wizard(frame).SetupPage();
                                                  Click(setup.RestoreBox());
                                                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                                                  EXPECT_TRUE(frame.GetFinishButton().isEnabled());
                                                  m_dialogs.QueueAnswer(platform::IDNO);
                                                  ClickFinish(frame);
                                                  EXPECT_TRUE(frame.isVisible());
                                                  Click(setup.RestoreBox());
                                                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                                                  EXPECT_FALSE(frame.GetFinishButton().isEnabled());
                                                  Click(setup.RestoreBox());
                                                  m_dialogs.QueueAnswer(platform::IDYES);
                                                  ClickFinish(frame);
                                              });
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(BoxTexts(),
              (std::vector<QString>(2, QStringLiteral("This will restore calibration defaults to\nthe VOX "
                                                      "sensor.\nDo you wish to continue?"))));
    EXPECT_FALSE(InCalibrationMode(kOxygen));
}

TEST_F(VOXWizard, ThePressureFollowsItsUnitAndTheElevationItsOwn)
{
    Calibrate(kOxygen,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizFrame_CalVOX& wizard = Wizard(frame);
                  ClickNext(frame);
                  ClickNext(frame);
                  CDlgWizPage_CalVOXStep2_Baro& baro = wizard.BaroPage();
                  ASSERT_EQ(frame.GetCurrentPage(), &baro);
                  EXPECT_TRUE(baro.PressureOption().isChecked());
                  EXPECT_FALSE(baro.ElevationEdit().isEnabled());

                  TypeInto(baro.PressureEdit(), QStringLiteral("1013.25"));
                  EXPECT_EQ(baro.ElevationEdit().text(), QStringLiteral("0"));
                  QTest::keyClicks(&baro.PressureEdit(), QStringLiteral("x-"));
                  EXPECT_EQ(baro.PressureEdit().text(), QStringLiteral("1013.25")) << "no letter, no minus";
                  TypeInto(baro.PressureEdit(), QStringLiteral("1114.55"));
                  EXPECT_TRUE(baro.ElevationEdit().text().isEmpty());
                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                  EXPECT_FALSE(frame.GetBackButton().isEnabled());
                  TypeInto(baro.PressureEdit(), QStringLiteral("1013.25"));
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  EXPECT_TRUE(frame.GetBackButton().isEnabled());

                  // The number is read in the new unit: 1013.25 Pa is no pressure of a site, and the
                  // pressure edit is emptied.
                  ChooseByKeys(baro.PressureUnits(), 1);
                  EXPECT_EQ(baro.PressureRange().text(), QStringLiteral("(50668 to 111450 Pa)"));
                  EXPECT_TRUE(baro.PressureEdit().text().isEmpty());
                  EXPECT_TRUE(baro.ElevationEdit().text().isEmpty());
                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                  EXPECT_FALSE(frame.GetBackButton().isEnabled());
                  Picture(frame, "VOX_3_BaroInPascal");

                  Click(baro.ElevationOption());
                  EXPECT_TRUE(baro.ElevationEdit().isEnabled());
                  EXPECT_FALSE(baro.PressureEdit().isEnabled());
                  EXPECT_FALSE(frame.GetNextButton().isEnabled()) << "no elevation entered yet";
                  TypeInto(baro.ElevationEdit(), QStringLiteral("0"));
                  EXPECT_EQ(baro.PressureEdit().text(), QStringLiteral("101325"));
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  TypeInto(baro.ElevationEdit(), QStringLiteral("-900"));
                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                  TypeInto(baro.ElevationEdit(), QString());
                  EXPECT_EQ(baro.PressureEdit().text(), QStringLiteral("101325"))
                      << "an empty elevation is 0 m";
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  TypeInto(baro.ElevationEdit(), QStringLiteral("500"));
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  Picture(frame, "VOX_3_BaroByElevation");
                  ClickNext(frame);
                  ClickCancel(frame);
              });
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_SENSORS, u"LastBaroUnitsId", -1), 18);
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_SENSORS, u"UseBaroType", -1), 0);
    // Cancelled: the sensor's own pressure is back.
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), kLiveBaro);

    // The next run opens in the stored unit and mode.
    Calibrate(kOxygen,
              [&](CDlgWizFrame_Cal& frame)
              {
                  ClickNext(frame);
                  ClickNext(frame);
                  CDlgWizPage_CalVOXStep2_Baro& baro = Wizard(frame).BaroPage();
                  EXPECT_TRUE(baro.ElevationOption().isChecked());
                  EXPECT_EQ(baro.PressureUnits().currentText(), QStringLiteral("Pa"));
                  EXPECT_EQ(baro.PressureEdit().text(), QStringLiteral("100500"));
                  ClickCancel(frame);
              });
}

// 407 is about one atmosphere in inH2O, the list's last unit, but a mountain top's pressure in
// mmHg: the sensor is given the pressure in the unit chosen last.
TEST_F(VOXWizard, ThePressureTypedIsWrittenInTheLastUnitOfTheList)
{
    Calibrate(kOxygen,
              [&](CDlgWizFrame_Cal& frame)
              {
                  ClickNext(frame);
                  ClickNext(frame);
                  CDlgWizPage_CalVOXStep2_Baro& baro = Wizard(frame).BaroPage();
                  ASSERT_EQ(frame.GetCurrentPage(), &baro);
                  QComboBox& units = baro.PressureUnits();
                  // Chosen from the open list: the units between are never passed through.
                  units.setCurrentIndex(units.findText(QStringLiteral("mmHg")));
                  TypeInto(baro.PressureEdit(), QStringLiteral("407"));
                  units.setCurrentIndex(units.count() - 1);
                  EXPECT_EQ(units.currentText(), QStringLiteral("inH2O"));
                  EXPECT_EQ(baro.PressureEdit().text(), QStringLiteral("407"));
                  ClickNext(frame);
                  EXPECT_NEAR(SimFloat(kOxygen, dos::kLiveBaro), 1013.79f, 0.01f) << "not 542.6 mBar";
                  ClickCancel(frame);
              });
}

TEST_F(VOXWizard, TheLivePressureAfterwardsIsHandedBackOnlyWhenItCouldBeRead)
{
    sCalibrateResult result = Calibrate(kOxygen, [&](CDlgWizFrame_Cal& frame) { ClickCancel(frame); });
    ASSERT_TRUE(result.liveBaro.has_value());
    EXPECT_EQ(*result.liveBaro, kLiveBaro);

    result = Calibrate(kOxygen,
                       [&](CDlgWizFrame_Cal& frame)
                       {
                           Sim().Faults().SetPersistent(probesim::Fault::NoReply());
                           ClickCancel(frame);
                       });
    Sim().Faults().Clear();
    EXPECT_TRUE(result.ran);
    EXPECT_FALSE(result.liveBaro.has_value());
}

// Accept holds the accepted point's readings on the page until the worker answers, a period away
// at most: the next point's prompt comes with empty fields, the last point's summary replaces them.
TEST_F(VOXWizard, TheStabilizationPageKeepsItsReadingsUntilTheWorkerAnswersTheAccept)
{
    QString readingAtPrompt = QStringLiteral("(no prompt)");
    CDlgWizPage_CalVOXStep3_Calibrate* calibrate = nullptr;
    m_dialogs.onMessageBox = [&](const QString& text)
    {
        if (text.contains(QStringLiteral("into 0%")))
            readingAtPrompt = calibrate->ReadingField().text();
    };
    Calibrate(kOxygen,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizFrame_CalVOX& wizard = Wizard(frame);
                  ChooseByKeys(wizard.SetupPage().Point2List(), 0);
                  calibrate = &wizard.CalibratePage();
                  ClickNext(frame);
                  ClickNext(frame);
                  ClickNext(frame);
                  for (int point = 0; point < 2; ++point)
                  {
                      ASSERT_TRUE(WaitForAccept(frame));
                      const QString reading = calibrate->ReadingField().text();
                      ASSERT_FALSE(reading.isEmpty());
                      ClickFinish(frame);
                      EXPECT_EQ(calibrate->ReadingField().text(), reading) << point;
                      EXPECT_FALSE(calibrate->StabilityField().text().isEmpty()) << point;
                      EXPECT_FALSE(frame.GetFinishButton().isEnabled()) << point;
                      if (point == 0)
                          testsupport::SavePicture(frame, "VOX_4_Stabilization100_Accepted");
                  }
                  ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
                  ClickFinish(frame);
              });
    EXPECT_TRUE(readingAtPrompt.isEmpty()) << readingAtPrompt.toStdString();
}

} // namespace
} // namespace wiztest
