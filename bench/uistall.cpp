// How long the user-interface thread stops answering during each operation that makes the user
// wait for the probe, on the simulated probe: the port search where nothing answers (2 ports, 6
// stored connection strings), the connect that finds the probe, Reset Comm, the factory reset, a
// firmware update cancelled while the probe restarts, the close of a calibration wizard after the
// line failed, the opening of each calibration wizard, a switch to the sensor setup page while the
// live poll and the sensor watch wait for a silent probe, the page shown again while the watch waits
// for it under the device lock, Calibrate... on a silent probe for each wizard, and the close box
// asked twice while the window waits. The program's own settings (time-outs of 3.5 s with three
// retries, pauses) apply throughout.
//
// A timer on the user-interface thread ticks every millisecond; the longest gap between two ticks
// is the longest stall (a window that does not repaint). A control clock on a thread of its own
// ticks likewise: its longest gap is what the machine withheld from the whole process, so that a
// stall on a busy machine can be told from one of the program's own. Prints one line per
// operation: the longest stall, the control clock's, how long the operation took, and the waits
// for the probe it opened inside another wait (a second operation started while the first one
// waits).
//
// It also measures how long the user waits to be told "Device connection lost." once the probe
// stops answering, from the moment it stops to that box (target: 20 s at most): Cancel on each
// wizard's first page while the wizard reads; Calibrate... on the sensor setup page of a probe
// already silent, for each wizard; Finish with "restore calibration defaults" in the conductivity
// wizard, answered once the wizard's reading has found the probe silent; a stop just after a sample
// read of each wizard's reading, the worst moment (the next read comes a whole sample interval
// later); Calibrate... while the sensor watch's read goes unanswered on a probe that sleeps between
// polls, for each wizard; the connect whose pages are still loading; a firmware upload during its
// block transfer; and the live data page polling an optical DO probe into a CSV file at its
// shortest rate (10 s), the probe stopped just after the last reply of a round, the worst moment for
// it (the keep-alive rests while the page reads, and the next round comes almost a period later):
// its target is the period plus 20 s. For a case over its target, and for the stops just after a
// sample read or a round, it prints what reached the probe and which boxes came, with their times
// from the stop. At the end a table gives each of these cases, its seconds, the period of a poll's
// case, its target and whether it met it. Exits 1 when an operation does not end as it should or a
// case misses its target.
//
// The files the run writes itself (firmware images, the live data file) go to a folder of its own in
// the temporary folder, removed at the end, so that runs at the same time keep apart; the settings
// store is the one the environment names (uistall.sh gives each run a fresh one).
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QPointer>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/livedata/LiveDataSettings.h"
#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/Startup.h"
#include "app/pages/CalibrationDispatch.h"
#include "app/pages/CtrlPageSensorSetup.h"
#include "app/popups/DlgPopupConfigureDataLog.h"
#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/DlgPopupPortSettings.h"
#include "app/sensorsetup/SensorWatch.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "tools/probe-sim/BootCode.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/FrameLog.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"
#include "tools/probe-sim/RequestFaults.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"
#include "ui/WaitForWork.h"

namespace
{

using namespace std::chrono_literals;

constexpr USHORT kVoxSensorId = 42;
constexpr USHORT kConductivitySensorId = 35;
constexpr USHORT kPhOrpSensorId = 27;
// The multi-sensor probe carries a sensor for each wizard.
constexpr USHORT kMultiSensorProbe = 18;

struct sWizardKind
{
    const char* name;
    USHORT sensorId;
    USHORT connection; // on the multi-sensor probe
};
constexpr sWizardKind kWizards[] = {{"conductivity", kConductivitySensorId, 2},
                                    {"pH/ORP", kPhOrpSensorId, 4},
                                    {"optical DO", kVoxSensorId, 1}};

const QString kConnectionLostText = QStringLiteral("Device connection lost.");

using SteadyTime = std::chrono::steady_clock::time_point;

// From the moment the probe stops answering to the loss box, at most. A poll that rests between its
// rounds, and keeps the keep-alive resting meanwhile, is given its period on top.
constexpr double kLossTargetSeconds = 20.0;

double SecondsBetween(SteadyTime from, SteadyTime to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The folder of the files the run writes itself (firmware images, the live data file), made in the
// temporary folder under a name of its own and removed with its contents at the end: runs at the
// same time neither overwrite nor remove each other's files. Empty when it could not be made.
class RunFolder
{
public:
    RunFolder()
    {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "uistall-XXXXXX").string();
        if (!ec && mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
        else
            std::fprintf(stderr, "uistall: no folder of its own in the temporary folder: %s\n",
                         ec ? ec.message().c_str() : std::strerror(errno));
    }
    ~RunFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The gaps between the wake-ups of a thread that sleeps a millisecond at a time, while measuring.
class ControlClock
{
public:
    ControlClock() : m_thread([this] { Run(); }) {}
    ~ControlClock()
    {
        m_stop = true;
        m_thread.join();
    }
    ControlClock(const ControlClock&) = delete;
    ControlClock& operator=(const ControlClock&) = delete;

    void Start()
    {
        std::lock_guard lock(m_mutex);
        m_longest = std::chrono::steady_clock::duration::zero();
        m_last = std::chrono::steady_clock::now();
        m_measuring = true;
    }
    // The longest gap in ms, the last one (up to now) included.
    double Stop()
    {
        std::lock_guard lock(m_mutex);
        m_longest = std::max(m_longest, std::chrono::steady_clock::now() - m_last);
        m_measuring = false;
        return std::chrono::duration<double, std::milli>(m_longest).count();
    }

private:
    void Run()
    {
        while (!m_stop)
        {
            std::this_thread::sleep_for(1ms);
            const auto now = std::chrono::steady_clock::now();
            std::lock_guard lock(m_mutex);
            if (m_measuring)
                m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        }
    }

    std::mutex m_mutex;
    bool m_measuring = false;                        // under m_mutex
    std::chrono::steady_clock::time_point m_last;    // under m_mutex
    std::chrono::steady_clock::duration m_longest{}; // under m_mutex
    std::atomic<bool> m_stop{false};
    std::thread m_thread; // last: it runs on the members above
};

// The gaps between the ticks of a 1 ms timer on the user-interface thread, and the control
// clock's over the same time.
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
        m_control.Start();
    }
    // The longest gap, the last one (up to now) included.
    double Stop()
    {
        Tick();
        m_timer.stop();
        m_controlMs = m_control.Stop();
        return m_longestMs;
    }
    double ElapsedMs() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }
    // The control clock's longest gap up to the last Stop.
    double ControlMs() const { return m_controlMs; }

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
    ControlClock m_control;
    double m_controlMs = 0;
};

StallMeter* g_pMeter = nullptr;

// The waits for the probe (ui::WaitForWork) that an operation opens, and those among them opened
// inside another wait (a second operation started while the first one waits).
class WaitCounter
{
public:
    WaitCounter()
    {
        ui::SetWaitObserverForTests(
            [this]
            {
                ++m_nWaits;
                if (ui::WaitDepth() > 1)
                    ++m_nNested;
            });
    }
    ~WaitCounter() { ui::SetWaitObserverForTests(nullptr); }
    WaitCounter(const WaitCounter&) = delete;
    WaitCounter& operator=(const WaitCounter&) = delete;

    void Reset() { m_nWaits = m_nNested = 0; }
    int Waits() const { return m_nWaits; }
    int Nested() const { return m_nNested; }

private:
    int m_nWaits = 0;
    int m_nNested = 0;
};

WaitCounter* g_pWaits = nullptr;

// The user of the run: says yes to every question, OK to every message, takes the firmware image
// and the folder of the live data file.
class BenchDialogs : public ui::CDialogService
{
public:
    int MessageBox(QWidget*, const QString& text, const QString&, uint32_t flags) override
    {
        const SteadyTime now = std::chrono::steady_clock::now();
        if (text == kConnectionLostText && g_pMeter != nullptr && !lossAtMs)
            lossAtMs = g_pMeter->ElapsedMs();
        if (text == kConnectionLostText && !lossAt)
            lossAt = now;
        texts.push_back(text.toStdString());
        shown.emplace_back(now, text.toStdString());
        // A copy: the hook may be taken away while it runs.
        if (const std::function<void(const QString&)> hook = whileOpen)
            hook(text);
        return (flags & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    }
    std::optional<QString> GetOpenFileName(QWidget*, const ui::sFileDialogRequest&) override { return file; }
    std::optional<QString> BrowseForFolder(QWidget*, const QString&, const QString&) override
    {
        return folder;
    }

    // Forgets the loss of the link told before, and the boxes.
    void ResetLoss()
    {
        lossAtMs.reset();
        lossAt.reset();
        shown.clear();
    }

    std::vector<std::string> texts;
    QString file;
    std::optional<QString> folder;
    // When the loss of the link was told, on the meter's clock and on the steady clock.
    std::optional<double> lossAtMs;
    std::optional<SteadyTime> lossAt;
    // Every box since the last ResetLoss, with when it came.
    std::vector<std::pair<SteadyTime, std::string>> shown;
    // Called with each box's text before it is answered: a user who keeps a box open for a while.
    std::function<void(const QString&)> whileOpen;
};

// Pumps events for a while: what an operation sets off after it has returned belongs to it.
void Settle(std::chrono::milliseconds time)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < time.count())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Calls the action once, from a timer, as soon as a modal window other than `except` is open. The
// timer, which an operation that opens no modal window deletes (its action may refer to the
// operation's own variables).
QPointer<QTimer> OnNextModal(QWidget* except, std::function<void(QWidget&)> action)
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
    return timer;
}

struct sSimulatedProbe
{
    std::unique_ptr<probesim::ProbeSimulator> sim;
    std::unique_ptr<probesim::Instrument> probe;
    USHORT port = 0;
};

// A probe that stays awake, unless `sleeps`: then it sleeps after its EOS without traffic.
sSimulatedProbe StartProbe(probesim::InstrumentConfig config, bool sleeps = false)
{
    sSimulatedProbe started;
    config.sleeps = sleeps;
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

void Report(const std::string& operation, double stallMs, double tookMs, bool ok)
{
    const int nested = g_pWaits != nullptr ? g_pWaits->Nested() : 0;
    const double controlMs = g_pMeter != nullptr ? g_pMeter->ControlMs() : 0.0;
    std::printf("%-62s longest stall %8.1f ms (control %6.1f ms)   took %8.1f ms   nested waits %d%s\n",
                operation.c_str(), stallMs, controlMs, tookMs, nested,
                ok ? "" : "   (did not end as it should)");
    std::fflush(stdout);
    if (g_pWaits != nullptr)
        g_pWaits->Reset();
}

// Every modal window that the operation leaves open after the time given is cancelled, so that the
// run goes on (the operation is then reported as not ending as it should).
class ModalWatchdog
{
public:
    explicit ModalWatchdog(std::chrono::milliseconds after)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this]
                         {
                             if (auto* modal = qobject_cast<CNVDialog*>(QApplication::activeModalWidget()))
                             {
                                 m_bFired = true;
                                 modal->EndDialog(IDCANCEL);
                             }
                             m_timer.start(1000);
                         });
        m_timer.start(static_cast<int>(after.count()));
    }
    bool Fired() const { return m_bFired; }

private:
    QTimer m_timer;
    bool m_bFired = false;
};

// Loses the line right after the sensor watch's next read of the sensor table, on a thread of its
// own that sees the request as the probe takes it: the watch's look at the cap that follows, which
// holds the device lock, then waits for answers that never come. When the line was lost; none when
// no such read came.
std::optional<SteadyTime> LoseLineAfterTableRead(probesim::ProbeSimulator& sim)
{
    constexpr uint16_t kTableAddress = SENSOR_MASK_REGISTER - 40001;
    size_t seen = sim.Log().ReceivedCount();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000)
    {
        if (!sim.Log().WaitForReceived(seen + 1, 100ms))
            continue;
        const std::vector<probesim::LoggedFrame> frames = sim.Log().Received();
        const size_t count = sim.Log().ReceivedCount();
        for (size_t i = frames.size() - std::min(frames.size(), count - seen); i < frames.size(); ++i)
        {
            const std::optional<probesim::Adu>& adu = frames[i].adu;
            if (adu && adu->function == 3 && adu->data.size() >= 2 &&
                ((adu->data[0] << 8) | adu->data[1]) == kTableAddress)
            {
                sim.RequestFaults().LoseLine();
                return std::chrono::steady_clock::now();
            }
        }
        seen = count;
    }
    return std::nullopt;
}

// The last request of a round of a worker that reads the probe on a fixed period, the only one
// talking to it (a calibration wizard's reading, the live data poll), and the quiet after its reply.
struct sRoundEnd
{
    probesim::RequestMatch match;
    std::chrono::steady_clock::duration quiet{};
};

// The last request of a round: the request whose reply is followed by the longest quiet on the line
// (the wait for the next round) while the line is watched for the time given, two periods or more so
// that a whole quiet is seen, as a match that no other request of the watch meets. None when there
// is no such request. Runs the user-interface thread's events meanwhile.
std::optional<sRoundEnd> LastRequestOfARound(probesim::ProbeSimulator& sim, std::chrono::milliseconds watch)
{
    const size_t before = sim.Log().ReceivedCount();
    QElapsedTimer watching;
    watching.start();
    while (watching.elapsed() < watch.count())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const std::vector<probesim::LoggedFrame> frames = sim.Log().Frames();
    const size_t received = sim.Log().ReceivedCount() - before;
    // The requests of the watch (the log keeps only its newest frames), with the end of each one's
    // reply and the start of the next request.
    std::vector<size_t> requests;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].direction == probesim::Direction::Received && frames[i].adu)
            requests.push_back(i);
    if (requests.size() > received)
        requests.erase(requests.begin(), requests.end() - static_cast<std::ptrdiff_t>(received));
    std::optional<size_t> last;
    std::chrono::steady_clock::duration longest{};
    for (size_t k = 0; k + 1 < requests.size(); ++k)
    {
        const size_t next = requests[k + 1];
        for (size_t j = requests[k] + 1; j < next; ++j)
            if (frames[j].direction == probesim::Direction::Sent &&
                frames[next].start - frames[j].end > longest)
            {
                longest = frames[next].start - frames[j].end;
                last = requests[k];
            }
    }
    if (!last || frames[*last].adu->function != 3 || frames[*last].adu->data.size() < 2)
        return std::nullopt;
    const probesim::Adu& adu = *frames[*last].adu;
    probesim::RequestMatch match = probesim::RequestMatch::Function(adu.function);
    match.readRegister = static_cast<uint16_t>(((adu.data[0] << 8) | adu.data[1]) + 40001);
    for (const size_t k : requests)
        if (match.Matches(*frames[k].adu) && frames[k].bytes != frames[*last].bytes)
            return std::nullopt;
    return sRoundEnd{match, longest};
}

// When the probe's reply to the request after which the line was lost, which came after `since`,
// ended; none before both are in the log.
std::optional<SteadyTime> EndOfTheLastReply(probesim::ProbeSimulator& sim, SteadyTime since)
{
    const std::vector<probesim::LoggedFrame> frames = sim.Log().Frames();
    for (size_t i = frames.size(); i-- > 0;)
    {
        if (frames[i].direction != probesim::Direction::Received || frames[i].start < since ||
            frames[i].note.find("line lost after it") == std::string::npos)
            continue;
        for (size_t j = i + 1; j < frames.size(); ++j)
            if (frames[j].direction == probesim::Direction::Sent)
                return frames[j].end;
        return std::nullopt;
    }
    return std::nullopt;
}

// A click of the mouse on the button, as the user gives it (a check box on its box).
void ClickOn(QAbstractButton& button)
{
    const bool boxed = qobject_cast<QCheckBox*>(&button) != nullptr;
    const QPoint at = boxed ? QPoint(button.height() / 2, button.height() / 2) : button.rect().center();
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, at);
}

// One case of the user told that the probe stopped answering.
struct sLossCase
{
    std::string name;
    std::optional<double> seconds; // from the stop to the loss box; none when either did not come
    bool ended = false;            // the operation ended as it should
    // The period of a poll that rests between its rounds and keeps the keep-alive resting: its
    // next round may come that much after the stop.
    std::optional<double> period;

    double Target() const { return kLossTargetSeconds + period.value_or(0.0); }
    bool Met() const { return ended && seconds && *seconds <= Target(); }
};

std::vector<sLossCase> g_lossCases;

// What reached the probe and what it sent from just before the stop on, and the boxes shown, each
// with its time from the stop: where the time to the loss box went.
void PrintTimeline(probesim::ProbeSimulator& sim, SteadyTime stopAt, const BenchDialogs& dialogs)
{
    std::vector<std::pair<double, std::string>> lines;
    for (const probesim::LoggedFrame& frame : sim.Log().Frames())
        if (frame.start + 500ms >= stopAt)
            lines.emplace_back(SecondsBetween(stopAt, frame.start), probesim::Describe(frame));
    for (const auto& [at, text] : dialogs.shown)
        if (at + 500ms >= stopAt)
        {
            std::string oneLine = text;
            std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
            lines.emplace_back(SecondsBetween(stopAt, at), "box \"" + oneLine + "\"");
        }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    constexpr size_t kMostLines = 150;
    std::printf("    from the stop on (s):\n");
    for (size_t i = 0; i < lines.size() && i < kMostLines; ++i)
        std::printf("    %+9.3f  %s\n", lines[i].first, lines[i].second.c_str());
    if (lines.size() > kMostLines)
        std::printf("    ... %zu lines more\n", lines.size() - kMostLines);
    std::fflush(stdout);
}

// Notes a case from the stop (none: the probe was never stopped) to the loss box the dialogs saw,
// prints it, and what happened on the line after the stop when the case missed the target (or
// always, with `timeline`). A poll's case gives its period in seconds, which its target adds.
void RecordLoss(const std::string& name, std::optional<SteadyTime> stopAt, bool ended,
                probesim::ProbeSimulator& sim, const BenchDialogs& dialogs, bool timeline = false,
                std::optional<double> period = std::nullopt)
{
    sLossCase row{name, std::nullopt, ended, period};
    if (stopAt && dialogs.lossAt)
        row.seconds = SecondsBetween(*stopAt, *dialogs.lossAt);
    const bool met = row.Met();
    if (row.seconds)
        std::printf("  %s: %.1f s from the stop to the loss box (target %.0f s)%s\n", name.c_str(),
                    *row.seconds, row.Target(), met ? "" : " (target missed)");
    else
        std::printf("  %s: %s\n", name.c_str(), stopAt ? "no loss box" : "the probe was never stopped");
    if ((!met || timeline) && stopAt)
        PrintTimeline(sim, *stopAt, dialogs);
    std::fflush(stdout);
    g_lossCases.push_back(std::move(row));
}

// The table of the loss cases; false when any missed the target or did not end as it should.
bool PrintLossTable()
{
    bool allMet = true;
    std::printf("\n%-78s %9s %8s %8s  %s\n", "from the probe's stop to \"Device connection lost.\"",
                "seconds", "period", "target", "met");
    for (const sLossCase& row : g_lossCases)
    {
        const bool met = row.Met();
        allMet = allMet && met;
        const std::string seconds = row.seconds ? QString::number(*row.seconds, 'f', 1).toStdString() : "-";
        const std::string period =
            row.period ? QString::number(*row.period, 'f', 0).toStdString() + " s" : std::string();
        std::printf("%-78s %9s %8s %6.0f s  %s\n", row.name.c_str(), seconds.c_str(), period.c_str(),
                    row.Target(),
                    met         ? "yes"
                    : row.ended ? "no"
                                : "no (did not end as it should)");
    }
    std::fflush(stdout);
    return allMet;
}

// The window system's request to close the window (its close box, Alt+F4).
void AskToClose(QWidget& window)
{
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QCoreApplication::instance()->notify(window.windowHandle(), &close);
}

// The name of the live data file the bench has the live data page save to.
const QString kLiveFileName = QStringLiteral("uistall-live");

// Starts the live poll on the live data page once the page has its rows; false when it did not.
// With `toFile`, "Save live data to file" checked: the file named kLiveFileName in the folder that
// the dialog service gives. With a rate, that typed into the rate edit first (in seconds).
bool StartLivePoll(CDlgFrame_TarnwickSoft& window, bool toFile = false,
                   std::optional<int> rate = std::nullopt)
{
    window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_LIVE_DATA);
    // The page rebuilds its rows once it has been shown a moment: the poll starts after that.
    QElapsedTimer showing;
    showing.start();
    while ((window.LiveDataPage().IsActivationPending() ||
            window.LiveDataPage().List().topLevelItemCount() == 0) &&
           showing.elapsed() < 5000)
        Settle(20ms);
    Settle(300ms);
    if (rate)
        window.LiveDataPage().RateEdit().setText(QString::number(*rate));
    window.LiveDataPage().LogToFileBox().setChecked(toFile);
    QPointer<QTimer> pending;
    if (toFile)
        pending = OnNextModal(&window,
                              [](QWidget& modal)
                              {
                                  auto* popup = qobject_cast<CDlgPopup_ConfigureDataLog*>(&modal);
                                  if (popup == nullptr)
                                  {
                                      static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
                                      return;
                                  }
                                  popup->SendCommand(IDC_DATALOG_SELECT_FOLDER);
                                  popup->FileNameEdit().setText(kLiveFileName);
                                  popup->SendCommand(IDOK);
                              });
    window.LiveDataPage().StartStopButton().click();
    delete pending.data();
    QElapsedTimer starting;
    starting.start();
    while (window.LiveDataPage().IsReading() == FALSE && starting.elapsed() < 5000)
        Settle(20ms);
    Settle(1000ms);
    return window.LiveDataPage().IsReading() != FALSE;
}

bool ConnectAndSettle(CDlgFrame_TarnwickSoft& window)
{
    if (!theProbeConnection.IsConnected())
        window.ConnectButton().click();
    QElapsedTimer connecting;
    connecting.start();
    while (!theProbeConnection.IsConnected() && connecting.elapsed() < 10000)
        Settle(20ms);
    return theProbeConnection.IsConnected() != FALSE;
}

void Disconnect(CDlgFrame_TarnwickSoft& window)
{
    if (theProbeConnection.IsConnected())
        window.ConnectButton().click();
    Settle(200ms);
}

// The sensor on the connection selected in the sensor setup page's list; false when it is not listed.
bool SelectSensor(CCtrlPage_SensorSetup& page, USHORT connection)
{
    QListWidget& list = page.SensorList();
    for (int row = 0; row < list.count(); ++row)
    {
        list.setCurrentRow(row);
        Settle(50ms);
        if (page.GetSelectedSensorItem() == connection)
            return true;
    }
    return false;
}

// Pumps events until the loss of the link has been told, or the time is up.
bool WaitForLossBox(const BenchDialogs& dialogs, std::chrono::milliseconds timeout)
{
    QElapsedTimer waiting;
    waiting.start();
    while (!dialogs.lossAtMs && waiting.elapsed() < timeout.count())
        Settle(20ms);
    return dialogs.lossAtMs.has_value();
}

} // namespace

int main(int argc, char** argv)
{
    // First: removed last, once nothing has a file of it open.
    const RunFolder files;
    if (files.Path().empty())
        return 1;
    QApplication application(argc, argv);
    ui::PrepareApplication();
    QApplication::setApplicationName(QStringLiteral("Tarnwick Software"));
    NVSystem::InstallDeviceFactory();
    BenchDialogs dialogs;
    ui::SetDialogService(&dialogs);
    ui::CQtMessageBoxHook messageBoxes;
    InstallCalibrationDispatch();
    RunStartup(theProbeConnection, GetProgramDirectory());
    StallMeter meter;
    g_pMeter = &meter;
    WaitCounter waits;
    g_pWaits = &waits;
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
        const std::filesystem::path image = files.Path() / "upgrade.bin";
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

    // --- The calibration wizards on the multi-sensor probe: each opened on a healthy probe (and, after
    // the page switch below, Calibrate... on a probe that has gone silent). ---
    StopProbe(probe);
    probe = StartProbe(probesim::ProbeConfig(kMultiSensorProbe, 4711));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    check(ConnectAndSettle(window));
    window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
    Settle(3000ms);
    for (const sWizardKind& kind : kWizards)
    {
        // From Calibrate... until the wizard is shown, ready for the user.
        double stall = 0;
        double took = 0;
        bool shown = false;
        const QPointer<QTimer> pending = OnNextModal(&window,
                                                     [&](QWidget& modal)
                                                     {
                                                         took = meter.ElapsedMs();
                                                         stall = meter.Stop();
                                                         shown = true;
                                                         static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
                                                     });
        const ModalWatchdog watchdog(30s);
        meter.Start();
        const sCalibrateResult result = RunCalibration(&window.SensorSetupPage(), kind.sensorId);
        delete pending.data();
        if (!shown)
            stall = meter.Stop();
        Report(std::string("opening the ") + kind.name + " wizard, healthy probe", stall, took,
               check(shown && result.ran && !watchdog.Fired()));
        Settle(1000ms);
    }

    // --- A switch to the sensor setup page while the live poll and the sensor watch wait for a
    // probe that has gone silent. ---
    {
        check(ConnectAndSettle(window));
        const bool reading = StartLivePoll(window);
        if (!reading)
            std::fprintf(stderr, "uistall: the live poll did not start (connected: %d, page %d)\n",
                         theProbeConnection.IsConnected() ? 1 : 0, window.GetVisiblePage());
        probe.sim->RequestFaults().LoseLine();
        // The poll's next round is under way and unanswered.
        Settle(200ms);
        meter.Start();
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
        // The watch looks at the probe once the page is shown, and waits as the poll did.
        Settle(3000ms);
        const double took = meter.ElapsedMs();
        // The loss of the link, which the poll or the keep-alive notices meanwhile, may take the window
        // back to its first page: that is no failure of the switch.
        Report("page switch to sensor setup, poll and watch reading a silent probe (and 3 s on)",
               meter.Stop(), took, check(reading));
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- The sensor setup page shown again while the sensor watch waits for a probe that has gone
    // silent, holding the device lock. ---
    {
        // A watch that ended with the silence before is started again with a fresh connect.
        Disconnect(window);
        check(ConnectAndSettle(window));
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
        Settle(1500ms);
        std::atomic<bool> lost{false};
        std::atomic<bool> looked{false};
        std::thread losing(
            [&]
            {
                lost = LoseLineAfterTableRead(*probe.sim).has_value();
                looked = true;
            });
        while (!looked)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        losing.join();
        // The watch's look at the cap is on the line and unanswered.
        Settle(100ms);
        meter.Start();
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_PROBE_INFO);
        Settle(50ms);
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
        Settle(3000ms);
        const double took = meter.ElapsedMs();
        Report("sensor setup page shown again, watch reading a silent probe (and 3 s on)", meter.Stop(), took,
               check(lost));
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- Calibrate... on a probe that has gone silent, for each wizard. ---
    for (const sWizardKind& kind : kWizards)
    {
        check(ConnectAndSettle(window));
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
        Settle(1500ms);
        probe.sim->RequestFaults().LoseLine();
        const ModalWatchdog watchdog(120s);
        meter.Start();
        const sCalibrateResult result = RunCalibration(&window.SensorSetupPage(), kind.sensorId);
        // What the failed calibration sets off afterwards (the loss of the link noticed) belongs to it.
        Settle(2000ms);
        const double took = meter.ElapsedMs();
        Report(std::string("Calibrate... (") + kind.name + "), silent probe (and 2 s on)", meter.Stop(), took,
               check(!watchdog.Fired() && result.calibration != ECalibration::None));
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // A connection of its own (the loss of one before cannot reach it), the sensor setup page shown
    // and the sensor chosen, with what the selection sets off on the page over; the loss box not yet
    // seen. False when the sensor is not in the list.
    const auto OnAFreshConnectionChoose = [&](USHORT connection)
    {
        Disconnect(window);
        check(ConnectAndSettle(window));
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_SENSOR_SETUP);
        Settle(1500ms);
        const bool selected = SelectSensor(window.SensorSetupPage(), connection);
        Settle(1500ms);
        dialogs.ResetLoss();
        return selected;
    };

    // --- The user told of a probe that falls silent around a wizard, through the sensor setup page's
    // Calibrate as the user opens the wizards: Cancel on each wizard's first page once the probe has
    // stopped answering (the worker's next read on its way), to the loss box. ---
    for (const sWizardKind& kind : kWizards)
    {
        CCtrlPage_SensorSetup& page = window.SensorSetupPage();
        const bool selected = OnAFreshConnectionChoose(kind.connection);
        bool cancelled = false;
        std::optional<SteadyTime> stopAt;
        const QPointer<QTimer> pending =
            OnNextModal(&window,
                        [&](QWidget& modal)
                        {
                            Settle(300ms);
                            const size_t heard = probe.sim->Log().ReceivedCount();
                            probe.sim->RequestFaults().LoseLine();
                            stopAt = std::chrono::steady_clock::now();
                            QElapsedTimer waiting;
                            waiting.start();
                            while (probe.sim->Log().ReceivedCount() == heard && waiting.elapsed() < 10000)
                                QApplication::processEvents(QEventLoop::AllEvents, 5);
                            meter.Start();
                            cancelled = true;
                            static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
                        });
        const ModalWatchdog watchdog(240s);
        page.CalibrateButton().click();
        const bool told = WaitForLossBox(dialogs, 240s);
        delete pending.data();
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name =
            std::string("Cancel on the ") + kind.name + " wizard's first page, probe silent, to the loss box";
        const bool ended = check(selected && cancelled && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs);
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- Calibrate... on the sensor setup page of a probe that has gone silent, to the loss box. ---
    for (const sWizardKind& kind : kWizards)
    {
        CCtrlPage_SensorSetup& page = window.SensorSetupPage();
        const bool selected = OnAFreshConnectionChoose(kind.connection);
        probe.sim->RequestFaults().LoseLine();
        const SteadyTime stopAt = std::chrono::steady_clock::now();
        const ModalWatchdog watchdog(240s);
        meter.Start();
        page.CalibrateButton().click();
        const bool told = WaitForLossBox(dialogs, 240s);
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name =
            std::string("Calibrate... (") + kind.name + ") on the page, silent probe, to the loss box";
        const bool ended = check(selected && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs);
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- Finish with "restore calibration defaults" in the conductivity wizard on a probe that the
    // wizard's reading found silent: Finish clicked while its read is on its way to the stopped probe,
    // the question answered once that read has gone unanswered and the reading has ended, to the
    // loss box. ---
    {
        CCtrlPage_SensorSetup& page = window.SensorSetupPage();
        const bool selected = OnAFreshConnectionChoose(kWizards[0].connection);
        bool asked = false;
        bool finished = false;
        bool readingEnded = false;
        std::optional<SteadyTime> stopAt;
        QPointer<CDlgWizFrame_CalConductivity> opened;
        const QString restoreQuestion = QStringLiteral("This will restore calibration defaults to");
        dialogs.whileOpen = [&](const QString& text)
        {
            if (!text.startsWith(restoreQuestion))
                return;
            asked = true;
            // The question stays open, as a box does, holding what the wizard's reading posts.
            const ui::CNestedLoop open;
            QElapsedTimer waiting;
            waiting.start();
            while (opened && !opened->m_pCalData->HasWorkerEnded() && waiting.elapsed() < 60000)
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            readingEnded = opened && opened->m_pCalData->HasWorkerEnded();
        };
        const QPointer<QTimer> pending =
            OnNextModal(&window,
                        [&](QWidget& modal)
                        {
                            auto* wizard = dynamic_cast<CDlgWizFrame_CalConductivity*>(&modal);
                            if (wizard == nullptr)
                            {
                                static_cast<CNVDialog&>(modal).SendCommand(IDCANCEL);
                                return;
                            }
                            Settle(300ms);
                            ClickOn(wizard->Step1().RestoreBox());
                            Settle(100ms);
                            const size_t heard = probe.sim->Log().ReceivedCount();
                            probe.sim->RequestFaults().LoseLine();
                            stopAt = std::chrono::steady_clock::now();
                            meter.Start();
                            // The wizard's next read is on its way.
                            QElapsedTimer waiting;
                            waiting.start();
                            while (probe.sim->Log().ReceivedCount() == heard && waiting.elapsed() < 10000)
                                QApplication::processEvents(QEventLoop::AllEvents, 5);
                            finished = wizard->GetFinishButton().isEnabled();
                            opened = wizard;
                            ClickOn(wizard->GetFinishButton());
                        });
        const ModalWatchdog watchdog(240s);
        page.CalibrateButton().click();
        const bool told = WaitForLossBox(dialogs, 240s);
        dialogs.whileOpen = nullptr;
        delete pending.data();
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name = "Finish with the restore in the conductivity wizard, probe found silent";
        // The question was answered once the reading had ended, not on the wait's limit.
        const bool ended = check(selected && asked && finished && readingEnded && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs);
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- The probe stops answering just after a sample read of a calibration wizard's reading, the
    // worst moment for the user: the reading's next read comes a whole sample interval later, and
    // its tries and the line's check follow. For each wizard, to the loss box. ---
    for (const sWizardKind& kind : kWizards)
    {
        CCtrlPage_SensorSetup& page = window.SensorSetupPage();
        const bool selected = OnAFreshConnectionChoose(kind.connection);
        std::optional<SteadyTime> stopAt;
        const QPointer<QTimer> pending =
            OnNextModal(&window,
                        [&](QWidget&)
                        {
                            // Nothing but the wizard's reading talks to the probe while it is open.
                            // Two sample intervals of the slowest wizard, and a little.
                            const std::optional<sRoundEnd> last = LastRequestOfARound(*probe.sim, 11s);
                            if (!last)
                                return;
                            const SteadyTime armed = std::chrono::steady_clock::now();
                            probe.sim->RequestFaults().LoseLineAfter(last->match);
                            QElapsedTimer waiting;
                            waiting.start();
                            while (!stopAt && waiting.elapsed() < 20000)
                            {
                                QApplication::processEvents(QEventLoop::AllEvents, 1);
                                if (probe.sim->RequestFaults().LineLost())
                                    stopAt = EndOfTheLastReply(*probe.sim, armed);
                            }
                        });
        const ModalWatchdog watchdog(240s);
        meter.Start();
        page.CalibrateButton().click();
        const bool told = WaitForLossBox(dialogs, 240s);
        delete pending.data();
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name =
            std::string("the ") + kind.name + " wizard, probe silent just after a sample read";
        const bool ended = check(selected && stopAt && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        // The worst moment found: where its time goes is shown whether or not it meets the target.
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs, true);
        probe.sim->RequestFaults().Clear();
        Settle(500ms);
    }

    // --- Calibrate... on the sensor setup page while the sensor watch's read goes unanswered, on a
    // probe that sleeps between the watch's looks, for each wizard, to the loss box. ---
    Disconnect(window);
    StopProbe(probe);
    {
        probesim::InstrumentConfig sleeping = probesim::ProbeConfig(kMultiSensorProbe, 4711);
        // Asleep half a second after the last exchange: before each of the watch's looks.
        sleeping.eos = 500;
        probe = StartProbe(sleeping, true);
    }
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    for (const sWizardKind& kind : kWizards)
    {
        CCtrlPage_SensorSetup& page = window.SensorSetupPage();
        const bool selected = OnAFreshConnectionChoose(kind.connection);
        std::optional<SteadyTime> stopAt;
        std::atomic<bool> looked{false};
        std::thread losing(
            [&]
            {
                stopAt = LoseLineAfterTableRead(*probe.sim);
                looked = true;
            });
        while (!looked)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        losing.join();
        const ModalWatchdog watchdog(240s);
        meter.Start();
        if (stopAt)
            page.CalibrateButton().click();
        const bool told = WaitForLossBox(dialogs, 240s);
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name = std::string("Calibrate... (") + kind.name +
                                 ") during the watch's unanswered read, sleeping probe";
        const bool ended = check(selected && stopAt && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs);
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- The connect whose pages are still loading when the probe stops answering: after the first
    // request of what the connect sets off, to the loss box. ---
    Disconnect(window);
    StopProbe(probe);
    probe = StartProbe(probesim::ProbeConfig(kMultiSensorProbe, 4711));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    {
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_LIVE_DATA);
        Settle(300ms);
        dialogs.ResetLoss();
        std::optional<SteadyTime> stopAt;
        std::atomic<bool> stopped{false};
        // Sees the first request to the probe after the connect has it connected, as the probe takes it.
        std::thread losing(
            [&]
            {
                QElapsedTimer waiting;
                waiting.start();
                while (!theProbeConnection.IsConnected() && waiting.elapsed() < 30000)
                    std::this_thread::sleep_for(1ms);
                const size_t heard = probe.sim->Log().ReceivedCount();
                if (theProbeConnection.IsConnected() && probe.sim->Log().WaitForReceived(heard + 1, 10s))
                {
                    probe.sim->RequestFaults().LoseLine();
                    stopAt = std::chrono::steady_clock::now();
                }
                stopped = true;
            });
        const ModalWatchdog watchdog(240s);
        meter.Start();
        window.ConnectButton().click();
        QElapsedTimer waiting;
        waiting.start();
        while (!stopped && waiting.elapsed() < 60000)
            Settle(5ms);
        const bool told = stopped && WaitForLossBox(dialogs, 240s);
        losing.join();
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name = "connect, the probe silent while the pages load";
        const bool ended = check(stopAt && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs);
        probe.sim->RequestFaults().RestoreLine();
        Settle(500ms);
    }

    // --- The live data page polling into a file at its shortest rate when the probe stops answering
    // just after the last reply of a round, where the user's wait begins: the next round comes
    // almost a whole period later (the keep-alive rests while the page reads), and its tries and the
    // line's check follow. To the loss box, against the target with the period added. On the
    // optical DO probe, whose round of one sensor leaves most of the period quiet; the multi-sensor
    // probe's four measurements fill it, so that the next round would follow the last reply at once. ---
    Disconnect(window);
    StopProbe(probe);
    probe = StartProbe(probesim::ProbeConfig(36, 4711));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    {
        const std::filesystem::path folder = files.Path() / "live-data";
        std::filesystem::create_directories(folder);
        dialogs.folder = QString::fromStdString(folder.string());
        check(ConnectAndSettle(window));
        const bool reading = StartLivePoll(window, true, MIN_LOG_RATE);
        // What the page polls at: the rate in the edit when it started.
        const int period = window.LiveDataPage().RateEdit().text().toInt();
        // The file has its header and the first round's line.
        const auto FileLines = [&folder]
        {
            size_t lines = 0;
            for (const auto& entry : std::filesystem::directory_iterator(folder))
            {
                std::ifstream file(entry.path());
                std::string line;
                while (std::getline(file, line))
                    ++lines;
            }
            return lines;
        };
        QElapsedTimer logging;
        logging.start();
        while (reading && FileLines() < 2 && logging.elapsed() < 20000)
            Settle(50ms);
        const bool logged = FileLines() >= 2;
        dialogs.ResetLoss();
        const ModalWatchdog watchdog(240s);
        meter.Start();
        // Nothing but the poll talks to the probe while it reads. The quiet found is the rest between
        // two rounds only when it takes most of the period.
        const std::chrono::seconds periodTime(period);
        const std::optional<sRoundEnd> last =
            reading ? LastRequestOfARound(*probe.sim, 2 * periodTime + 1s) : std::nullopt;
        const bool rests = last && last->quiet > periodTime / 2;
        if (last && !rests)
            std::printf("  the live poll's rounds leave %.1f s of its %d s period quiet\n",
                        std::chrono::duration<double>(last->quiet).count(), period);
        std::optional<SteadyTime> stopAt;
        if (rests)
        {
            const SteadyTime armed = std::chrono::steady_clock::now();
            probe.sim->RequestFaults().LoseLineAfter(last->match);
            QElapsedTimer waiting;
            waiting.start();
            while (!stopAt && waiting.elapsed() < std::chrono::milliseconds(2 * periodTime).count())
            {
                QApplication::processEvents(QEventLoop::AllEvents, 1);
                if (probe.sim->RequestFaults().LineLost())
                    stopAt = EndOfTheLastReply(*probe.sim, armed);
            }
        }
        const bool told = stopAt && WaitForLossBox(dialogs, 240s);
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name = "live data polling into a file, probe silent just after a round";
        const bool ended = check(reading && logged && rests && stopAt && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        // A worst moment, as the wizards' stop after a sample read: where its time goes is always shown.
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs, true, period);
        probe.sim->RequestFaults().Clear();
        Settle(500ms);
        window.LiveDataPage().LogToFileBox().setChecked(false);
    }

    // --- A firmware upload when the probe stops answering during the block transfer, to the loss
    // box. ---
    Disconnect(window);
    StopProbe(probe);
    probe = StartProbe(probesim::ProbeConfig(36, 4711));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);
    {
        check(ConnectAndSettle(window));
        window.ShowPage(CDlgFrame_TarnwickSoft::PAGE_PROBE_INFO);
        Settle(1000ms);
        const std::filesystem::path image = files.Path() / "upload.bin";
        // Long enough for a transfer of many blocks.
        const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage({.deviceType = 36,
                                                                         .firmwareVersion = 250,
                                                                         .lowestHardware = 1,
                                                                         .highestHardware = 1,
                                                                         .records = 400});
        std::ofstream(image, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        dialogs.file = QString::fromStdString(image.string());
        dialogs.ResetLoss();
        std::optional<SteadyTime> stopAt;
        CDlgPopup_FirmwareUpdate popup(&window.ProbeInfoPage());
        QTimer::singleShot(0, &popup,
                           [&]
                           {
                               popup.SelectButton().click();
                               popup.UpdateButton().click();
                               QElapsedTimer waiting;
                               waiting.start();
                               while (probe.probe->Boot().Blocks().size() < 3 && popup.isVisible() &&
                                      waiting.elapsed() < 60000)
                                   QApplication::processEvents(QEventLoop::AllEvents, 1);
                               if (!popup.isVisible() || probe.probe->Boot().Blocks().size() < 3)
                                   return;
                               probe.sim->RequestFaults().LoseLine();
                               stopAt = std::chrono::steady_clock::now();
                               meter.Start();
                           });
        const ModalWatchdog watchdog(240s);
        const int result = popup.DoModal();
        const bool told = WaitForLossBox(dialogs, 240s);
        const double took = dialogs.lossAtMs.value_or(meter.ElapsedMs());
        const std::string name = "firmware upload, probe silent during the block transfer";
        const bool ended = check(stopAt && result == IDCANCEL && told && !watchdog.Fired());
        Report(name, meter.Stop(), took, ended);
        RecordLoss(name, stopAt, ended, *probe.sim, dialogs);
        std::filesystem::remove(image);
        probe.sim->RequestFaults().RestoreLine();
        Disconnect(window);
    }
    // The upload has left it without its application: the rest is done with another one.
    StopProbe(probe);
    probe = StartProbe(probesim::ProbeConfig(kMultiSensorProbe, 4711));
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, probe.port);

    // --- The close box asked twice while the window waits (the live poll stopped for a page switch
    // waits for its read of a probe that has gone silent): taken once, after the wait, and the
    // window ends. Last: the window is gone afterwards. ---
    {
        check(ConnectAndSettle(window));
        const bool reading = StartLivePoll(window);
        probe.sim->RequestFaults().LoseLine();
        // The poll's next round is under way and unanswered.
        Settle(200ms);
        int asked = 0;
        QTimer::singleShot(50, &window,
                           [&]
                           {
                               if (!ui::IsWaitingForWork())
                                   return;
                               AskToClose(window);
                               AskToClose(window);
                               asked = 2;
                           });
        meter.Start();
        window.TabButton(CDlgFrame_TarnwickSoft::PAGE_PROBE_INFO).click();
        QElapsedTimer closing;
        closing.start();
        while (window.isVisible() && closing.elapsed() < 60000)
            Settle(20ms);
        const double took = meter.ElapsedMs();
        Report("close box asked twice during a wait (the poll stopping on a silent probe)", meter.Stop(),
               took,
               check(reading && asked == 2 && !window.isVisible() && window.result() == IDCANCEL &&
                     !theProbeConnection.IsConnected()));
        probe.sim->RequestFaults().RestoreLine();
    }

    g_pWaits = nullptr;
    g_pMeter = nullptr;
    window.SendCommand(SC_CLOSE_COMMAND);
    Settle(200ms);
    theProbeConnection.DisconnectDevice();
    StopProbe(probe);
    ui::SetDialogService(nullptr);
    const bool allMet = PrintLossTable();
    return allOk && allMet ? 0 : 1;
}
