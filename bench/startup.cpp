// The program's start-up and its connect against the simulated probe, as the user waits for them:
// from an empty process to the main window connected to the probe through the ordinary port search,
// and from the click on Connect to the first values on the live data page's screen. The probe is
// the one the search tries first (the last used port), as on a machine where the program has
// connected before, and it has been on its cable long enough for its sensors to have warmed up, so
// that every run waits for the same measurements.
//
//   startup [--device-type N]     (12 by default: the run command's probe; 18: the multi-sensor probe)
//
// The times are told apart. Start to the connected window: the pauses the protocol asks of the
// master (wake-up pauses, inter-message delays, pauses after a busy reply), the probe's answers
// (from each request's first byte at the probe to the last byte of its reply) and the program's own
// time, in which the line was busy with neither. Connect to the first values: the time the probe's
// sensors measured (as the simulator accounts it), the rest of the line's busy time, and the
// program's own. A figure is on screen when the window has painted it. Prints one line per figure,
// its name and its value separated by a tab (bench/startup.sh takes the medians of several runs);
// exits 1 when the probe is not found or the values do not come.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QEvent>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/Startup.h"
#include "comm/LinePauses.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "platform/Clock.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/WaitForWork.h"

namespace
{

using Clock = std::chrono::steady_clock;
using Interval = std::pair<Clock::time_point, Clock::time_point>;

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// The protocol's pauses, slept as always, added up by kind and kept as the line's busy times.
struct PauseCount
{
    std::atomic<uint64_t> ms{0};
    std::atomic<uint32_t> count{0};
};
std::array<PauseCount, 3> g_pauses;
std::mutex g_intervalLock;
std::vector<Interval> g_pauseIntervals; // under g_intervalLock

void CountedPause(ELinePause pause, ULONG ms)
{
    PauseCount& counted = g_pauses[static_cast<size_t>(pause)];
    counted.ms += ms;
    ++counted.count;
    const Clock::time_point from = Clock::now();
    platform::SleepMs(ms);
    std::lock_guard lock(g_intervalLock);
    g_pauseIntervals.emplace_back(from, Clock::now());
}

std::vector<Interval> PauseIntervals()
{
    std::lock_guard lock(g_intervalLock);
    return g_pauseIntervals;
}

// The first time a widget paints while the condition holds.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget& widget, std::function<bool()> condition) : m_condition(std::move(condition))
    {
        widget.installEventFilter(this);
    }
    std::optional<Clock::time_point> At() const { return m_at; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_at && m_condition())
            m_at = Clock::now();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_condition;
    std::optional<Clock::time_point> m_at;
};

// A hidden dialog whose message comes after every message posted to the dialogs before it: once
// it has arrived and no serial work is waited for, every page has taken the connect in.
class CMessageMarker : public CNVDialog
{
public:
    CMessageMarker() { Create(nullptr); }
    bool m_bReached = false;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == CNotifyEvent::kLastMessage)
            m_bReached = true;
        return CNVDialog::OnMessage(message, wParam, lParam);
    }
};

bool PagesHaveTakenTheConnectIn(Clock::time_point end)
{
    CMessageMarker marker;
    marker.PostNotify(CNotifyEvent::kLastMessage);
    while (!marker.m_bReached || ui::IsWaitingForWork())
    {
        if (Clock::now() > end)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// From each request the probe received to the end of the reply it sent to it.
std::vector<Interval> ProbeIntervals(const probesim::FrameLog& log)
{
    std::vector<Interval> intervals;
    const std::vector<probesim::LoggedFrame> frames = log.Frames();
    for (size_t i = 0; i + 1 < frames.size(); ++i)
    {
        const probesim::LoggedFrame& request = frames[i];
        const probesim::LoggedFrame& reply = frames[i + 1];
        if (request.direction == probesim::Direction::Received &&
            reply.direction == probesim::Direction::Sent)
            intervals.emplace_back(request.start, reply.end);
    }
    return intervals;
}

std::vector<Interval> MeasuringIntervals(const probesim::SensorBank& sensors)
{
    std::vector<Interval> intervals;
    for (const probesim::MeasuringSpan& span : sensors.MeasuringSpans())
        intervals.emplace_back(span.from, span.to);
    return intervals;
}

std::vector<Interval> Joined(std::vector<Interval> a, const std::vector<Interval>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The length of the union of the intervals within [from, to]: a pause of one thread while the
// probe answers another is counted once.
double CoveredMilliseconds(std::vector<Interval> intervals, Clock::time_point from, Clock::time_point to)
{
    std::sort(intervals.begin(), intervals.end());
    Clock::duration covered{};
    Clock::time_point reached = from;
    for (auto [begin, end] : intervals)
    {
        begin = std::max(begin, reached);
        end = std::min(end, to);
        if (end > begin)
        {
            covered += end - begin;
            reached = end;
        }
    }
    return Milliseconds(covered);
}

void Print(const char* figure, double value)
{
    std::printf("%s\t%.1f\n", figure, value);
}

// The sensors stay powered while the probe is on its cable: a run starts once the slowest has
// warmed up, so that the first read of a value always has its sensor measure.
void WaitForTheSensorsToWarmUp(probesim::Instrument& probe, Clock::time_point since)
{
    probesim::SensorBank& sensors = probe.Sensors();
    uint16_t longest = 0;
    for (uint16_t connection = 1; connection <= sensors.ConnectionCount(); ++connection)
    {
        if (sensors.Has(connection))
            longest = std::max(
                longest,
                probe.Registers().GetU16(sensors.Base(connection) + probesim::header::kWarmUp).value_or(0));
    }
    std::this_thread::sleep_until(since + std::chrono::milliseconds(longest) +
                                  std::chrono::milliseconds(100));
}

} // namespace

int main(int argc, char** argv)
{
    uint16_t deviceType = 12;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--device-type") == 0 && i + 1 < argc)
            deviceType = static_cast<uint16_t>(std::atoi(argv[++i]));
    }
    // The simulator stands for the probe on its cable: it is not part of the program's start-up.
    probesim::ProbeSimulator sim;
    probesim::InstrumentConfig config = probesim::ProbeConfig(deviceType, 4711);
    config.sleeps = false;
    const Clock::time_point powered = Clock::now();
    auto probe = probesim::MakeProbe(sim, config);
    std::string error;
    const auto port = probesim::RegisterComPort(sim.SlavePath(), 0, error);
    if (!port)
    {
        std::fprintf(stderr, "startup: %s\n", error.c_str());
        return 1;
    }
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, static_cast<int>(*port));
    SetLinePauseFunction(CountedPause);
    WaitForTheSensorsToWarmUp(*probe, powered);

    const auto start = Clock::now();
    QApplication application(argc, argv);
    ui::PrepareApplication();
    QApplication::setApplicationName(QStringLiteral("Tarnwick Software"));
    NVSystem::InstallDeviceFactory();
    ui::CQtMessageBoxHook messageBoxes;
    RunStartup(theProbeConnection, GetProgramDirectory());
    int result = 1;
    {
        CDlgFrame_TarnwickSoft window;
        window.Create(nullptr);
        window.show();
        QApplication::processEvents();
        CNVButton& connectButton = window.ConnectButton();
        const FirstPaint connectedShown(connectButton, [&connectButton]
                                        { return connectButton.text() == QStringLiteral("Disconnect"); });
        CCtrlPage_LiveData& page = window.LiveDataPage();
        const FirstPaint valuesShown(
            *page.List().viewport(),
            [&page]
            {
                const int rows = page.List().topLevelItemCount();
                for (int row = 0; row < rows; ++row)
                {
                    if (page.CellText(row, CCtrlPage_LiveData::COLUMN_VALUE).isEmpty())
                        return false;
                }
                return rows > 0;
            });
        const auto clicked = Clock::now();
        connectButton.click();
        const bool settled = PagesHaveTakenTheConnectIn(clicked + std::chrono::seconds(60));
        if (theProbeConnection.IsConnected() && settled && connectedShown.At() && valuesShown.At())
        {
            const std::vector<Interval> pauses = PauseIntervals();
            const std::vector<Interval> answers = ProbeIntervals(sim.Log());
            const std::vector<Interval> measuring = MeasuringIntervals(probe->Sensors());
            const std::vector<Interval> lineBusy = Joined(answers, pauses);

            const Clock::time_point connected = *connectedShown.At();
            const double startToConnected = Milliseconds(connected - start);
            Print("start to connected window", startToConnected);
            Print("  pauses of the protocol", CoveredMilliseconds(pauses, start, connected));
            Print("  the probe's answers", CoveredMilliseconds(answers, start, connected));
            Print("  the program's own time",
                  startToConnected - CoveredMilliseconds(lineBusy, start, connected));

            const Clock::time_point values = *valuesShown.At();
            const double connectToValues = Milliseconds(values - clicked);
            const double measured = CoveredMilliseconds(measuring, clicked, values);
            const double busy = CoveredMilliseconds(lineBusy, clicked, values);
            Print("Connect to the first values on screen", connectToValues);
            Print("  the sensors measuring", measured);
            Print("  the rest of the line's time (pauses, answers)", busy - measured);
            Print("  the program's own time", connectToValues - busy);
            Print("resident memory while connected (MB)", ResidentKilobytes() / 1024.0);
            result = 0;
        }
        else
            std::fprintf(stderr, "startup: the probe was not found or its values did not come\n");
        window.SendCommand(SC_CLOSE_COMMAND);
        QApplication::processEvents();
    }
    theProbeConnection.DisconnectDevice();
    probesim::UnregisterComPort(sim.SlavePath());
    return result;
}
