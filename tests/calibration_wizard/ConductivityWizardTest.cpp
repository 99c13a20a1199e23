// The conductivity wizard from the Calibrate command to its summary against the simulated probe:
// the standard, the stabilization with its colours, Accept, the commit's registers, the report
// printed and saved; the reference temperature radios; the restore of the sensor's defaults.
#include <filesystem>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "app/connection/AppProfile.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/ConductivitySensor.h"
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
            ASSERT_TRUE(
                testsupport::WaitUntil([&] { return !stabilize.ConductivityField().text().isEmpty(); }));
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

} // namespace
} // namespace wiztest
