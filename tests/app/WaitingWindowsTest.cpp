// The serial work that the user waits for, against the simulated probe: the port search and the
// connect, Reset Comm, the factory reset and the end of a cancelled firmware update each run under
// the wait cursor while the window takes no click, key or close box, their messages come with the
// normal cursor, and they end as they did when the window froze.
#include <fstream>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>

#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/DlgPopupPortSettings.h"
#include "platform/SerialDevice.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/DeviceCommands.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/RequestFaults.h"
#include "ui/WaitForWork.h"

namespace apptest
{
namespace
{

using Page = CDlgFrame_TarnwickSoft::EPage;

bool WaitCursorShown()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

class WaitingWindowsTest : public AppWindowTest
{
protected:
    ~WaitingWindowsTest() override { theProbeConnection.SetResetPauseForTests(nullptr); }

    bool NoBoxUnderTheWaitCursor() const
    {
        for (const auto& box : m_dialogs.MessageBoxes())
            if (box.underWaitCursor)
                return false;
        return true;
    }
};

TEST_F(WaitingWindowsTest, TheConnectSearchesUnderTheWaitCursorAndTheWindowTakesNoSecondCommandMeanwhile)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    testsupport::WaitWatch watch(
        [&]
        {
            // A disconnect, a second connect, another page: none starts meanwhile (the last of
            // Connect and Disconnect is carried out after the wait, see below; the close box is
            // kept for after the wait, see OneOperationTest).
            QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
            QTest::mouseClick(&window.ConnectButton(), Qt::LeftButton);
            QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
            QTest::keyClick(&window, Qt::Key_Right, Qt::AltModifier);
            QTest::mouseClick(&window.TabButton(Page::PAGE_PROBE_INFO), Qt::LeftButton);
            EXPECT_FALSE(theProbeConnection.IsConnected());
        });
    window.ConnectButton().click();
    testsupport::PumpEvents();

    EXPECT_GE(watch.Count(), 1);
    EXPECT_EQ(watch.Nested(), 0);
    EXPECT_TRUE(watch.AllUnderWaitCursor());
    EXPECT_FALSE(WaitCursorShown());
    EXPECT_TRUE(theProbeConnection.IsConnected());
    EXPECT_EQ(window.ConnectButton().text(), "Disconnect");
    EXPECT_EQ(window.GetVisiblePage(), Page::PAGE_LIVE_DATA);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.IsKeepAliveRunning());
    EXPECT_TRUE(BoxTexts().empty());
}

// Alt+C, then Alt+D (and Alt+C again) while the port search runs: the last of them is carried
// out once the connect is over.
TEST_F(WaitingWindowsTest, TheLastOfConnectAndDisconnectGivenDuringThePortSearchWins)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    const auto connectWithKeysDuringTheSearch = [&](std::initializer_list<Qt::Key> keys)
    {
        // The search is the connect's first wait.
        testsupport::WaitWatch watch(
            [&]
            {
                for (const Qt::Key key : keys)
                    QTest::keyClick(&window, key, Qt::AltModifier);
            });
        QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return watch.Count() >= 1; }));
        ASSERT_TRUE(testsupport::DeliverPostedMessages());
        ASSERT_TRUE(testsupport::DeliverHeldWork());
        EXPECT_EQ(watch.Inside(), 0);
    };

    connectWithKeysDuringTheSearch({Qt::Key_D});
    EXPECT_FALSE(theProbeConnection.IsConnected()) << "Alt+D came last";
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
    EXPECT_FALSE(window.IsKeepAliveRunning());

    connectWithKeysDuringTheSearch({Qt::Key_D, Qt::Key_C});
    EXPECT_TRUE(theProbeConnection.IsConnected()) << "Alt+C came last";
    EXPECT_EQ(window.ConnectButton().text(), "Disconnect");
    EXPECT_TRUE(window.IsKeepAliveRunning());
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

// A dialog in the main window that counts the news of a connect, as a page hears it.
class CConnectNews : public CNVDialog
{
public:
    int m_nConnects = 0;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == windowmsg::WM_DEVICE_CONNECTED)
            ++m_nConnects;
        return CNVDialog::OnMessage(message, wParam, lParam);
    }
};

// The close box, then a click on Connect, while the port search runs: the program ends without
// connecting again, and with the probe gone no port popup opens after the close.
class CloseThenConnectDuringTheSearch : public WaitingWindowsTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(CloseThenConnectDuringTheSearch, EndsTheProgramWithoutConnectingAgain)
{
    const bool probeGone = GetParam();
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    CConnectNews news;
    news.Create(&window);
    QString popup;
    QTimer popups;
    QObject::connect(&popups, &QTimer::timeout, &popups,
                     [&]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal == nullptr || modal == &window || ui::IsWaitingForWork())
                             return;
                         popup = QString::fromUtf8(modal->metaObject()->className());
                         if (auto* dialog = qobject_cast<CNVDialog*>(modal))
                             dialog->SendCommand(IDCANCEL);
                     });
    popups.start(10);
    testsupport::WaitWatch watch(
        [&]
        {
            testsupport::ClickCloseBox(window);
            QTest::mouseClick(&window.ConnectButton(), Qt::LeftButton);
            if (probeGone)
                StopProbe();
        });
    window.ConnectButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }, std::chrono::seconds(20)));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    popups.stop();

    EXPECT_GE(watch.Count(), 1);
    EXPECT_EQ(watch.Inside(), 0);
    EXPECT_EQ(window.result(), IDCANCEL);
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_EQ(news.m_nConnects, 0) << "the connect under way gave way to the close";
    EXPECT_TRUE(popup.isEmpty()) << popup.toStdString();
}

INSTANTIATE_TEST_SUITE_P(ProbeThereOrGone, CloseThenConnectDuringTheSearch, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param)
                         { return param.param ? "ProbeGone" : "ProbeThere"; });

// Alt+D while the connect opens a probe that runs no application firmware: the connect ends
// without offering the update, and the port it opened is let go, free for the next opener at once.
TEST_F(WaitingWindowsTest, ADisconnectDuringTheConnectToAProbeWithoutFirmwareLetsThePortGo)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.startInBoot = true;
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    // Boot code does not answer the search's read: the port is chosen by hand, and Alt+D comes in
    // the connect's wait after that.
    bool portChosen = false;
    int disconnectsGiven = 0;
    ui::SetWaitObserverForTests(
        [&]
        {
            if (!portChosen || disconnectsGiven != 0)
                return;
            // The window's shortcuts work once it is the active window again after the popup.
            window.activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }));
            QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
            ++disconnectsGiven;
        });
    QStringList popups;
    QTimer modals;
    QObject::connect(&modals, &QTimer::timeout, &modals,
                     [&]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal == nullptr || modal == &window || ui::IsWaitingForWork())
                             return;
                         popups << QString::fromUtf8(modal->metaObject()->className());
                         auto* ports = qobject_cast<CDlgPopup_PortSettings*>(modal);
                         if (ports == nullptr || portChosen)
                         {
                             if (auto* dialog = qobject_cast<CNVDialog*>(modal))
                                 dialog->SendCommand(IDCANCEL);
                             return;
                         }
                         CNVComboBox& list = ports->List(CPortSettingsChoice::LIST_PORT);
                         list.setCurrentIndex(
                             list.findText(QString::fromStdString(Sim().SlavePath()), Qt::MatchContains));
                         portChosen = true;
                         ports->SendCommand(IDOK);
                     });
    modals.start(10);
    window.ConnectButton().click();
    modals.stop();
    ui::SetWaitObserverForTests(nullptr);
    ASSERT_TRUE(testsupport::DeliverHeldWork());

    EXPECT_EQ(disconnectsGiven, 1);
    EXPECT_EQ(popups, QStringList{"CDlgPopup_PortSettings"}) << "no firmware update offered";
    EXPECT_TRUE(HasBox("No firmware is running on the connected VOX PRO. Firmware update required."));
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_EQ(theProbeConnection.GetModbus(), nullptr);
    platform::CSerialDevice next; // exclusive, as every opener of the port
    EXPECT_EQ(next.Open(Sim().SlavePath()), 0);
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

TEST_F(WaitingWindowsTest, TheConnectsMessagesComeWithTheNormalCursorBeforeThePopupThatFollowsThem)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.startInBoot = true;
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    size_t boxesWhenOffered = 0;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* ports = qobject_cast<CDlgPopup_PortSettings*>(&modal);
            ASSERT_NE(ports, nullptr);
            EXPECT_FALSE(WaitCursorShown()) << "the popup waits for the user";
            CNVComboBox& list = ports->List(CPortSettingsChoice::LIST_PORT);
            list.setCurrentIndex(list.findText(QString::fromStdString(Sim().SlavePath()), Qt::MatchContains));
            OnNextModal(
                [&](QWidget& next)
                {
                    boxesWhenOffered = BoxTexts().size();
                    static_cast<CNVDialog&>(next).SendCommand(IDCANCEL);
                });
            static_cast<CNVDialog&>(modal).SendCommand(IDOK);
        });
    testsupport::WaitWatch watch;
    window.ConnectButton().click();

    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "No firmware is running on the connected VOX PRO. Firmware update required.");
    EXPECT_EQ(boxesWhenOffered, 1u) << "the firmware popup comes after the message";
    EXPECT_TRUE(NoBoxUnderTheWaitCursor());
    // The search, the connect after the popup, the disconnect after the firmware popup.
    EXPECT_EQ(watch.Count(), 3);
    EXPECT_TRUE(watch.AllUnderWaitCursor());
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_EQ(theProbeConnection.GetProbe(), nullptr);
}

TEST_F(WaitingWindowsTest, ResetCommWaitsForItsBroadcastWithThePopupDeafAndReportsWithTheNormalCursor)
{
    StartProbe(12);
    std::vector<ULONG> pauses;
    // The sweep's pauses on the worker, not slept: the broadcast itself is what is waited for.
    theProbeConnection.SetResetPauseForTests([&pauses](ULONG ms) { pauses.push_back(ms); });
    CDlgPopup_PortSettings popup(&MainWindow());
    const int result = testsupport::RunModal(
        popup,
        [&]
        {
            CNVComboBox& list = popup.List(CPortSettingsChoice::LIST_PORT);
            list.setCurrentIndex(list.findText(QString::fromStdString(Sim().SlavePath()), Qt::MatchContains));
            popup.List(CPortSettingsChoice::LIST_BAUD).setCurrentIndex(0);
            auto* reset = qobject_cast<QPushButton*>(popup.GetDlgItem(IDC_RESET_COMM));
            ASSERT_NE(reset, nullptr);
            testsupport::WaitWatch watch(
                [&]
                {
                    QTest::mouseClick(reset, Qt::LeftButton);
                    QTest::mouseClick(qobject_cast<QPushButton*>(popup.GetDlgItem(IDOK)), Qt::LeftButton);
                    QTest::keyClick(&popup, Qt::Key_Escape);
                    testsupport::ClickCloseBox(popup);
                    testsupport::SavePicture(popup, "PortSettings.ResetComm");
                });
            QTest::mouseClick(reset, Qt::LeftButton);
            EXPECT_EQ(watch.Count(), 1);
            EXPECT_EQ(watch.Nested(), 0);
            EXPECT_TRUE(watch.AllUnderWaitCursor());
            EXPECT_TRUE(popup.isVisible());
            EXPECT_EQ(popup.List(CPortSettingsChoice::LIST_BAUD).currentText(), "19200");
            popup.SendCommand(IDCANCEL);
        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(pauses.empty());
    EXPECT_EQ(BoxTexts(), (std::vector<QString>{"Communication settings reset to defaults successfully."}));
    EXPECT_TRUE(NoBoxUnderTheWaitCursor());
}

TEST_F(WaitingWindowsTest, TheFactoryResetWaitsWithTheWindowDisabledAndDeafAndReportsWithTheNormalCursor)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kSerial);
    config.restoreSilence = std::chrono::milliseconds(50);
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_PROBE_INFO);
    ConnectByButton();
    CCtrlPage_ProbeInfo& page = window.ProbeInfoPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !page.GetSerialNumberText().isEmpty(); }));

    bool disabledMeanwhile = false;
    {
        testsupport::WaitWatch watch(
            [&]
            {
                disabledMeanwhile = !window.isEnabled();
                QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
                testsupport::ClickCloseBox(window);
            });
        m_dialogs.QueueAnswer(platform::IDYES);
        page.FactoryResetButton().click();
        EXPECT_EQ(watch.Nested(), 0);
        EXPECT_GE(watch.Count(), 1);
        EXPECT_TRUE(watch.AllUnderWaitCursor());
    }
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(theProbeConnection.IsConnected());
    EXPECT_EQ(window.ConnectButton().text(), "Disconnect");
    EXPECT_EQ(page.GetSerialNumberText(), "4711");

    // A restore that the probe refuses: its message comes with the normal cursor.
    Sim().RequestFaults().Refuse(probesim::RequestMatch::Write(probesim::kDeviceCommandRegister),
                                 probesim::ExceptionCode::IllegalDataValue);
    m_dialogs.QueueAnswer(platform::IDYES);
    page.FactoryResetButton().click();
    ASSERT_EQ(BoxTexts().size(), 3u);
    EXPECT_TRUE(BoxTexts()[2].startsWith("Failed to restore factory defaults\nError Code: "))
        << BoxTexts()[2].toStdString();
    EXPECT_TRUE(NoBoxUnderTheWaitCursor());
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(WaitingWindowsTest, ACancelledFirmwareUpdateWaitsForItsWorkerWithThePopupDeaf)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.switchSilence = std::chrono::milliseconds(1000);
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_PROBE_INFO);
    ConnectByButton();
    const std::filesystem::path image = m_config.Path() / "upgrade.bin";
    const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage(
        {.deviceType = 12, .firmwareVersion = 250, .lowestHardware = 1, .highestHardware = 1, .records = 8});
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    m_dialogs.QueueFile(QString::fromStdString(image.string()));
    m_dialogs.QueueAnswer(platform::IDYES); // upgrade
    m_dialogs.QueueAnswer(platform::IDYES); // cancel
    CHeldSwitch held(Probe());

    CDlgPopup_FirmwareUpdate popup(&window.ProbeInfoPage());
    CFirmwareUpload::EState stateMeanwhile = CFirmwareUpload::STATE_IDLE;
    int waits = 0;
    int nested = 0;
    const int result = testsupport::RunModal(
        popup,
        [&]
        {
            popup.SelectButton().click();
            popup.UpdateButton().click();
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return Probe().Boot().Phase() == probesim::BootPhase::Switching; }));
            held.UntilTheFlashEnds(*theProbeConnection.GetProbe());
            testsupport::WaitWatch watch(
                [&]
                {
                    stateMeanwhile = popup.GetUploadState();
                    QTest::mouseClick(qobject_cast<QPushButton*>(popup.GetDlgItem(IDCANCEL)), Qt::LeftButton);
                    QTest::keyClick(&popup, Qt::Key_Escape);
                    testsupport::ClickCloseBox(popup);
                });
            popup.SendCommand(IDCANCEL);
            held.Join();
            waits = watch.Count();
            nested = watch.Nested();
            EXPECT_TRUE(watch.AllUnderWaitCursor());
        },
        std::chrono::milliseconds(30000));
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(stateMeanwhile, CFirmwareUpload::STATE_UPLOADING) << "the worker was still flashing";
    EXPECT_EQ(popup.GetUploadState(), CFirmwareUpload::STATE_FINISHED);
    // The question to upgrade and the one to cancel; a cancel the popup took during the wait would
    // have asked once more.
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_TRUE(NoBoxUnderTheWaitCursor());
}

} // namespace
} // namespace apptest
