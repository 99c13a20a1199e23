// The probe information page's doors against the simulated probe: the diagnostics window of each
// kind of probe, the firmware update with a valid image and refused ones, and the factory reset.
#include <fstream>

#include <QLineEdit>
#include <QTest>

#include "app/pages/DlgPopUpDiagnostics.h"
#include "app/popups/DlgPopupApplySerialNumber.h"
#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "ui/QtText.h"

namespace apptest
{
namespace
{

using Page = CDlgFrame_TarnwickSoft::EPage;

class ProbeInfoTest : public AppWindowTest
{
protected:
    void ConnectTo(probesim::InstrumentConfig config)
    {
        StartProbe(config);
        MainWindow().ShowPage(Page::PAGE_PROBE_INFO);
        ConnectByButton();
    }
    // A VOX PRO whose boot code restarts quickly, connected; its blocks take blockTime each.
    void ConnectForFlash(std::chrono::milliseconds blockTime = std::chrono::milliseconds(0))
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
        config.boot.switchSilence = std::chrono::milliseconds(50);
        config.boot.rebootSilence = std::chrono::milliseconds(50);
        config.boot.blockTime = blockTime;
        ConnectTo(config);
    }
    // The file dialog's next answer: an image of version 2.50 for it, of the given length.
    void QueueUpgradeImage(unsigned records = 8)
    {
        m_dialogs.QueueFile(WriteImage({.deviceType = 12,
                                        .firmwareVersion = 250,
                                        .lowestHardware = 1,
                                        .highestHardware = 1,
                                        .records = records},
                                       "upgrade.bin"));
    }
    // Runs the popup modally with the progress shown every periodMs: the queued image is chosen,
    // the update started, and then `during` runs, which leads to the popup's end.
    static int RunUpdate(CDlgPopup_FirmwareUpdate& popup, int periodMs, const std::function<void()>& during)
    {
        popup.SetProgressPeriod(periodMs);
        return testsupport::RunModal(
            popup,
            [&]
            {
                popup.SelectButton().click();
                popup.UpdateButton().click();
                during();
            },
            std::chrono::milliseconds(60000));
    }
    QString WriteImage(const probesim::ImageContent& content, const char* name)
    {
        const std::filesystem::path path = m_config.Path() / name;
        const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage(content);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return QString::fromStdString(path.string());
    }
};

TEST_F(ProbeInfoTest, DiagnosticsOfAVoxCoreShowTwoPagesWithoutExternalVoltageAndAltRightAlternates)
{
    ConnectTo(probesim::ProbeConfig(39, kSerial));
    CDlgPopUpDiagnostics diagnostics(&MainWindow().ProbeInfoPage());
    ASSERT_EQ(diagnostics.InitFromConnection(theProbeConnection), S_OK);
    testsupport::RunModal(
        diagnostics,
        [&]
        {
            EXPECT_TRUE(diagnostics.IsPageOn(CDlgPopUpDiagnostics::PAGE_COND));
            EXPECT_FALSE(diagnostics.IsPageOn(CDlgPopUpDiagnostics::PAGE_LEVEL));
            EXPECT_FALSE(diagnostics.TabButton(CDlgPopUpDiagnostics::PAGE_PHORP).isVisible());
            EXPECT_TRUE(diagnostics.GetCounterText(IDC_DIAG_EXTERNAL_VOLTAGE).isEmpty());
            EXPECT_FALSE(diagnostics.GetCounterText(IDC_DIAG_GOOD_MESSAGES).isEmpty());
            CCtrlPage_DiagsBase& vox = diagnostics.Page(CDlgPopUpDiagnostics::PAGE_VOX);
            EXPECT_TRUE(vox.IsFilled());
            EXPECT_EQ(vox.GetFieldText(IDC_DIAG_CORE_SERIAL), QString::number(kSerial * 10));
            testsupport::SavePicture(diagnostics, "Diagnostics.VoxCore.VOX");
            diagnostics.DispatchAccelerator(ID_ACCEL_NEXT);
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return diagnostics.GetVisiblePage() == CDlgPopUpDiagnostics::PAGE_COND; }));
            EXPECT_FALSE(diagnostics.Page(CDlgPopUpDiagnostics::PAGE_COND)
                             .GetFieldText(IDC_DIAG_CELL_CONSTANT)
                             .isEmpty());
            testsupport::SavePicture(diagnostics, "Diagnostics.VoxCore.Conductivity");
            diagnostics.DispatchAccelerator(ID_ACCEL_NEXT);
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return diagnostics.GetVisiblePage() == CDlgPopUpDiagnostics::PAGE_VOX; }));
            diagnostics.SendCommand(IDOK);
        });
}

TEST_F(ProbeInfoTest, DiagnosticsOfAMultiSensorProbeFillEveryPageAndResetTheCounters)
{
    ConnectTo(probesim::ProbeConfig(18, kSerial));
    CDlgPopUpDiagnostics diagnostics(&MainWindow().ProbeInfoPage());
    ASSERT_EQ(diagnostics.InitFromConnection(theProbeConnection), S_OK);
    testsupport::RunModal(diagnostics,
                          [&]
                          {
                              EXPECT_FALSE(diagnostics.GetCounterText(IDC_DIAG_EXTERNAL_VOLTAGE).isEmpty());
                              const char* names[] = {"Diagnostics.Multi.VOX",
                                                     "Diagnostics.Multi.Conductivity",
                                                     "Diagnostics.Multi.Level", "Diagnostics.Multi.pHORP"};
                              for (int page = 0; page < CDlgPopUpDiagnostics::PAGE_COUNT; ++page)
                              {
                                  diagnostics.TabButton(page).click();
                                  EXPECT_EQ(diagnostics.GetVisiblePage(), page);
                                  EXPECT_TRUE(diagnostics.Page(page).IsFilled()) << page;
                                  testsupport::SavePicture(diagnostics, names[page]);
                              }
                              EXPECT_TRUE(diagnostics.Page(CDlgPopUpDiagnostics::PAGE_LEVEL)
                                              .GetFieldText(IDC_DIAG_LEVEL_REFERENCE_LABEL)
                                              .startsWith("Level Reference ("));
                              diagnostics.SendCommand(IDC_DIAG_RESET_COUNTERS);
                              diagnostics.SendCommand(IDOK);
                          });
    EXPECT_TRUE(HasBox("Message counters cleared."));
}

// Fields that look alike are told apart: the calibration temperatures of both points, and the
// level page's pressure and level units.
TEST_F(ProbeInfoTest, DiagnosticsShowEachCalibrationTemperatureAndEachLevelFieldInItsOwnUnit)
{
    using namespace probesim;
    StartProbe(ProbeConfig(18, kSerial));
    RegisterModel& registers = Probe().Registers();
    const auto sensor = [&](uint16_t connection, uint16_t offset)
    { return static_cast<uint16_t>(Probe().Sensors().Base(connection) + offset); };
    registers.SetFloat(sensor(1, dosensor::kCalTemp100), 24.5f);
    registers.SetFloat(sensor(1, dosensor::kCalTemp0), 11.25f);
    constexpr uint16_t kKiloPascal = 19, kFoot = 38;
    registers.SetU16(sensor(3, ParameterBlockOffset(levelsensor::kPressure) + block::kUnitId), kKiloPascal);
    registers.SetU16(sensor(3, ParameterBlockOffset(levelsensor::kLevel) + block::kUnitId), kFoot);
    MainWindow().ShowPage(Page::PAGE_PROBE_INFO);
    ConnectByButton();

    CDlgPopUpDiagnostics diagnostics(&MainWindow().ProbeInfoPage());
    ASSERT_EQ(diagnostics.InitFromConnection(theProbeConnection), S_OK);
    testsupport::RunModal(
        diagnostics,
        [&]
        {
            CCtrlPage_DiagsBase& vox = diagnostics.Page(CDlgPopUpDiagnostics::PAGE_VOX);
            EXPECT_EQ(vox.GetFieldText(IDC_DIAG_CAL_TEMP100), "24.5000");
            EXPECT_EQ(vox.GetFieldText(IDC_DIAG_CAL_TEMP0), "11.2500");
            diagnostics.TabButton(CDlgPopUpDiagnostics::PAGE_LEVEL).click();
            CCtrlPage_DiagsBase& level = diagnostics.Page(CDlgPopUpDiagnostics::PAGE_LEVEL);
            EXPECT_EQ(level.GetFieldText(IDC_DIAG_PRESSURE_OFFSET_LABEL), "Pressure Offset (kPa):");
            EXPECT_EQ(level.GetFieldText(IDC_DIAG_LEVEL_REFERENCE_LABEL), "Level Reference (ft):");
            EXPECT_EQ(level.GetFieldText(IDC_DIAG_PRESSURE_REFERENCE_LABEL), "Pressure Reference (kPa):");
            testsupport::SavePicture(diagnostics, "Diagnostics.Multi.LevelUnits");
            diagnostics.SendCommand(IDOK);
        });
}

TEST_F(ProbeInfoTest, DiagnosticsOfAPlainOpticalProbeHaveOnePageAndTheKeysDoNothing)
{
    ConnectTo(probesim::ProbeConfig(12, kSerial));
    CDlgPopUpDiagnostics diagnostics(&MainWindow().ProbeInfoPage());
    ASSERT_EQ(diagnostics.InitFromConnection(theProbeConnection), S_OK);
    testsupport::RunModal(diagnostics,
                          [&]
                          {
                              diagnostics.DispatchAccelerator(ID_ACCEL_NEXT);
                              diagnostics.DispatchAccelerator(ID_ACCEL_BACK);
                              testsupport::PumpEvents();
                              EXPECT_EQ(diagnostics.GetVisiblePage(), CDlgPopUpDiagnostics::PAGE_VOX);
                              EXPECT_FALSE(
                                  diagnostics.TabButton(CDlgPopUpDiagnostics::PAGE_COND).isVisible());
                              diagnostics.SendCommand(IDOK);
                          });
}

TEST_F(ProbeInfoTest, EscAndEnterInAFieldOfADiagnosticsPageStillEndTheWindow)
{
    ConnectTo(probesim::ProbeConfig(18, kSerial));
    const auto pressIn = [&](int page, Qt::Key key)
    {
        CDlgPopUpDiagnostics diagnostics(&MainWindow().ProbeInfoPage());
        EXPECT_EQ(diagnostics.InitFromConnection(theProbeConnection), S_OK);
        return testsupport::RunModal(diagnostics,
                                     [&]
                                     {
                                         diagnostics.TabButton(page).click();
                                         QWidget* field = diagnostics.Page(page).findChild<QLineEdit*>();
                                         ASSERT_NE(field, nullptr);
                                         field->setFocus();
                                         ASSERT_TRUE(
                                             testsupport::WaitUntil([&] { return field->hasFocus(); }));
                                         QTest::keyClick(field, key);
                                         // Should the key be lost, the window still ends, with a result of
                                         // its own.
                                         if (!testsupport::WaitUntil([&] { return !diagnostics.isVisible(); },
                                                                     std::chrono::milliseconds(500)))
                                             diagnostics.EndDialog(-2);
                                     });
    };
    EXPECT_EQ(pressIn(CDlgPopUpDiagnostics::PAGE_VOX, Qt::Key_Escape), IDCANCEL);
    EXPECT_EQ(pressIn(CDlgPopUpDiagnostics::PAGE_LEVEL, Qt::Key_Return), IDOK);
    EXPECT_EQ(pressIn(CDlgPopUpDiagnostics::PAGE_PHORP, Qt::Key_Enter), IDOK);
}

TEST_F(ProbeInfoTest, AnImageForAnotherDeviceTypeOrHardwareIsRefusedAndUpdateStaysDisabled)
{
    ConnectTo(probesim::ProbeConfig(12, kSerial));
    m_dialogs.QueueFile(WriteImage({.deviceType = 19}, "other-type.bin"));
    m_dialogs.QueueFile(
        WriteImage({.deviceType = 12, .lowestHardware = 2, .highestHardware = 5}, "new-hw.bin"));
    m_dialogs.QueueFile(QString::fromStdString((m_config.Path() / "missing.bin").string()));
    CDlgPopup_FirmwareUpdate popup(&MainWindow().ProbeInfoPage());
    testsupport::RunModal(popup,
                          [&]
                          {
                              for (int i = 0; i < 3; ++i)
                                  popup.SelectButton().click();
                              EXPECT_FALSE(popup.UpdateButton().isEnabled());
                              popup.SendCommand(IDCANCEL);
                          });
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Firmware not compatible with VOX PRO.");
    EXPECT_EQ(texts[1], "Firmware not compatible with hardware version 1.");
    EXPECT_EQ(texts[2], "Unable to read firmware header.");
    EXPECT_EQ(m_dialogs.MessageBoxes()[0].caption, "Invalid Firmware File");
}

TEST_F(ProbeInfoTest, AValidImageIsFlashedWithProgressAndTheNewVersionIsShown)
{
    ConnectForFlash();
    QueueUpgradeImage();
    m_dialogs.QueueAnswer(platform::IDYES);
    CDlgPopup_FirmwareUpdate popup(&MainWindow().ProbeInfoPage());
    popup.SetProgressPeriod(20);
    const int result = testsupport::RunModal(
        popup,
        [&]
        {
            popup.SelectButton().click();
            ASSERT_TRUE(popup.UpdateButton().isEnabled());
            testsupport::SavePicture(popup, "FirmwareUpdate.Chosen");
            popup.UpdateButton().click();
            EXPECT_FALSE(popup.SelectButton().isEnabled());
            EXPECT_EQ(popup.GetStatusText(), "Uploading firmware to VOX PRO...");
        },
        std::chrono::milliseconds(60000));
    EXPECT_EQ(result, IDOK) << ::testing::PrintToString(BoxTexts().size());
    ASSERT_GE(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts()[0],
              "Are you sure you want to upgrade the VOX PRO firmware from version 1.00 to version 2.50?");
    EXPECT_EQ(BoxTexts().back(), "Firmware successfully updated to version 2.50.");
    EXPECT_EQ(theProbeConnection.GetSlaveId().FirmwareVersion, 250);
}

TEST_F(ProbeInfoTest, OnceTheImageIsGoingOutACancelIsRefusedAndTheUpdateCompletes)
{
    // Slow blocks, so that the cancel comes while the image is going out.
    ConnectForFlash(std::chrono::milliseconds(40));
    QueueUpgradeImage(200);
    m_dialogs.QueueAnswer(platform::IDYES); // upgrade
    m_dialogs.QueueAnswer(platform::IDNO);  // the first cancel is taken back
    m_dialogs.QueueAnswer(platform::IDYES); // the second is meant
    CDlgPopup_FirmwareUpdate popup(&MainWindow().ProbeInfoPage());
    const int result =
        RunUpdate(popup, 20,
                  [&]
                  {
                      ASSERT_TRUE(testsupport::WaitUntil([&] { return popup.ProgressBar().value() > 0; }));
                      testsupport::SavePicture(popup, "FirmwareUpdate.Uploading");
                      popup.SendCommand(IDCANCEL);
                      EXPECT_EQ(popup.GetUploadState(), CFirmwareUpload::STATE_UPLOADING);
                      popup.SendCommand(IDCANCEL);
                  });
    EXPECT_EQ(result, IDOK);
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_TRUE(texts[1].startsWith("WARNING: Interrupting the firmware update"));
    EXPECT_TRUE(texts[3].startsWith("Unable to cancel firmware update.")) << texts[3].toStdString();
    EXPECT_EQ(texts[4], "Firmware successfully updated to version 2.50.");
    EXPECT_EQ(Probe().Boot().ImagesTaken(), 1u);
}

TEST_F(ProbeInfoTest, ACancelAfterTheFlashHasEndedShowsHowItEnded)
{
    ConnectForFlash();
    QueueUpgradeImage();
    m_dialogs.QueueAnswer(platform::IDYES);
    CDlgPopup_FirmwareUpdate popup(&MainWindow().ProbeInfoPage());
    // The progress timer does not come round before the cancel.
    const int result =
        RunUpdate(popup, 600000,
                  [&]
                  {
                      ASSERT_TRUE(testsupport::WaitUntil(
                          [&] { return popup.GetUploadState() == CFirmwareUpload::STATE_FINISHED; },
                          std::chrono::milliseconds(30000)));
                      popup.SendCommand(IDCANCEL);
                  });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(LastBoxText(), "Firmware successfully updated to version 2.50.");
}

// The flash ends while the user's question whether to interrupt it is still open: the popup's
// progress waits for the answer, and the end is told once, after it, whatever the answer was.
class FlashEndingUnderTheQuestionTest : public ProbeInfoTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(FlashEndingUnderTheQuestionTest, IsToldOnceAfterTheQuestion)
{
    ConnectForFlash();
    QueueUpgradeImage();
    m_dialogs.QueueAnswer(platform::IDYES); // upgrade
    CDlgPopup_FirmwareUpdate popup(&MainWindow().ProbeInfoPage());
    bool openWhenAnswered = false;
    m_dialogs.QueueLoopingAnswer(GetParam(),
                                 [&]
                                 {
                                     openWhenAnswered = popup.isVisible();
                                     return popup.GetUploadState() == CFirmwareUpload::STATE_FINISHED;
                                 });
    const int result = RunUpdate(popup, 10, [&] { popup.SendCommand(IDCANCEL); });

    EXPECT_TRUE(openWhenAnswered) << "the popup ended under its own question";
    EXPECT_EQ(result, IDOK);
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 3u) << LastBoxText().value_or(QString()).toStdString();
    EXPECT_TRUE(texts[1].startsWith("WARNING: Interrupting the firmware update"));
    EXPECT_EQ(texts[2], "Firmware successfully updated to version 2.50.");
    EXPECT_FALSE(m_dialogs.MessageBoxes()[2].overAnotherBox);
    EXPECT_EQ(Probe().Boot().ImagesTaken(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothAnswers, FlashEndingUnderTheQuestionTest,
                         ::testing::Values(platform::IDYES, platform::IDNO),
                         [](const ::testing::TestParamInfo<int>& param)
                         { return param.param == platform::IDYES ? "Yes" : "No"; });

TEST_F(ProbeInfoTest, ACancelWhileTheProbeRestartsLeavesItInItsBootCodeAndDisconnected)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.switchSilence = std::chrono::milliseconds(1000);
    ConnectTo(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    QueueUpgradeImage();
    m_dialogs.QueueAnswer(platform::IDYES); // upgrade
    m_dialogs.QueueAnswer(platform::IDYES); // cancel
    CHeldSwitch held(Probe());
    int result = -1;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* popup = qobject_cast<CDlgPopup_FirmwareUpdate*>(&modal);
            ASSERT_NE(popup, nullptr);
            popup->SelectButton().click();
            popup->UpdateButton().click();
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return Probe().Boot().Phase() == probesim::BootPhase::Switching; }));
            held.UntilTheFlashEnds(*theProbeConnection.GetProbe());
            popup->SendCommand(IDCANCEL);
            held.Join();
            // The popup has waited for the worker before it closed.
            EXPECT_EQ(popup->GetUploadState(), CFirmwareUpload::STATE_FINISHED);
            result = popup->result();
        });
    window.ProbeInfoPage().UpdateFirmwareButton().click();

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Probe().Boot().Phase(), probesim::BootPhase::BootCode);
    EXPECT_TRUE(Probe().Boot().ApplicationIntact());
    EXPECT_TRUE(HasBox("Firmware is not loaded on the probe"));
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

TEST_F(ProbeInfoTest, TheHiddenSerialNumberPopupRefusesBadNumbersAndTheResetBringsTheNewOneIn)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kSerial);
    config.restoreSilence = std::chrono::milliseconds(50);
    ConnectTo(config);
    CCtrlPage_ProbeInfo& page = MainWindow().ProbeInfoPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.GetSerialNumberText() == "4711"; }));
    EXPECT_FALSE(page.ApplySerialButton().isVisible());
    EXPECT_FALSE(page.ApplySerialButton().isEnabled());

    bool opened = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* popup = qobject_cast<CDlgPopup_ApplySerialNumber*>(&modal);
            ASSERT_NE(popup, nullptr);
            opened = true;
            EXPECT_FALSE(popup->ApplyButton().isEnabled());
            popup->Edit().setText(QStringLiteral("   "));
            EXPECT_FALSE(popup->ApplyButton().isEnabled());
            for (const char* refused : {"12a", "4294967296"})
            {
                popup->Edit().setText(QString::fromLatin1(refused));
                ASSERT_TRUE(popup->ApplyButton().isEnabled());
                popup->ApplyButton().click();
                EXPECT_TRUE(popup->isVisible()) << refused;
            }
            popup->Edit().setText(QStringLiteral(" 5150 "));
            testsupport::SavePicture(*popup, "ApplySerialNumber");
            popup->ApplyButton().click();
        });
    // The button is hidden; its command still reaches the page.
    page.SendCommand(IDC_APPLY_SERIAL_NUMBER);
    EXPECT_TRUE(opened);
    const QString refusal = "Invalid serial number.\nPlease enter a numeric value from 0 to 4294967295";
    EXPECT_EQ(BoxTexts(), (std::vector<QString>{refusal, refusal}));
    EXPECT_TRUE(theProbeConnection.IsConnected());
    EXPECT_EQ(page.GetSerialNumberText(), "5150");
}

TEST_F(ProbeInfoTest, AFactoryResetThatTheProbeDoesNotConfirmIsReportedAndTheWindowIsEnabledAgain)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kSerial);
    // Deaf after the restore for longer than the restore waits for it.
    config.restoreSilence = std::chrono::milliseconds(3000);
    ConnectTo(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    CCtrlPage_ProbeInfo& page = window.ProbeInfoPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !page.GetSerialNumberText().isEmpty(); }));
    m_dialogs.QueueAnswer(platform::IDYES);
    page.FactoryResetButton().click();

    ASSERT_GE(BoxTexts().size(), 2u);
    EXPECT_TRUE(BoxTexts()[1].startsWith("Failed to restore factory defaults\nError Code: "))
        << BoxTexts()[1].toStdString();
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(page.FactoryResetButton().isEnabled());
}

TEST_F(ProbeInfoTest, FactoryResetReconnectsAtTheFactorySettings)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kSerial);
    config.restoreSilence = std::chrono::milliseconds(50);
    ConnectTo(config);
    CCtrlPage_ProbeInfo& page = MainWindow().ProbeInfoPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !page.GetSerialNumberText().isEmpty(); }));
    const USHORT port = theProbeConnection.m_nPort.load();
    m_dialogs.QueueAnswer(platform::IDYES);
    page.FactoryResetButton().click();
    EXPECT_TRUE(theProbeConnection.IsConnected()) << ::testing::PrintToString(BoxTexts().size());
    EXPECT_EQ(theProbeConnection.m_nPort.load(), port);
    EXPECT_EQ(theProbeConnection.GetCommSettings().BaudId, COMM_BAUD_ID_19200);
    EXPECT_TRUE(MainWindow().isEnabled());
    EXPECT_EQ(page.GetSerialNumberText(), "4711");
    ASSERT_EQ(BoxTexts().size(), 1u) << LastBoxText().value_or(QString()).toStdString();
}

} // namespace
} // namespace apptest
