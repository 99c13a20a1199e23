// The program's start-up against the simulated probe: from an empty process to the main window
// connected to an optical DO probe through the ordinary port search, every page showing it, and the
// resident memory while connected. The probe is the one the search tries first (the last used
// port), as on a machine where the program has connected before.
//
// The time is told apart: the pauses the protocol asks of the master (wake-up pauses, inter-message
// delays, pauses after a busy reply), the probe's own time (from each request's first byte at the
// probe to the last byte of its reply, measurements that the probe takes before it answers among
// them), and the program's own time: the time in which the line was busy with neither, because the
// program had not yet asked. Prints one line per figure; exits 1 when the probe is not found.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>

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

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

using Interval = std::pair<Clock::time_point, Clock::time_point>;

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

bool PagesHaveTakenTheConnectIn(std::chrono::milliseconds timeout)
{
    CMessageMarker marker;
    marker.PostNotify(CNotifyEvent::kLastMessage);
    const auto end = Clock::now() + timeout;
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

} // namespace

int main(int argc, char** argv)
{
    // The simulator stands for the probe on its cable: it is not part of the program's start-up.
    probesim::ProbeSimulator sim;
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, 4711);
    config.sleeps = false;
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
        window.ConnectButton().click();
        const bool shown = PagesHaveTakenTheConnectIn(std::chrono::seconds(30));
        const auto connected = Clock::now();
        if (theProbeConnection.IsConnected() && shown)
        {
            const double total = Milliseconds(connected - start);
            const PauseCount& wakeUps = g_pauses[static_cast<size_t>(ELinePause::WakeUp)];
            const PauseCount& delays = g_pauses[static_cast<size_t>(ELinePause::InterMessage)];
            const PauseCount& busy = g_pauses[static_cast<size_t>(ELinePause::Busy)];
            const double pauses = static_cast<double>(wakeUps.ms + delays.ms + busy.ms);
            const std::vector<Interval> probeIntervals = ProbeIntervals(sim.Log());
            std::vector<Interval> busyLine = probeIntervals;
            {
                std::lock_guard lock(g_intervalLock);
                busyLine.insert(busyLine.end(), g_pauseIntervals.begin(), g_pauseIntervals.end());
            }
            const double probeTime = CoveredMilliseconds(probeIntervals, start, connected);
            const double lineBusy = CoveredMilliseconds(busyLine, start, connected);
            std::printf("start to connected main window: %.1f ms\n", total);
            std::printf(
                "  pauses of the protocol: %.0f ms (%u wake-up pauses %llu ms, %u inter-message delays "
                "%llu ms, %u busy pauses %llu ms)\n",
                pauses, wakeUps.count.load(), static_cast<unsigned long long>(wakeUps.ms.load()),
                delays.count.load(), static_cast<unsigned long long>(delays.ms.load()), busy.count.load(),
                static_cast<unsigned long long>(busy.ms.load()));
            std::printf("  the probe's answers: %.1f ms\n", probeTime);
            std::printf("  the program's own time: %.1f ms\n", total - lineBusy);
            std::printf("resident memory while connected: %.1f MB\n", ResidentKilobytes() / 1024.0);
            result = 0;
        }
        else
            std::fprintf(stderr, "startup: the probe was not found\n");
        window.SendCommand(SC_CLOSE_COMMAND);
        QApplication::processEvents();
    }
    theProbeConnection.DisconnectDevice();
    probesim::UnregisterComPort(sim.SlavePath());
    return result;
}
