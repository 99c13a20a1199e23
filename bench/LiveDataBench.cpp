// What live data costs: the line time of one poll round, and the user-interface thread's time per
// round on the live data page.
//
//   LiveDataBench --benchmark_filter=. [--benchmark_repetitions=5]
//
// BM_PollRoundMultiSensorProbe reads every parameter of the simulated multi-sensor probe (type 18,
// four sensors, 17 parameters) as the polling worker does; the counter txn/round is the requests
// written per round. BM_PageRound runs the live data page against the probe with a sensor on every
// connection that the selection knows (every entry enabled: 24 rows, all a probe can show, the two
// second temperatures never being offered) and times the page's handling of each round on the
// user-interface thread (CPU time of that thread); the argument 1 also writes the file line.
#include <benchmark/benchmark.h>

#include <time.h>

#include <filesystem>

#include <QApplication>
#include <QTimer>

#include "app/livedata/LivePollWorker.h"
#include "app/livedata/PollSelection.h"
#include "app/pages/CtrlPageLiveData.h"
#include "app/popups/DlgPopupConfigureDataLog.h"
#include "bench/BenchSupport.h"
#include "connection/AppProfile.h"
#include "connection/ProbeConnection.h"
#include "connection/SensorReadings.h"
#include "foundation/CommTimeouts.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/ProbePresets.h"
#include "ui/DialogService.h"

namespace
{

constexpr uint8_t kSlave = 1;
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
    explicit SimulatedProbe(probesim::ProbeSensors sensors = probesim::ProbeSensors::All)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(kMultiSensorProbe, 4711);
        config.sleeps = false;
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
    SimulatedProbe probe;
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

// The page, with the time of its handling of every round measured on the thread that runs it.
class TimedPage : public CCtrlPage_LiveData
{
public:
    std::vector<double> roundCpuSeconds;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != windowmsg::WM_NEW_DATA)
            return CCtrlPage_LiveData::OnMessage(message, wParam, lParam);
        const double start = ThreadCpuSeconds();
        const LRESULT result = CCtrlPage_LiveData::OnMessage(message, wParam, lParam);
        roundCpuSeconds.push_back(ThreadCpuSeconds() - start);
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

void BM_PageRound(benchmark::State& state)
{
    PrintedDialogs dialogs;
    ui::CDialogService* previous = ui::SetDialogService(&dialogs);
    SimulatedProbe probe(probesim::ProbeSensors::None);
    probesim::SensorBank& sensors = probe.probe->Sensors();
    probesim::SimSensor oxygen = probesim::OpticalDoSensor(1);
    probesim::SimParameter partialPressure = oxygen.parameters.back();
    partialPressure.parameterId = kOxygenPartialPressureId;
    oxygen.parameters.push_back(partialPressure);
    probesim::SimSensor level = probesim::LevelSensor(3);
    level.sensorId = kPressureTemperatureSensorId;
    sensors.Add(1, oxygen);
    sensors.Add(2, probesim::ConductivitySensor(probesim::kProbeConductivity, 2));
    sensors.Add(3, level);
    sensors.Add(4, probesim::PhOrpSensor(4));
    sensors.Add(5, probesim::ConductivitySensor(probesim::kCoreConductivity, 5));
    sensors.Add(6, probesim::DepthSensor(6));
    for (uint32_t entry = 0; entry < POLL_SELECTION_ENTRIES; ++entry)
    {
        sParameters enabled = ParsePollEntry(PollSelectionDefault(entry));
        enabled.Enabled = 1;
        WriteProfileString(POLL_SELECTION_SECTION, PollSelectionKey(entry), FormatPollEntry(enabled));
    }
    WriteProfileInt(u"Logging", u"LogData", static_cast<int>(state.range(0)));

    theProbeConnection.m_nPort = probe.port;
    if (theProbeConnection.ConnectToDevice() != S_OK)
    {
        state.SkipWithError("cannot connect");
        ui::SetDialogService(previous);
        return;
    }
    {
        TimedPage page;
        page.Create(nullptr);
        page.resize(740, 430);
        page.show();
        sLivePollClock clock = sLivePollClock::System();
        clock.WaitForStop = [](platform::CEvent& stop, uint64_t ms)
        { return stop.Wait(std::min<uint64_t>(ms, 2)); };
        page.SetPollClockForTests(clock);
        page.SendNotify(windowmsg::WM_DEVICE_CONNECTED);
        const int rows = page.List().topLevelItemCount();

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
        page.StartStopButton().click();
        fillPopup.stop();

        for (auto _ : state)
        {
            const size_t seen = page.roundCpuSeconds.size();
            while (page.roundCpuSeconds.size() == seen && page.IsReading())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (!page.IsReading())
            {
                state.SkipWithError("reading stopped");
                break;
            }
            state.SetIterationTime(page.roundCpuSeconds.back());
        }
        page.StopReading();
        double worst = 0.0;
        for (double seconds : page.roundCpuSeconds)
            worst = std::max(worst, seconds);
        state.counters["rows"] = rows;
        state.counters["worst_ms"] = worst * 1000.0;
    }
    theProbeConnection.DisconnectDevice();
    ui::SetDialogService(previous);
}
BENCHMARK(BM_PageRound)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    return benchsupport::RunBenchmarks(
        argc, argv, {{u"InterMsgDelay TO", 0}, {u"RTUInterCharacter TO", 20}, {u"Read Register TO", 500}});
}
