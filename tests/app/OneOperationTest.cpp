// One operation at a time: inputs that the window takes together (two keys, a key and a click), a
// loss reported while a box or a wizard is open, and the close box during a wait never start a
// second operation inside the first. Each command runs once the operation before it has ended,
// and looks at the connection as it is then.
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/pages/CalibrationDispatch.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/ConductivitySensor.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;
using Page = CDlgFrame_TarnwickSoft::EPage;

const QString kLost = QStringLiteral("Device connection lost.");

class OneOperationTest : public AppWindowTest
{
protected:
    OneOperationTest()
    {
        // Something to deliver in every loop that runs, as the window system's traffic would be.
        m_ticker.setInterval(1);
        QObject::connect(&m_ticker, &QTimer::timeout, [] {});
        m_ticker.start();
    }

    // Keys to the main window, delivered before any loop runs.
    void Keys(std::initializer_list<int> keys)
    {
        for (const int key : keys)
            QTest::keyClick(&MainWindow(), static_cast<Qt::Key>(key), Qt::AltModifier);
    }

    bool Disconnected() { return theProbeConnection.IsConnected() == FALSE; }

    // The frames the simulated probe heard while its line was lost.
    size_t UnheardFrames()
    {
        size_t count = 0;
        for (const auto& frame : Sim().Log().Received())
            count += frame.note.find("line lost") != std::string::npos ? 1 : 0;
        return count;
    }

    QTimer m_ticker;
};

TEST_F(OneOperationTest, TwoAltCTakenTogetherConnectOnce)
{
    StartProbe(12);
    testsupport::WaitWatch watch;
    Keys({Qt::Key_C, Qt::Key_C});
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() != FALSE; }));
    const ULONG connection = theProbeConnection.GetConnectionId();
    ASSERT_TRUE(testsupport::DeliverPostedMessages());

    EXPECT_EQ(watch.Inside(), 0);
    EXPECT_EQ(theProbeConnection.GetConnectionId(), connection) << "connected once, never again";
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    EXPECT_EQ(MainWindow().ConnectButton().text(), "Disconnect");
    EXPECT_TRUE(MainWindow().IsKeepAliveRunning());
}

TEST_F(OneOperationTest, TwoAltDWhileTheKeepAliveWaitsForASilentProbeStopItOnce)
{
    StartProbe(12);
    ConnectByButton();
    Sim().RequestFaults().LoseLine();
    // A keep-alive read is on the line and waits for its time-out.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return UnheardFrames() > 0; }));
    testsupport::WaitWatch watch;
    Keys({Qt::Key_D, Qt::Key_D});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Disconnected(); }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());

    EXPECT_EQ(watch.Inside(), 0);
    EXPECT_FALSE(MainWindow().IsKeepAliveRunning());
    EXPECT_EQ(MainWindow().ConnectButton().text(), "Connect");
    EXPECT_FALSE(HasBox(kLost)) << "the user disconnected";
}

class AltDRightAfterTheConnect : public OneOperationTest, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(AltDRightAfterTheConnect, WaitsForThePagesToTakeTheConnectIn)
{
    StartProbe(GetParam());
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_SENSOR_SETUP);
    testsupport::WaitWatch watch;
    // The click connects; Alt+D comes before the pages have had the news.
    window.ConnectButton().click();
    ASSERT_TRUE(theProbeConnection.IsConnected());
    Keys({Qt::Key_D});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Disconnected(); }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());

    EXPECT_EQ(watch.Inside(), 0);
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    EXPECT_EQ(window.SensorSetupPage().SensorList().count(), 0);
    EXPECT_EQ(window.GetVisiblePage(), Page::PAGE_LIVE_DATA);
}

INSTANTIATE_TEST_SUITE_P(SingleAndMultiSensorProbes, AltDRightAfterTheConnect, ::testing::Values(12, 18));

TEST_F(OneOperationTest, AltDRightAfterTheConnectDropsThePagesHeldWorkForThatLinkWithoutAWord)
{
    StartProbe(18);
    // A reference temperature the sensor page corrects to 25 degrees, once the connect is over.
    const uint16_t reference = Probe().Sensors().Base(2) + probesim::kProbeConductivity.referenceTemperature;
    Sim().Registers().SetFloat(reference, 22.0f);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_SENSOR_SETUP);
    window.ConnectButton().click();
    ASSERT_TRUE(theProbeConnection.IsConnected());
    Keys({Qt::Key_D});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Disconnected(); }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());

    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
    EXPECT_EQ(Sim().Registers().GetFloat(reference), 22.0f);
}

// The user's Disconnect, given while the pages take the connect in under their waits, is carried
// out once they are done: neither the click nor Alt+D is lost.
class DisconnectDuringTheConnectsFollowUp
    : public OneOperationTest,
      public ::testing::WithParamInterface<std::tuple<uint16_t, bool>>
{
};

TEST_P(DisconnectDuringTheConnectsFollowUp, IsCarriedOutAfterIt)
{
    const uint16_t deviceType = std::get<0>(GetParam());
    const bool byClick = std::get<1>(GetParam());
    StartProbe(deviceType);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_SENSOR_SETUP);
    window.ConnectButton().click();
    ASSERT_TRUE(theProbeConnection.IsConnected());
    ASSERT_EQ(window.ConnectButton().text(), "Disconnect");
    bool asked = false;
    testsupport::WaitWatch watch(
        [&]
        {
            asked = true;
            if (byClick)
                QTest::mouseClick(&window.ConnectButton(), Qt::LeftButton);
            else
                QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
        });
    ASSERT_TRUE(testsupport::DeliverPostedMessages(30s));
    ASSERT_TRUE(asked) << "the pages took the connect in without a wait";

    EXPECT_TRUE(Disconnected());
    EXPECT_EQ(watch.Inside(), 0);
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
    EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front().toStdString();
}

INSTANTIATE_TEST_SUITE_P(SingleAndMultiSensorProbes, DisconnectDuringTheConnectsFollowUp,
                         ::testing::Combine(::testing::Values(12, 18), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<uint16_t, bool>>& param)
                         {
                             return "Type" + std::to_string(std::get<0>(param.param)) +
                                    (std::get<1>(param.param) ? "Click" : "AltD");
                         });

TEST_F(OneOperationTest, AltDTakenWithTheFactoryResetClickWaitsForTheReset)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kSerial);
    config.restoreSilence = 50ms;
    StartProbe(config);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_PROBE_INFO);
    ConnectByButton();
    testsupport::WaitWatch watch;
    m_dialogs.QueueAnswer(platform::IDYES);
    Keys({Qt::Key_D});
    window.ProbeInfoPage().FactoryResetButton().click();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Disconnected(); }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());

    EXPECT_EQ(watch.Inside(), 0);
    for (const QString& text : BoxTexts())
        EXPECT_FALSE(text.startsWith("Failed")) << text.toStdString();
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

TEST_F(OneOperationTest, ThePagesOwnCorrectionOfTheReferenceTemperatureComesAfterItsReads)
{
    StartProbe(18);
    Sim().Registers().SetFloat(
        static_cast<uint16_t>(Probe().Sensors().Base(2) + probesim::kProbeConductivity.referenceTemperature),
        22.0f);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_SENSOR_SETUP);
    testsupport::WaitWatch watch;
    ConnectByButton();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]
        {
            return Sim()
                       .Registers()
                       .GetFloat(static_cast<uint16_t>(Probe().Sensors().Base(2) +
                                                       probesim::kProbeConductivity.referenceTemperature))
                       .value() == 25.0f;
        }));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    EXPECT_EQ(watch.Inside(), 0);
}

TEST_F(OneOperationTest, TheCloseBoxAskedTwiceDuringAWaitClosesOnceAfterIt)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    Sim().RequestFaults().LoseLine();
    bool visibleAfterTheCloses = false;
    testsupport::WaitWatch watch(
        [&]
        {
            testsupport::ClickCloseBox(window);
            testsupport::ClickCloseBox(window);
            testsupport::PumpEvents();
            visibleAfterTheCloses = window.isVisible();
        });
    // The page reads the silent probe.
    window.ShowPage(Page::PAGE_SENSOR_SETUP);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return watch.Count() >= 1; }, 20s));
    EXPECT_TRUE(visibleAfterTheCloses) << "no window goes under a wait";
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }, 20s));
    EXPECT_EQ(window.result(), IDCANCEL) << "the window's run ended, as the program does";
    EXPECT_TRUE(Disconnected());
    EXPECT_EQ(watch.Inside(), 0);
}

TEST_F(OneOperationTest, TheCloseBoxAgainWhileTheFirstCloseWaitsForTheDisconnectEndsTheProgramOnce)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectByButton();
    Sim().RequestFaults().LoseLine();
    // The disconnect of the first close waits for the keep-alive's read on the silent line.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return UnheardFrames() > 0; }));
    bool shownDuring = false;
    testsupport::WaitWatch watch(
        [&]
        {
            testsupport::ClickCloseBox(window);
            testsupport::PumpEvents();
            shownDuring = window.isVisible() && window.windowHandle() != nullptr &&
                          window.windowHandle()->handle() != nullptr;
        });
    testsupport::ClickCloseBox(window);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.isVisible(); }, 20s));
    EXPECT_GE(watch.Count(), 1);
    EXPECT_TRUE(shownDuring) << "the window stays while its close waits";
    EXPECT_EQ(window.result(), IDCANCEL);
    EXPECT_TRUE(Disconnected());
}

TEST_F(OneOperationTest, ALossReportedDuringTheOxygenWizardWaitsForItAndItsBoxes)
{
    StartProbe(12);
    CCtrlPage_SensorSetup::CalibrationDispatch previous = CCtrlPage_SensorSetup::SetCalibrationDispatch(nullptr);
    InstallCalibrationDispatch();
    CDlgFrame_TarnwickSoft& window = MainWindow();
    window.ShowPage(Page::PAGE_SENSOR_SETUP);
    ConnectByButton();
    CCtrlPage_SensorSetup& page = window.SensorSetupPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.SensorList().count() > 0; }));
    // The optical DO sensor on connection 1.
    for (int row = 0; row < page.SensorList().count() && page.GetSelectedSensorItem() != USHORT{1}; ++row)
    {
        page.SensorList().setCurrentRow(row);
        testsupport::PumpEvents();
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.CalibrateButton().isEnabled(); }));

    // Every box the wizard and the page show delivers what is queued meanwhile, as a real box does.
    m_dialogs.DeliverEventsWhileShown(true);
    bool wizardRan = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            wizardRan = true;
            // The probe goes silent, the keep-alive's report arrives, and the user cancels.
            Sim().RequestFaults().LoseLine();
            window.PostNotify(windowmsg::WM_CONNECTION_LOST, theProbeConnection.GetConnectionId());
            testsupport::PumpEvents();
            EXPECT_TRUE(theProbeConnection.IsConnected()) << "not under the wizard";
            static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
        });
    page.CalibrateButton().click();
    ASSERT_TRUE(wizardRan);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Disconnected(); }, 60s));
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
    CCtrlPage_SensorSetup::SetCalibrationDispatch(previous);

    const auto& boxes = m_dialogs.MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, kLost) << "after every box of the wizard and the page";
    for (const auto& box : boxes)
        EXPECT_FALSE(box.overAnotherBox) << box.text.toStdString();
    EXPECT_EQ(window.ConnectButton().text(), "Connect");
}

} // namespace
} // namespace apptest
