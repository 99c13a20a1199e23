// The program's main window against the simulated probe: connecting through the port search, the
// information page, the keyboard, a lost link, closing while connected, a probe in boot code.
#include <fstream>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/main/AppIcon.h"
#include "app/main/Startup.h"
#include "app/popups/DlgPopupAbout.h"
#include "app/popups/DlgPopupConfigureDataLog.h"
#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/DlgPopupPortSettings.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/PathTools.h"
#include "platform/SettingsStore.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "ui/QtText.h"
#include "ui/Skin.h"

namespace apptest
{
namespace
{

using Page = CDlgFrame_TarnwickSoft::EPage;

class MainWindowTest : public AppWindowTest
{
protected:
    // Picks the item that begins with the text in the next popup menu that opens, as a click would.
    static void OnNextMenu(const QString& item)
    {
        auto* timer = new QTimer();
        QObject::connect(timer, &QTimer::timeout, timer,
                         [timer, item]
                         {
                             auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                             if (menu == nullptr)
                                 return;
                             timer->stop();
                             timer->deleteLater();
                             for (QAction* action : menu->actions())
                                 if (action->text().startsWith(item))
                                     menu->setActiveAction(action);
                             QTest::keyClick(menu, Qt::Key_Return);
                         });
        timer->start(10);
    }
    // Reads the About box that opens next and closes it.
    void ReadNextAbout(QString& text, const char* picture = nullptr)
    {
        OnNextModal(
            [&text, picture](QWidget& modal)
            {
                auto* about = qobject_cast<CDlgPopup_About*>(&modal);
                ASSERT_NE(about, nullptr);
                text = about->GetVersionText();
                if (picture != nullptr)
                    testsupport::SavePicture(*about, picture);
                about->SendCommand(IDOK);
            });
    }
};

// A dialog inside the main window that takes Alt+Up and lets everything else pass, as a page does.
class CSpyPage : public CNVDialog
{
public:
    CSpyPage() { SetCenterOnParent(FALSE); }
    std::vector<UINT> m_commands;

protected:
    BOOL OnCommand(UINT id) override
    {
        m_commands.push_back(id);
        return id == ID_ACCEL_PARAM_UP ? TRUE : CNVDialog::OnCommand(id);
    }
};

TEST_F(MainWindowTest, ConnectFindsTheProbeAndTheInformationPageShowsIt)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    testsupport::SavePicture(window, "MainWindow.Disconnected");
    EXPECT_EQ(window.ConnectButton().text(), "Connect");

    ConnectByButton();
    EXPECT_EQ(window.ConnectButton().text(), "Disconnect");
    EXPECT_EQ(window.ConnectButton().toolTip(), "Alt+D");
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0),
              static_cast<int>(Port()));
    EXPECT_EQ(
        ui::ToQString(GetProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(0), u"")),
        "19200,8,E,1,RTU,1");
    EXPECT_TRUE(window.IsKeepAliveRunning());

    window.TabButton(Page::PAGE_PROBE_INFO).click();
    CCtrlPage_ProbeInfo& info = window.ProbeInfoPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !info.GetSerialNumberText().isEmpty(); }));
    EXPECT_EQ(info.GetSerialNumberText(), "4711");
    EXPECT_EQ(info.GetProbeTypeText(), "VOX PRO");
    EXPECT_EQ(info.GetFirmwareText(), "1.00");
    EXPECT_TRUE(info.DiagnosticsButton().isEnabled());
    EXPECT_FALSE(info.ApplySerialButton().isVisible());

    const char* names[] = {"MainWindow.LiveData", "MainWindow.Communication", "MainWindow.SensorSetup",
                           "MainWindow.ProbeInfo"};
    for (int page = 0; page < CDlgFrame_TarnwickSoft::PAGE_COUNT; ++page)
    {
        window.TabButton(page).click();
        testsupport::PumpEvents();
        EXPECT_EQ(window.GetVisiblePage(), page);
        testsupport::SavePicture(window, names[page]);
    }
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(MainWindowTest, AltCAndAltDConnectAndDisconnectAndEveryPageForgetsTheProbe)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_PROBE_INFO);
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() != FALSE; }));
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return !window.ProbeInfoPage().GetSerialNumberText().isEmpty(); }));

    // Alt+C while connected does nothing.
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    testsupport::PumpEvents();
    EXPECT_TRUE(theProbeConnection.IsConnected());

    QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return window.ProbeInfoPage().GetSerialNumberText().isEmpty(); }));
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
    EXPECT_EQ(window.GetVisiblePage(), Page::PAGE_LIVE_DATA);
    EXPECT_FALSE(window.ProbeInfoPage().DiagnosticsButton().isEnabled());
}

TEST_F(MainWindowTest, LeavingAPageThatLogsToAFileAsksFirstAndNoKeepsTheLogging)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    CCtrlPage_LiveData& live = window.LiveDataPage();
    live.LogToFileBox().setChecked(true);
    OnNextModal(
        [this](QWidget& modal)
        {
            auto* popup = dynamic_cast<CDlgPopup_ConfigureDataLog*>(&modal);
            ASSERT_NE(popup, nullptr);
            popup->FileNameEdit().setText(QStringLiteral("tabs"));
            popup->FolderEdit().setText(QString::fromStdString(m_config.Path().string()));
            popup->SendCommand(IDOK);
        });
    live.StartStopButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return live.IsReading() != FALSE; }));

    m_dialogs.QueueAnswer(platform::IDNO);
    window.TabButton(Page::PAGE_PROBE_INFO).click();
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().back(), "Data logging will terminate.\nContinue?");
    EXPECT_EQ(window.GetVisiblePage(), Page::PAGE_LIVE_DATA);
    EXPECT_TRUE(live.IsReading());
    EXPECT_TRUE(live.IsLoggingToFile());

    m_dialogs.QueueAnswer(platform::IDYES);
    window.TabButton(Page::PAGE_PROBE_INFO).click();
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(window.GetVisiblePage(), Page::PAGE_PROBE_INFO);
    EXPECT_FALSE(live.IsReading());

    // Without logging, leaving asks nothing.
    window.TabButton(Page::PAGE_LIVE_DATA).click();
    window.TabButton(Page::PAGE_COMMUNICATION).click();
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(window.GetVisiblePage(), Page::PAGE_COMMUNICATION);
}

TEST_F(MainWindowTest, EscWhileLiveDataIsReadingStopsTheReadingBeforeTheLinkGoes)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    CCtrlPage_LiveData& live = window.LiveDataPage();
    live.StartStopButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return live.IsReading() != FALSE; }));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(live.IsReading());
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }));
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

TEST_F(MainWindowTest, AltRightAndAltLeftWalkThePagesInACircle)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    const int expectedForward[] = {Page::PAGE_COMMUNICATION, Page::PAGE_SENSOR_SETUP, Page::PAGE_PROBE_INFO,
                                   Page::PAGE_LIVE_DATA};
    for (const int expected : expectedForward)
    {
        QTest::keyClick(&window, Qt::Key_Right, Qt::AltModifier);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return window.GetVisiblePage() == expected; }));
        EXPECT_TRUE(window.TabButton(expected).IsPressed());
    }
    QTest::keyClick(&window, Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return window.GetVisiblePage() == Page::PAGE_PROBE_INFO; }));
    EXPECT_FALSE(window.TabButton(Page::PAGE_LIVE_DATA).IsPressed());
}

TEST_F(MainWindowTest, TheKeysGoToThePageWithTheFocusFirstAndWhatItLeavesToTheWindow)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    CSpyPage spy;
    spy.Create(&window);
    QLineEdit edit(&spy);
    spy.show();
    edit.setFocus();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return edit.hasFocus(); }));

    QTest::keyClick(&window, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(spy.m_commands, std::vector<UINT>{ID_ACCEL_PARAM_UP});
    QTest::keyClick(&window, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(spy.m_commands.back(), ID_ACCEL_NEXT);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return window.GetVisiblePage() == Page::PAGE_COMMUNICATION; }));
    spy.DestroyWindow();
}

TEST_F(MainWindowTest, AboutOpensFromTheMenuOfARightClickOnAPageAndFromF1)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    const QString expected =
        QStringLiteral("Tarnwick Software version ") + ui::ToQString(GetProgramVersion());
    CCtrlPage_ProbeInfo& page = window.ProbeInfoPage();
    window.ShowPage(Page::PAGE_PROBE_INFO);

    QString fromKey;
    ReadNextAbout(fromKey);
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !fromKey.isEmpty(); }));
    EXPECT_EQ(fromKey, expected);

    // A right click lands on the page, which covers most of the window.
    QString fromMenu;
    ReadNextAbout(fromMenu, "About");
    OnNextMenu(QStringLiteral("About Tarnwick Software..."));
    const QPoint inside(page.width() / 2, page.height() - 5);
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, page.mapToGlobal(inside));
    QApplication::sendEvent(&page, &click);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !fromMenu.isEmpty(); }));
    EXPECT_EQ(fromMenu, expected);
}

TEST_F(MainWindowTest, AWindowClosedWhileMinimizedReopensWhereItStoodBefore)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    // A place where the whole window fits on the screen, so that it is kept.
    window.move(20, 30);
    testsupport::PumpEvents();
    const QPoint before = window.pos();
    window.showMinimized();
    testsupport::PumpEvents();
    // A window manager may park an iconified window anywhere.
    window.move(3000, 2000);
    testsupport::PumpEvents();
    window.close();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }));

    CDlgFrame_TarnwickSoft reopened;
    reopened.Create(nullptr);
    reopened.show();
    testsupport::PumpEvents();
    EXPECT_EQ(reopened.pos(), before);
    reopened.SendCommand(SC_CLOSE_COMMAND);
}

TEST_F(MainWindowTest, AProbeThatFallsSilentIsReportedLostAndTheButtonReturnsToConnect)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    StopProbe();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return HasBox("Device connection lost."); }));
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return window.ConnectButton().text() == "Connect"; }));
}

TEST_F(MainWindowTest, AQuickReconnectIsNotTornDownByTheKeepAliveOfTheConnectionBefore)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    for (int round = 0; round < 3; ++round)
    {
        // Disconnect and connect again before the window handles anything in between, as two quick
        // clicks do while the keep-alive of the first connection is between two reads.
        window.ConnectButton().click();
        ASSERT_FALSE(theProbeConnection.IsConnected());
        window.ConnectButton().click();
        ASSERT_TRUE(theProbeConnection.IsConnected());
        // Several keep-alive periods: whatever the first connection's keep-alive posted arrives.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        testsupport::WaitUntil([&] { return std::chrono::steady_clock::now() >= until; });
        EXPECT_TRUE(theProbeConnection.IsConnected()) << "round " << round;
        EXPECT_FALSE(HasBox("Device connection lost.")) << "round " << round;
        EXPECT_EQ(window.ConnectButton().text(), "Disconnect");
    }
}

TEST_F(MainWindowTest, ALostLinkMessageOfAnEarlierConnectionLeavesTheCurrentOneAlone)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    const ULONG first = theProbeConnection.GetConnectionId();
    window.ConnectButton().click();
    testsupport::PumpEvents();
    ConnectByButton();
    ASSERT_NE(theProbeConnection.GetConnectionId(), first);

    window.PostNotify(windowmsg::WM_CONNECTION_LOST, first);
    testsupport::PumpEvents();
    EXPECT_TRUE(theProbeConnection.IsConnected());
    EXPECT_TRUE(BoxTexts().empty());

    // The current connection's own loss still ends it.
    window.PostNotify(windowmsg::WM_CONNECTION_LOST, theProbeConnection.GetConnectionId());
    EXPECT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
    EXPECT_TRUE(HasBox("Device connection lost."));
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

TEST_F(MainWindowTest, ClosingWhileConnectedDisconnectsFirstAndThenClosesAndKeepsThePosition)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    window.move(123, 77);
    testsupport::PumpEvents();

    window.close();
    // The close box disconnects and waits for the retry; the window is still there.
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }));
    EXPECT_EQ(GetProfileInt(u"", u"WinPos_x", -1), window.pos().x());
    EXPECT_EQ(GetProfileInt(u"", u"WinPos_y", -1), window.pos().y());
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(MainWindowTest, EscTakesThePathOfTheCloseBox)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }));
    // Enter never closes the window.
}

TEST_F(MainWindowTest, EscDisconnectsAndClosesWithoutStoringThePosition)
{
    StartProbe(12);
    {
        CDlgFrame_TarnwickSoft& window = MainWindow();
        ConnectByButton();
        window.move(33, 44);
        testsupport::PumpEvents();
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_FALSE(theProbeConnection.IsConnected());
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }));
        // Also after the close box's retry would have come.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3 * CLOSE_RETRY_MS);
        testsupport::WaitUntil([&] { return std::chrono::steady_clock::now() >= until; });
        EXPECT_EQ(GetProfileInt(u"", u"WinPos_x", -1), -1);
        EXPECT_EQ(GetProfileInt(u"", u"WinPos_y", -1), -1);
    }
    // Disconnected, Esc ends the window at once, and stores nothing either.
    CDlgFrame_TarnwickSoft second;
    second.Create(nullptr);
    ASSERT_TRUE(testsupport::ShowAndActivate(second));
    second.move(55, 66);
    testsupport::PumpEvents();
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !second.isVisible(); }));
    EXPECT_EQ(GetProfileInt(u"", u"WinPos_x", -1), -1);
}

TEST_F(MainWindowTest, AStoredPositionOffTheScreenOpensTheWindowWhollyOnTheAvailableScreen)
{
    const auto openAt = [](int x, int y)
    {
        WriteProfileInt(u"", u"WinPos_x", x);
        WriteProfileInt(u"", u"WinPos_y", y);
        auto window = std::make_unique<CDlgFrame_TarnwickSoft>();
        window->Create(nullptr);
        window->show();
        testsupport::PumpEvents();
        return window;
    };
    for (const QPoint stored : {QPoint(100000, -49998), QPoint(-3000, 200000), QPoint(-40, -30)})
    {
        const std::unique_ptr<CDlgFrame_TarnwickSoft> window = openAt(stored.x(), stored.y());
        const QRect available = window->screen()->availableGeometry();
        EXPECT_TRUE(available.contains(window->frameGeometry()))
            << stored.x() << "," << stored.y() << " opened at " << window->frameGeometry().x() << ","
            << window->frameGeometry().y();
        window->SendCommand(SC_CLOSE_COMMAND);
    }
    // A position where the window fits is kept as it was.
    const std::unique_ptr<CDlgFrame_TarnwickSoft> window = openAt(12, 21);
    EXPECT_EQ(window->pos(), QPoint(12, 21));
    window->SendCommand(SC_CLOSE_COMMAND);
}

TEST_F(MainWindowTest, ASkinIconThatCannotBeReadLeavesTheBuiltInIconAndAReadableOneIsTaken)
{
    const std::filesystem::path broken = m_config.Path() / "broken.ico";
    std::ofstream(broken) << "not a picture";
    const std::filesystem::path readable = m_config.Path() / "skin.png";
    QPixmap picture(24, 24);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString(readable.string()), "PNG"));

    const auto iconSizesWith = [](const std::filesystem::path& file)
    {
        g_Skin.iconImage = CWideString(QString::fromStdString(file.string()).toStdU16String().c_str());
        CDlgFrame_TarnwickSoft window;
        window.Create(nullptr);
        const QList<QSize> sizes = window.windowIcon().availableSizes();
        window.DestroyWindow();
        return sizes;
    };
    const QList<QSize> builtIn = AppIcon().availableSizes();
    ASSERT_FALSE(builtIn.isEmpty());
    EXPECT_EQ(iconSizesWith(broken), builtIn);
    EXPECT_EQ(iconSizesWith(readable), QList<QSize>{QSize(24, 24)});
    g_Skin.iconImage = CWideString();
}

TEST_F(MainWindowTest, EnterDoesNotCloseTheWindow)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    QTest::keyClick(&window, Qt::Key_Return);
    testsupport::PumpEvents();
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, WithNoProbeThePortSettingsPopupOpensAndCancelLeavesEverythingDisconnected)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    bool opened = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* popup = qobject_cast<CDlgPopup_PortSettings*>(&modal);
            opened = popup != nullptr;
            if (popup != nullptr)
                testsupport::SavePicture(*popup, "PortSettings.NoProbe");
            static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
        });
    window.ConnectButton().click();
    EXPECT_TRUE(opened);
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

TEST_F(MainWindowTest, AProbeInBootCodeIsOfferedTheFirmwareUpdateAndCancelLeavesItDisconnected)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.startInBoot = true;
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    // Boot code does not answer the search's read: the port is chosen by hand.
    bool offered = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* ports = qobject_cast<CDlgPopup_PortSettings*>(&modal);
            ASSERT_NE(ports, nullptr);
            CNVComboBox& list = ports->List(CPortSettingsChoice::LIST_PORT);
            list.setCurrentIndex(list.findText(QString::fromStdString(Sim().SlavePath()), Qt::MatchContains));
            OnNextModal(
                [&](QWidget& next)
                {
                    offered = qobject_cast<CDlgPopup_FirmwareUpdate*>(&next) != nullptr;
                    if (offered)
                        testsupport::SavePicture(next, "FirmwareUpdate.BootCode");
                    static_cast<CNVDialog&>(next).SendCommand(IDCANCEL);
                });
            static_cast<CNVDialog&>(modal).SendCommand(IDOK);
        });
    window.ConnectButton().click();
    EXPECT_TRUE(HasBox("No firmware is running on the connected VOX PRO. Firmware update required."))
        << ::testing::PrintToString(BoxTexts().size());
    EXPECT_TRUE(offered);
    EXPECT_FALSE(theProbeConnection.IsConnected());
    EXPECT_EQ(theProbeConnection.GetProbe(), nullptr);
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

TEST_F(MainWindowTest, AProbeInBootCodeThatTakesTheFirmwareIsConnectedAfterwards)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.startInBoot = true;
    config.boot.switchSilence = std::chrono::milliseconds(50);
    config.boot.rebootSilence = std::chrono::milliseconds(50);
    StartProbe(config);
    const std::filesystem::path image = m_config.Path() / "boot.bin";
    const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage(
        {.deviceType = 12, .firmwareVersion = 250, .lowestHardware = 1, .highestHardware = 1, .records = 8});
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    m_dialogs.QueueFile(QString::fromStdString(image.string()));

    CDlgFrame_TarnwickSoft& window = MainWindow();
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* ports = qobject_cast<CDlgPopup_PortSettings*>(&modal);
            ASSERT_NE(ports, nullptr);
            CNVComboBox& list = ports->List(CPortSettingsChoice::LIST_PORT);
            list.setCurrentIndex(list.findText(QString::fromStdString(Sim().SlavePath()), Qt::MatchContains));
            OnNextModal(
                [this](QWidget& next)
                {
                    auto* firmware = qobject_cast<CDlgPopup_FirmwareUpdate*>(&next);
                    ASSERT_NE(firmware, nullptr);
                    firmware->SetProgressPeriod(20);
                    firmware->SelectButton().click();
                    if (!firmware->UpdateButton().isEnabled())
                    {
                        ADD_FAILURE() << "the image is refused";
                        firmware->SendCommand(IDCANCEL);
                        return;
                    }
                    // The upgrade's question.
                    m_dialogs.QueueAnswer(platform::IDYES);
                    firmware->UpdateButton().click();
                });
            static_cast<CNVDialog&>(modal).SendCommand(IDOK);
        });
    window.ConnectButton().click();
    EXPECT_TRUE(HasBox("Firmware successfully updated to version 2.50."))
        << ::testing::PrintToString(BoxTexts().size());
    EXPECT_TRUE(theProbeConnection.IsConnected());
    EXPECT_EQ(theProbeConnection.GetSlaveId().RunIndicator, SLAVEID_RUN_APPLICATION);
    EXPECT_EQ(theProbeConnection.GetSlaveId().FirmwareVersion, 250);
    EXPECT_EQ(window.ConnectButton().text(), "Disconnect");
    EXPECT_TRUE(window.IsKeepAliveRunning());
}

TEST_F(MainWindowTest, TheCommunicationPageEnablesOnlyTheInterfacesTheProbeHas)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.sdi12Supported = false;
    config.analogOutputSupported = true;
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_COMMUNICATION);
    CCtrlPage_Communication& page = window.CommunicationPage();
    EXPECT_FALSE(page.ModbusButton().isEnabled());
    EXPECT_FALSE(page.AnalogButton().isEnabled());

    ConnectByButton();
    window.ShowPage(Page::PAGE_COMMUNICATION);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.ModbusButton().isEnabled(); }));
    EXPECT_FALSE(page.Sdi12Button().isEnabled());
    EXPECT_TRUE(page.AnalogButton().isEnabled());
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

QString RefusalText(const std::filesystem::path& file)
{
    return "The change was not saved to the settings file " + QString::fromStdString(file.string()) +
           ": the file would exceed 1\u00A0MiB.";
}

// With the settings file full, the start-up is one change: what the defaults, the window's creation
// and its first news to the pages write on their own is told in one box, over the main window once
// that is shown, never before it nor alone in a corner of the screen. The file keeps its bytes.
TEST_F(MainWindowTest, AFullSettingsFileIsToldOnceAtStartUpOverTheShownMainWindow)
{
    // Without the defaults and the live page's values; another program's value fills the file to a
    // few bytes below the bound (1 MiB in tests).
    const std::filesystem::path user = m_config.Path() / "user.reg";
    std::filesystem::remove(user);
    testsupport::FillUserHiveTo(user, 5);
    const std::string before = ReadFile(user);
    bool ownerShownAtTheBox = false;
    m_dialogs.QueueLoopingAnswer(platform::IDOK, nullptr,
                                 [&]
                                 {
                                     const QWidget* owner = m_dialogs.MessageBoxes().back().owner;
                                     ownerShownAtTheBox = owner != nullptr && owner->isVisible();
                                 });

    // As the program starts.
    auto startupChange =
        std::make_unique<platform::settings::CChangeScope>(platform::settings::ChangeBy::Program);
    RunStartup(theProbeConnection, u"/nonexistent");
    CDlgFrame_TarnwickSoft window;
    window.TakeStartupChange(std::move(startupChange));
    window.Create(nullptr);
    ASSERT_TRUE(testsupport::ShowAndActivate(window));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    ASSERT_TRUE(testsupport::DeliverHeldWork());

    const auto& boxes = m_dialogs.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, RefusalText(user));
    EXPECT_EQ(boxes[0].caption, "Tarnwick Software Error");
    EXPECT_EQ(boxes[0].owner, &window);
    EXPECT_TRUE(ownerShownAtTheBox);
    EXPECT_TRUE(ReadFile(user) == before);
}

// What the program keeps on its own, the live page's state at every disconnect and the line at
// every connect, is told the first time the full file refuses it, not again at every disconnect
// and connect that asks for the same values.
TEST_F(MainWindowTest, AFullSettingsFileIsNotToldAgainAtEveryDisconnectAndConnect)
{
    StartProbe(12);
    const std::filesystem::path user = m_config.Path() / "user.reg";
    testsupport::FillUserHiveTo(user, 5);
    const std::string before = ReadFile(user);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    EXPECT_EQ(BoxTexts().size(), 1u) << "the page's state at its creation, not again at the first news";
    ConnectByButton();
    EXPECT_EQ(BoxTexts().size(), 2u) << "the line the first connect keeps";

    const auto disconnect = [&]
    {
        window.ConnectButton().click();
        ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() == FALSE; }));
        ASSERT_TRUE(testsupport::DeliverPostedMessages());
    };
    disconnect();
    ConnectByButton();
    disconnect();
    EXPECT_EQ(BoxTexts().size(), 2u);
    for (const QString& text : BoxTexts())
        EXPECT_EQ(text, RefusalText(user));
    EXPECT_TRUE(ReadFile(user) == before);
}

} // namespace
} // namespace apptest
