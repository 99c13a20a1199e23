// What live data costs: the line time of one poll round, and the user-interface thread's time per
// round on the live data page, painting included.
//
//   LiveDataBench --benchmark_filter=. [--benchmark_repetitions=5]
//   QT_QPA_PLATFORM=xcb xvfb-run -a LiveDataBench --benchmark_filter=PageRound
//
// BM_PollRoundMultiSensorProbe reads every parameter of the simulated multi-sensor probe (type 18,
// four sensors, 17 parameters) as the polling worker does; the counter txn/round is the requests
// written per round. BM_PageRound runs the live data page in the main window, connected through the
// window's Connect button, against a probe with every entry of the selection enabled, and times, on
// the user-interface thread (CPU time of that thread), the page's handling of each round and the
// repaint of the main window it asks for, painted as the window's repaint would, with every
// value changed by the round: 4 rows (the DO sensor of the run command's probe), 17 and 24 (a sensor
// on every connection that the selection knows: all a probe can show, the two second temperatures
// never being offered; see ProbeWithRows); the argument file:1 also writes the file line. The
// counter paint_ms is the part of the round spent painting. The application is prepared as the
// program prepares it at start (style, palette, font, skin, device factory), so that the figures
// stand for the program's window. Offscreen (the default) the repaint ends in an image; on an X
// server (the second line) the figures also hold the window system's part of the repaint, which the
// program's window pays as well.
#include <benchmark/benchmark.h>

#include <time.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/livedata/LivePollWorker.h"
#include "app/livedata/PollSelection.h"
#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/Startup.h"
#include "app/pages/CtrlPageLiveData.h"
#include "app/popups/DlgPopupConfigureDataLog.h"
#include "bench/BenchSupport.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "connection/ProbeConnection.h"
#include "connection/SensorReadings.h"
#include "foundation/CommTimeouts.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/ProbePresets.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/QtText.h"
#include "ui/Skin.h"

namespace
{

constexpr uint8_t kSlave = 1;
constexpr uint16_t kDoProbe = 12;
constexpr uint16_t kMultiSensorProbe = 18;
constexpr USHORT kPressureTemperatureSensorId = 33;
constexpr USHORT kOxygenPartialPressureId = 2;

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct SimulatedProbe
{
    // The preset probe of the device type (type 18: four sensors, 17 parameters); with
    // ProbeSensors::None the bench fits sensors of its own, which measure at every read.
    explicit SimulatedProbe(uint16_t deviceType = kMultiSensorProbe,
                            probesim::ProbeSensors sensors = probesim::ProbeSensors::None)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(deviceType, 4711);
        config.sleeps = false;
        if (sensors == probesim::ProbeSensors::None)
            config.measurementCacheTimeout = 0;
        probe = probesim::MakeProbe(sim, config, sensors);
        port = benchsupport::RegisterProbePort(sim);
    }
    ~SimulatedProbe() { probesim::UnregisterComPort(sim.SlavePath()); }

    probesim::ProbeSimulator sim{
        {.mode = probesim::FramingMode::Rtu, .address = kSlave, .rtuSilence = std::chrono::milliseconds(2)}};
    std::unique_ptr<probesim::Instrument> probe;
    USHORT port = 0;
};

void BM_PollRoundMultiSensorProbe(benchmark::State& state)
{
    SimulatedProbe probe(kMultiSensorProbe, probesim::ProbeSensors::All);
    benchsupport::DeviceLine line;
    if (!line.Link(probe.port, kSlave))
    {
        state.SkipWithError("cannot link the device");
        return;
    }
    CDynArray<sParameterReading> rows;
    if (CollectSensorReadings(*line.device, rows, UnpluggedSensors::Fail) != S_OK)
    {
        state.SkipWithError("cannot read the sensors");
        return;
    }
    ULONG counters[MODBUS_STAT_COUNT] = {};
    line.network->GetStatistics(counters);
    const ULONG before = counters[MODBUS_STAT_REQUESTS_WRITTEN];
    std::vector<sLiveValue> values;
    for (auto _ : state)
    {
        if (ReadLiveValues(*line.device, rows, values) != S_OK)
        {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(values.data());
    }
    line.network->GetStatistics(counters);
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["rows"] = rows.GetCount();
    state.counters["txn/round"] =
        rounds > 0 ? (counters[MODBUS_STAT_REQUESTS_WRITTEN] - before) / rounds : 0.0;
}
BENCHMARK(BM_PollRoundMultiSensorProbe)->UseRealTime()->Unit(benchmark::kMillisecond);

// The application, timing on its own thread the live data page's handling of every round and the
// repaint of the main window that the round asks for. The repaint is done at once, as the window's
// next update would do it. The page is the main window's own, so the time is taken where every
// event passes.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    QWidget* timedPage = nullptr;
    std::vector<double> roundCpuSeconds;
    std::vector<double> paintCpuSeconds;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (receiver != timedPage || timedPage == nullptr ||
            event->type() != CNotifyEvent::TypeOf(windowmsg::WM_NEW_DATA))
            return QApplication::notify(receiver, event);
        const double start = ThreadCpuSeconds();
        const bool result = QApplication::notify(receiver, event);
        const double painting = ThreadCpuSeconds();
        QCoreApplication::sendPostedEvents(timedPage->window(), QEvent::UpdateRequest);
        const double end = ThreadCpuSeconds();
        roundCpuSeconds.push_back(end - start);
        paintCpuSeconds.push_back(end - painting);
        return result;
    }
};

// No box may wait for a person here: each is printed and answered at once.
class PrintedDialogs : public ui::CDialogService
{
public:
    int MessageBox(QWidget*, const QString& text, const QString&, uint32_t flags) override
    {
        std::fprintf(stderr, "message box: %s\n", text.toStdString().c_str());
        return platform::CautiousAnswer(flags);
    }
};

// Every measurement of the parameter differs from the one before, as a live value does from one
// round to the next: a round then changes every value the page shows.
probesim::SimSensor Moving(probesim::SimSensor sensor)
{
    for (probesim::SimParameter& parameter : sensor.parameters)
    {
        if (!parameter.value)
            continue;
        parameter.value = [measured = parameter.value, odd = std::make_shared<std::atomic<bool>>()](
                              const probesim::SampleContext& context)
        { return measured(context) + (odd->exchange(!odd->load()) ? 0.5f : 0.0f); };
    }
    return sensor;
}

// A probe with the sensors that give the page that many rows with every entry of the selection
// enabled: 4 the DO sensor alone (the run command's probe); 24 a sensor on every connection that the
// selection knows, the DO sensor with a second partial pressure; 17 the plain DO sensor, the probe's
// conductivity, level and pH/ORP sensors and the depth sensor. Its sensors measure at once and at
// every read.
std::unique_ptr<SimulatedProbe> ProbeWithRows(int64_t rows)
{
    auto simulated = std::make_unique<SimulatedProbe>(rows == 4 ? kDoProbe : kMultiSensorProbe);
    probesim::SensorBank& sensors = simulated->probe->Sensors();
    probesim::SimSensor oxygen = probesim::OpticalDoSensor(1);
    if (rows == 24)
    {
        probesim::SimParameter partialPressure = oxygen.parameters.back();
        partialPressure.parameterId = kOxygenPartialPressureId;
        oxygen.parameters.push_back(partialPressure);
    }
    sensors.Add(1, Moving(oxygen));
    if (rows == 4)
        return simulated;
    probesim::SimSensor level = probesim::LevelSensor(3);
    level.sensorId = kPressureTemperatureSensorId;
    sensors.Add(2, Moving(probesim::ConductivitySensor(probesim::kProbeConductivity, 2)));
    sensors.Add(3, Moving(level));
    sensors.Add(4, Moving(probesim::PhOrpSensor(4)));
    sensors.Add(6, Moving(probesim::DepthSensor(6)));
    if (rows == 24)
        sensors.Add(5, Moving(probesim::ConductivitySensor(probesim::kCoreConductivity, 5)));
    return simulated;
}

// The rest of the program's start that needs the run's own settings store: what the program does
// after preparing the application object (main), once.
void StartAsTheProgramDoes()
{
    static const bool started = []
    {
        NVSystem::InstallDeviceFactory();
        RunStartup(theProbeConnection, GetProgramDirectory());
        QApplication::setApplicationName(ui::ToQString(g_Skin.title));
        return true;
    }();
    (void)started;
}

// Runs the events until the condition holds or the time-out passes; the condition's last answer.
template <typename Condition>
bool ProcessEventsUntil(Condition condition, int timeoutMs)
{
    QElapsedTimer waiting;
    waiting.start();
    while (!condition() && waiting.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return condition();
}

void BM_PageRound(benchmark::State& state)
{
    auto& application = static_cast<TimedApplication&>(*QCoreApplication::instance());
    PrintedDialogs dialogs;
    ui::CDialogService* previous = ui::SetDialogService(&dialogs);
    StartAsTheProgramDoes();
    const std::unique_ptr<SimulatedProbe> probe = ProbeWithRows(state.range(0));
    for (uint32_t entry = 0; entry < POLL_SELECTION_ENTRIES; ++entry)
    {
        sParameters enabled = ParsePollEntry(PollSelectionDefault(entry));
        enabled.Enabled = 1;
        WriteProfileString(POLL_SELECTION_SECTION, PollSelectionKey(entry), FormatPollEntry(enabled));
    }
    WriteProfileInt(u"Logging", u"LogData", static_cast<int>(state.range(1)));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe->port);
    theProbeConnection.m_nPort = probe->port;
    {
        CDlgFrame_TarnwickSoft window;
        window.Create(nullptr);
        window.show();
        CCtrlPage_LiveData& page = window.LiveDataPage();
        sLivePollClock clock = sLivePollClock::System();
        clock.WaitForStop = [](platform::CEvent& stop, uint64_t ms)
        { return stop.Wait(std::min<uint64_t>(ms, 2)); };
        page.SetPollClockForTests(clock);
        window.ConnectButton().click();
        // The page takes its rows in once it has been shown a moment after the connect.
        const bool connected =
            ProcessEventsUntil([] { return theProbeConnection.IsConnected() != FALSE; }, 10000) &&
            ProcessEventsUntil(
                [&page] { return !page.IsActivationPending() && page.List().topLevelItemCount() > 0; }, 5000);
        const int rows = page.List().topLevelItemCount();
        if (!connected)
            state.SkipWithError("cannot connect");
        else if (rows != state.range(0))
            state.SkipWithError("the probe gives another number of rows");
        else
        {
            // A row selected, as the user leaves one: its data code's help is shown with every round.
            page.List().setCurrentItem(page.List().topLevelItem(0));
            QCoreApplication::processEvents();

            QTimer fillPopup;
            const std::string folder = benchsupport::PrivateSettings::Dir();
            // A file of an earlier run would make the popup ask before it is overwritten.
            std::filesystem::remove(std::filesystem::path(folder) / "bench.csv");
            QObject::connect(&fillPopup, &QTimer::timeout,
                             [&]
                             {
                                 if (auto* popup = dynamic_cast<CDlgPopup_ConfigureDataLog*>(
                                         QApplication::activeModalWidget()))
                                 {
                                     popup->FileNameEdit().setText(QStringLiteral("bench"));
                                     popup->FolderEdit().setText(QString::fromStdString(folder));
                                     popup->SendCommand(IDOK);
                                 }
                             });
            fillPopup.start(5);
            application.roundCpuSeconds.clear();
            application.paintCpuSeconds.clear();
            application.timedPage = &page;
            page.StartStopButton().click();
            fillPopup.stop();

            for (auto _ : state)
            {
                const size_t seen = application.roundCpuSeconds.size();
                while (application.roundCpuSeconds.size() == seen && page.IsReading())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
                if (!page.IsReading())
                {
                    state.SkipWithError("reading stopped");
                    break;
                }
                state.SetIterationTime(application.roundCpuSeconds.back());
            }
            page.StopReading();
            application.timedPage = nullptr;
        }
        double worst = 0.0;
        for (double seconds : application.roundCpuSeconds)
            worst = std::max(worst, seconds);
        double painting = 0.0;
        for (double seconds : application.paintCpuSeconds)
            painting += seconds;
        state.counters["rows"] = rows;
        state.counters["worst_ms"] = worst * 1000.0;
        state.counters["paint_ms"] =
            application.paintCpuSeconds.empty()
                ? 0.0
                : painting * 1000.0 / static_cast<double>(application.paintCpuSeconds.size());
    }
    theProbeConnection.DisconnectDevice();
    ui::SetDialogService(previous);
}
BENCHMARK(BM_PageRound)
    ->Args({4, 0})
    ->Args({17, 0})
    ->Args({24, 0})
    ->Args({24, 1})
    ->ArgNames({"rows", "file"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TimedApplication application(argc, argv);
    ui::PrepareApplication();
    return benchsupport::RunBenchmarks(
        argc, argv, {{u"InterMsgDelay TO", 0}, {u"RTUInterCharacter TO", 20}, {u"Read Register TO", 500}});
}
