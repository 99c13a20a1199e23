// The conductivity wizard from the Calibrate command to its summary against the simulated probe:
// the standard, the stabilization with its colours, Accept, the commit's registers, the report
// printed and saved; the reference temperature radios; the restore of the sensor's defaults.
#include <filesystem>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTest>

#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "connection/AppProfile.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/RegisterModel.h"
#include "tools/probe-sim/SensorCommands.h"

namespace wiztest
{
namespace
{

const uint16_t kCellConstant = probesim::kProbeConductivity.cellConstant;
const uint16_t kCellOffset = probesim::kProbeConductivity.cellOffset;
const uint16_t kReferenceTemperature = probesim::kProbeConductivity.referenceTemperature;

class ConductivityWizard : public WizardTest
{
protected:
    void SetUp() override
    {
        // Raw readings of a cell whose constant must become 1.25 for the 1413 µS/cm standard.
        m_dials.temperature.Set(25.0f);
        m_dials.actualConductivity.Set(1413.0f / 1.25f);
        m_dials.specificConductivity.Set(1400.0f);
        StartConnected();
        Probe().Registers().SetFloat(Register(kConductivity, kReferenceTemperature), 25.0f);
        Probe().Registers().SetFloat(Register(kConductivity, kCellConstant), 1.0f);
        Probe().Registers().SetFloat(Register(kConductivity, kCellOffset), 3.0f);
    }

    static CDlgWizFrame_CalConductivity& Wizard(CDlgWizFrame_Cal& frame)
    {
        return dynamic_cast<CDlgWizFrame_CalConductivity&>(frame);
    }
};

TEST_F(ConductivityWizard, CalibratesTheCellConstantAgainstAListedStandard)
{
    const uint16_t cacheTimeout = Probe().MeasurementCacheTimeout();
    const std::filesystem::path folder = testsupport::ProcessTempDir() / "conductivity-report";
    std::filesystem::create_directories(folder);
    const QString reportTiff = QString::fromStdString((folder / "report").string());
    const QString reportPdf = QString::fromStdString((folder / "report.pdf").string());
    QString prompt;
    m_dialogs.onMessageBox = [&prompt](const QString& text) { prompt = text; };
    const sCalibrateResult result = Calibrate(
        kConductivity,
        [&](CDlgWizFrame_Cal& frame)
        {
            CDlgWizFrame_CalConductivity& wizard = Wizard(frame);
            CDlgWizPage_CalCondStep1& method = wizard.Step1();
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("Conductivity Calibration - Select Method"));
            EXPECT_TRUE(method.RefTemp25().isChecked());
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !method.Conductivity().text().isEmpty(); }));
            EXPECT_EQ(method.Conductivity().text(), QStringLiteral("1400.00"));
            EXPECT_EQ(method.Temperature().text(), QStringLiteral("25.0000"));
            EXPECT_EQ(method.StandardList().currentText(), QStringLiteral("1413 µS/cm @25° C"))
                << "the default";
            EXPECT_FALSE(method.UserValue().isEnabled());
            EXPECT_TRUE(frame.GetNextButton().isEnabled());
            EXPECT_FALSE(frame.GetBackButton().isEnabled());
            EXPECT_FALSE(frame.GetFinishButton().isEnabled());
            Picture(frame, "Conductivity_1_Method");
            ClickNext(frame);

            CDlgWizPage_CalCondStep2& stabilize = wizard.Step2();
            ASSERT_EQ(frame.GetCurrentPage(), &stabilize);
            EXPECT_EQ(prompt, QStringLiteral("Place sensor into 1413 µS/cm @25° C solution."));
            EXPECT_EQ(frame.GetFinishButton().text(), QStringLiteral("Accept"));
            EXPECT_FALSE(frame.GetFinishButton().isEnabled()) << "no Accept before the point is stable";
            EXPECT_EQ(stabilize.StabilityField().text(), QStringLiteral("None"));
            EXPECT_EQ(stabilize.StabilityField().GetBackColor(), RGB(255, 0, 0));
            EXPECT_EQ(stabilize.DurationField().text(), QStringLiteral("00:00"));
            EXPECT_TRUE(InCalibrationMode(kConductivity));
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !stabilize.ReadingField().text().isEmpty(); }));
            Picture(frame, "Conductivity_2_Stabilization_None");
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return stabilize.StabilityField().text() == QStringLiteral("Nominal"); }, 20s));
            EXPECT_EQ(stabilize.StabilityField().GetBackColor(), RGB(255, 255, 0));
            Picture(frame, "Conductivity_2_Stabilization_Nominal");
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return stabilize.StabilityField().text() == QStringLiteral("Full"); }, 20s));
            EXPECT_EQ(stabilize.StabilityField().GetBackColor(), RGB(0, 128, 0));
            EXPECT_TRUE(stabilize.StabilityField().font().bold());
            EXPECT_EQ(stabilize.OldCellConstantField().text(), QStringLiteral("1.000"));
            EXPECT_EQ(stabilize.NewCellConstantField().text(), QStringLiteral("1.250"));
            ASSERT_TRUE(WaitForAccept(frame));
            Picture(frame, "Conductivity_2_Stabilization_Full");
            ClickFinish(frame);

            ASSERT_TRUE(WaitForPage(frame, wizard.GetSummaryPage()));
            EXPECT_EQ(frame.windowTitle(), QStringLiteral("Conductivity Calibration - Summary"));
            EXPECT_EQ(frame.GetFinishButton().text(), QStringLiteral("OK"));
            EXPECT_TRUE(frame.GetFinishButton().isEnabled());
            EXPECT_FALSE(frame.GetCancelButton().isEnabled());
            EXPECT_FALSE(frame.GetBackButton().isEnabled());
            const QString report = wizard.GetSummaryPage().ReportView().toPlainText();
            EXPECT_TRUE(report.startsWith(QStringLiteral("Conductivity Calibration Report\n\n")))
                << report.toStdString();
            EXPECT_TRUE(report.contains(QStringLiteral("Cell Constant:"))) << report.toStdString();
            EXPECT_TRUE(report.contains(QStringLiteral("\t1.25"))) << report.toStdString();
            Picture(frame, "Conductivity_3_Summary");

            m_dialogs.QueueFile(reportTiff);
            Click(wizard.GetSummaryPage().SaveAsButton());
            m_dialogs.printToPdf = reportPdf;
            m_dialogs.QueuePrintAnswer(true);
            Click(wizard.GetSummaryPage().PrintButton());
            ClickFinish(frame);
        });

    EXPECT_EQ(result.calibration, ECalibration::Conductivity);
    EXPECT_TRUE(result.ran);
    EXPECT_NEAR(SimFloat(kConductivity, kCellConstant), 1.25f, 1e-5f);
    EXPECT_EQ(SimFloat(kConductivity, kCellOffset), 0.0f);
    EXPECT_TRUE(ReceivedSensorCommand(kConductivity, probesim::kSensorUpdateCalibration));
    EXPECT_FALSE(InCalibrationMode(kConductivity));
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), cacheTimeout) << "the device's settings come back";
    EXPECT_EQ(GetProfileInt(kCondProfileSection, u"LastSolution", -1), CAL_SOLUTION_COND_1413);

    // The report as saved and printed.
    const QImage saved(reportTiff, "TIFF");
    EXPECT_EQ(saved.size(), QSize(1275, 1650));
    QLabel page;
    page.setPixmap(QPixmap::fromImage(saved));
    page.resize(saved.size());
    testsupport::SavePicture(page, "Conductivity_4_ReportImage");
    QFile pdf(reportPdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_TRUE(m_dialogs.MessageBoxes().size() == 1) << "only the prompt";
}

TEST_F(ConductivityWizard, TheReferenceTemperatureChangesOnlyWhenTheSensorTookIt)
{
    const uint16_t reference = Register(kConductivity, kReferenceTemperature);
    const int refusal = Probe().Registers().AddWriteHook(
        reference, 2,
        [](probesim::RegisterModel&, const probesim::RegisterWrite&)
        { return std::optional<probesim::ExceptionCode>(probesim::ExceptionCode::SlaveDeviceFailure); });
    QString prompt;
    m_dialogs.onMessageBox = [&prompt](const QString& text) { prompt = text; };
    Calibrate(kConductivity,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizPage_CalCondStep1& method = Wizard(frame).Step1();
                  Click(method.RefTemp20());
                  ASSERT_EQ(m_dialogs.MessageBoxes().size(), 1u);
                  EXPECT_TRUE(m_dialogs.MessageBoxes()[0].text.startsWith(QStringLiteral(
                      "Failed to set the specific conductivity reference temperature.\nError Code: ")))
                      << m_dialogs.MessageBoxes()[0].text.toStdString();
                  EXPECT_TRUE(method.RefTemp25().isChecked()) << "the radio shows what the sensor holds";
                  EXPECT_FALSE(method.RefTemp20().isChecked());
                  EXPECT_EQ(method.UserValueLabel().text(), QStringLiteral("Enter Value (µS/cm @25° C):"));
                  EXPECT_EQ(SimFloat(kConductivity, kReferenceTemperature), 25.0f);
                  // The radio already checked, refused: it stays checked, as the sensor still holds it.
                  Click(method.RefTemp25());
                  EXPECT_EQ(m_dialogs.MessageBoxes().size(), 2u);
                  EXPECT_TRUE(method.RefTemp25().isChecked());
                  EXPECT_FALSE(method.RefTemp20().isChecked());

                  Probe().Registers().RemoveHook(refusal);
                  Click(method.RefTemp20());
                  EXPECT_EQ(m_dialogs.MessageBoxes().size(), 2u) << "no box for a write that was taken";
                  EXPECT_EQ(SimFloat(kConductivity, kReferenceTemperature), 20.0f);
                  EXPECT_EQ(method.UserValueLabel().text(), QStringLiteral("Enter Value (µS/cm @20° C):"));
                  EXPECT_EQ(method.ConductivityLabel().text(),
                            QStringLiteral("Specific Conductivity (µS/cm @20° C):"));

                  ChooseByKeys(method.StandardList(), 4);
                  EXPECT_EQ(method.StandardList().currentText(), QStringLiteral("User defined"));
                  TypeInto(method.UserValue(), QStringLiteral("500"));
                  ClickNext(frame);
                  EXPECT_EQ(prompt, QStringLiteral("Place sensor into 500 µS/cm @ 20° C solution."));
                  EXPECT_EQ(Wizard(frame).Step2().ConductivityLabel().text(),
                            QStringLiteral("Specific Conductivity (µS/cm @ 20° C):"));
                  Picture(frame, "Conductivity_2_Stabilization_UserValueAt20");
                  ClickCancel(frame);
              });
    EXPECT_EQ(GetProfileInt(kCondProfileSection, u"LastSolution", -1), CAL_SOLUTION_USER);
    EXPECT_EQ(std::u16string(
                  static_cast<const char16_t*>(GetProfileString(kCondProfileSection, u"LastValue", u""))),
              u"500");
}

TEST_F(ConductivityWizard, AReferenceTakenBeforeTheRestOfItsWriteWasRefusedIsShownAsTaken)
{
    // The block is written float by float: the reference goes through, its coefficient does not.
    Probe().Registers().AddWriteHook(
        Register(kConductivity, probesim::kProbeConductivity.Alpha()), 2,
        [](probesim::RegisterModel&, const probesim::RegisterWrite&)
        { return std::optional<probesim::ExceptionCode>(probesim::ExceptionCode::SlaveDeviceFailure); });
    Calibrate(kConductivity,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizPage_CalCondStep1& method = Wizard(frame).Step1();
                  Click(method.RefTemp20());
                  EXPECT_EQ(m_dialogs.MessageBoxes().size(), 1u);
                  ASSERT_EQ(SimFloat(kConductivity, kReferenceTemperature), 20.0f);
                  EXPECT_TRUE(method.RefTemp20().isChecked());
                  EXPECT_FALSE(method.RefTemp25().isChecked());
                  EXPECT_EQ(method.ConductivityLabel().text(),
                            QStringLiteral("Specific Conductivity (µS/cm @20° C):"));
                  ChooseByKeys(method.StandardList(), 4);
                  TypeInto(method.UserValue(), QStringLiteral("500"));
                  ClickNext(frame);
                  EXPECT_EQ(Wizard(frame).Step2().ConductivityLabel().text(),
                            QStringLiteral("Specific Conductivity (µS/cm @ 20° C):"));
                  ClickCancel(frame);
              });
}

TEST_F(ConductivityWizard, AReferenceThePageCannotShowIsSetTo25AndALoggingDeviceKeepsItsOwn)
{
    Probe().Registers().SetFloat(Register(kConductivity, kReferenceTemperature), 22.0f);
    {
        // The correction is written once the wizard's opening is over, never inside its waits.
        testsupport::WaitWatch watch;
        Calibrate(kConductivity,
                  [&](CDlgWizFrame_Cal& frame)
                  {
                      CDlgWizPage_CalCondStep1& method = Wizard(frame).Step1();
                      EXPECT_TRUE(testsupport::WaitUntil(
                          [&] { return SimFloat(kConductivity, kReferenceTemperature) == 25.0f; }));
                      EXPECT_TRUE(method.RefTemp25().isChecked());
                      EXPECT_TRUE(method.RefTemp25().isEnabled());
                      ClickCancel(frame);
                  });
        EXPECT_EQ(watch.Inside(), 0);
    }

    Probe().StartLog(12);
    Reconnect();
    Calibrate(kConductivity,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizPage_CalCondStep1& method = Wizard(frame).Step1();
                  EXPECT_FALSE(method.RefTemp20().isEnabled());
                  EXPECT_FALSE(method.RefTemp25().isEnabled());
                  Picture(frame, "Conductivity_1_Method_Logging");
                  ClickCancel(frame);
              });
}

TEST_F(ConductivityWizard, ATypedStandardMustBeANumberAboveZero)
{
    WriteProfileInt(kCondProfileSection, u"LastSolution", CAL_SOLUTION_USER);
    WriteProfileString(kCondProfileSection, u"LastValue", u"500");
    Calibrate(kConductivity,
              [&](CDlgWizFrame_Cal& frame)
              {
                  CDlgWizPage_CalCondStep1& method = Wizard(frame).Step1();
                  CCalValueEdit& value = method.UserValue();
                  ASSERT_TRUE(testsupport::WaitUntil([&] { return frame.GetNextButton().isEnabled(); }));
                  EXPECT_EQ(method.StandardList().currentText(), QStringLiteral("User defined"));
                  EXPECT_EQ(value.text(), QStringLiteral("500"));
                  EXPECT_TRUE(value.isEnabled());

                  TypeInto(value, QStringLiteral("0"));
                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                  TypeInto(value, QString());
                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                  TypeInto(value, QStringLiteral("-"));
                  EXPECT_EQ(value.text(), QString()) << "no minus sign";
                  TypeInto(value, QStringLiteral("12.5"));
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  // A letter typed in the middle goes, and the caret stays where it was typed.
                  value.setCursorPosition(1);
                  QTest::keyClick(&value, Qt::Key_X);
                  EXPECT_EQ(value.text(), QStringLiteral("12.5"));
                  EXPECT_EQ(value.cursorPosition(), 1);

                  // Restoring offers only Finish. Taking it back offers Next at once; the next readings
                  // take it away again while the choice is no usable standard, and it leads nowhere.
                  TypeInto(value, QString());
                  Click(method.RestoreBox());
                  EXPECT_FALSE(frame.GetNextButton().isEnabled());
                  EXPECT_TRUE(frame.GetFinishButton().isEnabled());
                  Click(method.RestoreBox());
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  EXPECT_FALSE(frame.GetFinishButton().isEnabled());
                  EXPECT_FALSE(method.OnWizardNext()) << "an empty value is no standard";
                  EXPECT_TRUE(testsupport::WaitUntil([&] { return !frame.GetNextButton().isEnabled(); }));

                  // A listed standard keeps the typed text, greyed.
                  TypeInto(value, QStringLiteral("750"));
                  ChooseByKeys(method.StandardList(), 0);
                  EXPECT_FALSE(value.isEnabled());
                  EXPECT_EQ(value.text(), QStringLiteral("750"));
                  EXPECT_TRUE(frame.GetNextButton().isEnabled());
                  ClickNext(frame);
                  ClickCancel(frame);
              });
    EXPECT_EQ(GetProfileInt(kCondProfileSection, u"LastSolution", -1), CAL_SOLUTION_COND_147);
    EXPECT_EQ(std::u16string(
                  static_cast<const char16_t*>(GetProfileString(kCondProfileSection, u"LastValue", u""))),
              u"750");
}

TEST_F(ConductivityWizard, RestoringTheDefaultsAsksFirst)
{
    const sCalibrateResult result = Calibrate(
        kConductivity,
        [&](CDlgWizFrame_Cal& frame)
        {
            CDlgWizPage_CalCondStep1& method = Wizard(frame).Step1();
            Click(method.RestoreBox());
            EXPECT_FALSE(frame.GetBackButton().isEnabled());
            m_dialogs.QueueAnswer(platform::IDNO);
            ClickFinish(frame);
            ASSERT_EQ(m_dialogs.MessageBoxes().size(), 1u);
            EXPECT_EQ(m_dialogs.MessageBoxes()[0].text,
                      QStringLiteral("This will restore calibration defaults to\nthe conductivity sensor.\n"
                                     "Do you wish to continue?"));
            EXPECT_TRUE(frame.isVisible());
            EXPECT_FALSE(ReceivedSensorCommand(kConductivity, probesim::kSensorRestoreCalDefaults));
            m_dialogs.QueueAnswer(platform::IDYES);
            ClickFinish(frame);
        });
    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(ReceivedSensorCommand(kConductivity, probesim::kSensorRestoreCalDefaults));
    EXPECT_FALSE(ReceivedSensorCommand(kConductivity, probesim::kSensorCalModeOn));
}

} // namespace
} // namespace wiztest
