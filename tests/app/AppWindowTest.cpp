#include "tests/app/AppWindowTest.h"

#include <QApplication>
#include <QTimer>

#include "app/main/Startup.h"
#include "connection/AppProfile.h"
#include "connection/ProbeSearch.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"
#include "ui/Skin.h"
#include "ui/WaitForWork.h"

namespace apptest
{

CHeldSwitch::CHeldSwitch(probesim::Instrument& probe) : m_probe(probe)
{
    m_probe.Boot().HoldSwitch();
}

CHeldSwitch::~CHeldSwitch()
{
    Join();
    m_probe.Boot().HoldSwitch(false);
}

void CHeldSwitch::Join()
{
    if (m_watch.joinable())
        m_watch.join();
}

void CHeldSwitch::UntilTheFlashEnds(NVSystem::CDeviceComm& device)
{
    m_watch = std::thread(
        [this, &device]
        {
            // The transfer keeps its result at S_OK while it runs; held in the switch, the flash can
            // only end by failing (cancelled, as a rule). A flash that never ends fails the test by
            // its own time-out; the switch is let go then.
            const auto ended = [&device]
            {
                USHORT percent = 0;
                ULONG total = 0, done = 0, state = 0;
                double secondsLeft = 0;
                HRESULT result = S_OK;
                return Failed(device.GetFileTransferProgress(percent, total, done, state, secondsLeft, result)) ||
                       Failed(result);
            };
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!ended() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            m_probe.Boot().HoldSwitch(false);
        });
}

AppWindowTest::AppWindowTest()
{
    using platform::Hive;
    ResetCommTunablesForTests();
    // Short pauses, but register time-outs and a search read long enough for a reply on a busy
    // machine: the search has no retry, and a probe it misses leaves the port settings popup open.
    const std::pair<const char16_t*, uint32_t> quick[] = {
        {u"InterMsgDelay TO", 0},   {u"RTUInterCharacter TO", 20}, {u"BusyResponseDelay", 1},
        {u"Read Register TO", 500}, {u"Write Register TO", 500},   {u"Retry Count", 1}};
    for (const auto& [name, value] : quick)
        EXPECT_TRUE(platform::settings::SetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, name, value));
    EXPECT_TRUE(
        platform::settings::SetDword(Hive::LocalMachine, APP_PROFILE_KEY, PROBE_SEARCH_TIMEOUT_NAME, 2000));
    theProbeConnection.SetCommSettings(sCommSettings());
    RunStartup(theProbeConnection, u"/nonexistent");
}

AppWindowTest::~AppWindowTest()
{
    m_window.reset();
    theProbeConnection.DisconnectDevice();
    theProbeConnection.ResetDeviceInfo();
    StopProbe();
    ResetCommTunablesForTests();
    testsupport::PumpEvents();
}

void AppWindowTest::StartProbe(probesim::InstrumentConfig config)
{
    StopProbe();
    config.sleeps = false;
    config.quickSensors = true;
    m_sim = std::make_unique<probesim::ProbeSimulator>(probesim::SimulatorOptions{
        .mode = probesim::FramingMode::Rtu, .address = 1, .rtuSilence = std::chrono::milliseconds(5)});
    m_probe = probesim::MakeProbe(*m_sim, config);
    std::string error;
    const auto number = probesim::RegisterComPort(m_sim->SlavePath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    m_nPort = *number;
}

void AppWindowTest::StopProbe()
{
    if (m_sim)
        probesim::UnregisterComPort(m_sim->SlavePath());
    m_probe.reset();
    m_sim.reset();
}

CDlgFrame_TarnwickSoft& AppWindowTest::MainWindow()
{
    if (!m_window)
    {
        m_window = std::make_unique<CDlgFrame_TarnwickSoft>();
        m_window->SetKeepAlivePeriod(std::chrono::milliseconds(50));
        m_window->Create(nullptr);
        EXPECT_TRUE(testsupport::ShowAndActivate(*m_window));
        testsupport::PumpEvents();
    }
    return *m_window;
}

void AppWindowTest::ConnectByButton()
{
    // A search that misses the probe opens the port settings popup, which nothing here would close:
    // the test fails and the popup is cancelled, rather than the test hanging in it.
    QTimer unexpected;
    QObject::connect(&unexpected, &QTimer::timeout, &unexpected,
                     [this]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal == nullptr || modal == m_window.get() || ui::IsWaitingForWork())
                             return;
                         ADD_FAILURE() << "the connect opened " << modal->metaObject()->className();
                         if (auto* dialog = qobject_cast<CNVDialog*>(modal); dialog != nullptr)
                             dialog->SendCommand(IDCANCEL);
                     });
    unexpected.start(10);
    MainWindow().ConnectButton().click();
    unexpected.stop();
    ASSERT_TRUE(testsupport::WaitUntil([] { return theProbeConnection.IsConnected() != FALSE; }))
        << ::testing::PrintToString(BoxTexts().size());
    // Every page has taken the connect in.
    ASSERT_TRUE(testsupport::DeliverPostedMessages());
}

std::vector<QString> AppWindowTest::BoxTexts() const
{
    std::vector<QString> texts;
    for (const auto& shown : m_dialogs.MessageBoxes())
        texts.push_back(shown.text);
    return texts;
}

std::optional<QString> AppWindowTest::LastBoxText() const
{
    const std::vector<QString> texts = BoxTexts();
    return texts.empty() ? std::nullopt : std::optional<QString>(texts.back());
}

bool AppWindowTest::HasBox(const QString& text) const
{
    for (const QString& shown : BoxTexts())
        if (shown == text)
            return true;
    return false;
}

void AppWindowTest::OnNextModal(std::function<void(QWidget&)> action)
{
    auto* timer = new QTimer();
    QObject::connect(timer, &QTimer::timeout, timer,
                     [this, timer, action = std::move(action)]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         // The user acts once the popup is no longer busy with the probe.
                         if (modal == nullptr || modal == m_window.get() || ui::IsWaitingForWork())
                             return;
                         timer->stop();
                         timer->deleteLater();
                         action(*modal);
                     });
    timer->start(10);
}

} // namespace apptest
