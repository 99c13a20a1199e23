// How long the user-interface thread stops answering during each operation that makes the user
// wait for the probe, on the simulated probe: the port search where nothing answers (2 ports, 6
// stored connection strings), the connect that finds the probe, Reset Comm, the factory reset, a
// firmware update cancelled while the probe restarts, and the close of a calibration wizard after
// the line failed. The program's own settings (time-outs, pauses) apply throughout.
//
// A timer on the user-interface thread ticks every millisecond; the longest gap between two ticks
// is the longest stall (a window that does not repaint). Prints one line per operation: the longest
// stall and how long the operation took. Exits 1 when an operation does not end as it should.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/Startup.h"
#include "app/pages/CalibrationDispatch.h"
#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/DlgPopupPortSettings.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "tools/probe-sim/BootCode.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"

namespace
{

using namespace std::chrono_literals;

constexpr USHORT kVoxSensorId = 42;

// The gaps between the ticks of a 1 ms timer on the user-interface thread.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        m_longestMs = 0;
        m_clock.start();
        m_lastTick = 0;
        m_timer.start();
    }
    // The longest gap, the last one (up to now) included.
    double Stop()
    {
        Tick();
        m_timer.stop();
        return m_longestMs;
    }
    double ElapsedMs() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }

private:
    void Tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longestMs = std::max(m_longestMs, static_cast<double>(now - m_lastTick) / 1e6);
        m_lastTick = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    double m_longestMs = 0;
};

// The user of the run: says yes to every question, OK to every message, takes the firmware image.
class BenchDialogs : public ui::CDialogService
{
public:
    int MessageBox(QWidget*, const QString& text, const QString&, uint32_t flags) override
    {
        texts.push_back(text.toStdString());
        return (flags & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    }
    std::optional<QString> GetOpenFileName(QWidget*, const ui::sFileDialogRequest&) override { return file; }

    std::vector<std::string> texts;
    QString file;
};

// Pumps events for a while: what an operation sets off after it has returned belongs to it.
void Settle(std::chrono::milliseconds time)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < time.count())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Calls the action once, from a timer, as soon as a modal window other than `except` is open.
void OnNextModal(QWidget* except, std::function<void(QWidget&)> action)
{
    auto* timer = new QTimer();
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, except, action = std::move(action)]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal == nullptr || modal == except)
                             return;
                         timer->stop();
                         timer->deleteLater();
                         action(*modal);
                     });
    timer->start(5);
}

struct sSimulatedProbe
{
    std::unique_ptr<probesim::ProbeSimulator> sim;
    std::unique_ptr<probesim::Instrument> probe;
    USHORT port = 0;
};

sSimulatedProbe StartProbe(probesim::InstrumentConfig config)
{
    sSimulatedProbe started;
    config.sleeps = false;
    started.sim = std::make_unique<probesim::ProbeSimulator>();
    started.probe = probesim::MakeProbe(*started.sim, config);
    std::string error;
    started.port =
        static_cast<USHORT>(probesim::RegisterComPort(started.sim->SlavePath(), 0, error).value_or(0));
    if (started.port == 0)
        std::fprintf(stderr, "uistall: %s\n", error.c_str());
    return started;
}

void StopProbe(sSimulatedProbe& probe)
{
    if (probe.sim)
        probesim::UnregisterComPort(probe.sim->SlavePath());
    probe.probe.reset();
    probe.sim.reset();
}

void Report(const char* operation, double stallMs, double tookMs, bool ok)
{
    std::printf("%-52s longest stall %8.1f ms   took %8.1f ms%s\n", operation, stallMs, tookMs,
                ok ? "" : "   (did not end as it should)");
    std::fflush(stdout);
}

void Disconnect(CDlgFrame_TarnwickSoft& window)
{
    if (theProbeConnection.IsConnected())
        window.ConnectButton().click();
    Settle(200ms);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    ui::PrepareApplication();
    QApplication::setApplicationName(QStringLiteral("Tarnwick Software"));
    NVSystem::InstallDeviceFactory();
    BenchDialogs dialogs;
    ui::SetDialogService(&dialogs);
    ui::CQtMessageBoxHook messageBoxes;
    RunStartup(theProbeConnection, GetProgramDirectory());
    StallMeter meter;
    bool allOk = true;
    const auto check = [&allOk](bool ok)
    {
        allOk = allOk && ok;
        return ok;
    };

    CDlgFrame_TarnwickSoft window;
    window.Create(nullptr);
    window.show();
    Settle(300ms);

    // --- The search where nothing answers: 2 ports, 5 stored strings and the default one. ---
    {
        sSimulatedProbe silent[2] = {StartProbe(probesim::ProbeConfig(12, 1)),
                                     StartProbe(probesim::ProbeConfig(12, 2))};
        for (sSimulatedProbe& probe : silent)
            probe.sim->RequestFaults().LoseLine();
        const char16_t* stored[] = {u"9600,8,N,1,RTU,1", u"38400,8,E,1,RTU,1", u"57600,8,E,1,RTU,1",
                                    u"19200,8,N,2,RTU,2", u"9600,7,E,1,ASCII,1"};
        for (int i = 0; i < 5; ++i)
            WriteProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(i), stored[i]);
        WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, silent[0].port);
        bool popupOpened = false;
        OnNextModal(&window,
                    [&](QWidget& modal)
                    {
                        popupOpened = qobject_cast<CDlgPopup_PortSettings*>(&modal) != nullptr;
                        static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
                    });
        meter.Start();
        window.ConnectButton().click();
        const double took = meter.ElapsedMs();
        Report("port search, nothing answers (2 ports, 6 strings)", meter.Stop(), took,
               check(popupOpened && !theProbeConnection.IsConnected()));
        for (sSimulatedProbe& probe : silent)
            StopProbe(probe);
        for (int i = 0; i < 5; ++i)
            WriteProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(i), u"");
    }

    // --- The connect that finds the probe on the port it tries first. ---
    sSimulatedProbe probe = StartProbe(probesim::ProbeConfig(36, 4711));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    {
        meter.Start();
        window.ConnectButton().click();
        Settle(500ms);
        const double took = meter.ElapsedMs();
        Report("connect, the probe on the first port (and 0.5 s on)", meter.Stop(), took,
               check(theProbeConnection.IsConnected() != FALSE));
    }

    // --- The factory reset from the probe information page. ---
    {
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_PROBE_INFO);
        Settle(300ms);
        dialogs.texts.clear();
        meter.Start();
        window.ProbeInfoPage().FactoryResetButton().click();
        const double took = meter.ElapsedMs();
        Report("factory reset", meter.Stop(), took,
               check(theProbeConnection.IsConnected() && dialogs.texts.size() == 1));
    }

    // --- A firmware update cancelled while the probe restarts into its boot code. ---
    {
        const std::filesystem::path image = std::filesystem::temp_directory_path() / "uistall-upgrade.bin";
        const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage({.deviceType = 36,
                                                                         .firmwareVersion = 250,
                                                                         .lowestHardware = 1,
                                                                         .highestHardware = 1,
                                                                         .records = 8});
        std::ofstream(image, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        dialogs.file = QString::fromStdString(image.string());
        CDlgPopup_FirmwareUpdate popup(&window.ProbeInfoPage());
        int result = -1;
        QTimer::singleShot(0, &popup,
                           [&]
                           {
                               popup.SelectButton().click();
                               meter.Start();
                               popup.UpdateButton().click();
                               while (probe.probe->Boot().Phase() != probesim::BootPhase::Switching &&
                                      popup.isVisible())
                                   QApplication::processEvents(QEventLoop::AllEvents, 5);
                               popup.SendCommand(IDCANCEL);
                           });
        result = popup.DoModal();
        const double took = meter.ElapsedMs();
        Report("firmware update, cancelled while the probe restarts", meter.Stop(), took,
               check(result == IDCANCEL));
        std::filesystem::remove(image);
        Disconnect(window);
        // The cancel has left it in its boot code: the rest is done with another one.
        StopProbe(probe);
        probe = StartProbe(probesim::ProbeConfig(12, 4711));
        WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    }

    // --- Reset Comm in the port settings popup. ---
    {
        CDlgPopup_PortSettings popup(&window);
        QTimer::singleShot(0, &popup,
                           [&]
                           {
                               CNVComboBox& list = popup.List(CPortSettingsChoice::LIST_PORT);
                               list.setCurrentIndex(list.findText(
                                   QString::fromStdString(probe.sim->SlavePath()), Qt::MatchContains));
                               meter.Start();
                               popup.SendCommand(IDC_RESET_COMM);
                               popup.SendCommand(IDCANCEL);
                           });
        popup.DoModal();
        const double took = meter.ElapsedMs();
        Report("Reset Comm", meter.Stop(), took, check(took > 1000));
    }

    // --- The close of the optical DO calibration wizard after the line failed. ---
    {
        // Opened from the sensor setup page of a connected window, as the user opens it: nothing
        // the connect sets off is left to run while the wizard is open.
        window.ConnectButton().click();
        QElapsedTimer connecting;
        connecting.start();
        while (!theProbeConnection.IsConnected() && connecting.elapsed() < 10000)
            Settle(20ms);
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
        // The pages' refreshes after the connect read every sensor of this probe, warm-ups included.
        Settle(3000ms);
        bool ended = false;
        OnNextModal(&window,
                    [&](QWidget&)
                    {
                        Settle(300ms);
                        meter.Start();
                        probe.sim->RequestFaults().LoseLine();
                    });
        const sCalibrateResult result = RunCalibration(&window.SensorSetupPage(), kVoxSensorId);
        ended = result.ran;
        const double took = meter.ElapsedMs();
        Report("calibration wizard closing after the line failed", meter.Stop(), took, check(ended));
        probe.sim->RequestFaults().RestoreLine();
        Disconnect(window);
    }

    window.SendCommand(SC_CLOSE_COMMAND);
    Settle(200ms);
    theProbeConnection.DisconnectDevice();
    StopProbe(probe);
    ui::SetDialogService(nullptr);
    return allOk ? 0 : 1;
}
