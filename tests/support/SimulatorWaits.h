// Waits for the simulated probe to take in what the master wrote, for the binaries that link it. A
// test that assumed the simulator keeps up (a shortened pause, a line "quiet for a while") fails on a
// busy machine, where the simulator gets to the line late: frames run into each other, or the log
// is looked at before the last request is in it.
//
// The wake-up pause: the protocol's 250 ms after each wake-up frame is longer than a test should
// sit through, and a fixed shorter pause does not keep the frames apart when the simulator reads
// the wake-up frame and the request after it in one go. So the pause lasts until the probe has
// taken the wake-up frame in.
#pragma once

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "comm/IOAbstract.h"
#include "tools/probe-sim/FrameLog.h"
#include "tools/probe-sim/Framing.h"

namespace testsupport
{

// What the simulator has taken in of what the master's port wrote: the bytes of the frames it logged
// against the port's own count, reckoned from the last time both agreed, so that the log holds the
// last request also when it went unanswered (on a busy machine the simulator may get to it long
// after its time-out).
class WrittenTakenIn
{
public:
    // Until the simulator has logged every byte the port wrote since the last call; false after the
    // time-out. When the log was cleared in between (or has dropped the frames of the last call), it
    // cannot tell, and waits until no frame has come for a while instead. Bytes that never come
    // are those the master purged from the line before the simulator read them (a retry purges
    // the line first): once nothing has come for a second, the rest counts as gone.
    bool Await(NVTools::IIOAbstract& port, const probesim::FrameLog& log,
               std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        constexpr auto kGone = std::chrono::seconds(1);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;)
        {
            ULONG written = 0;
            if (port.GetStatistics(&written, nullptr, nullptr) != S_OK)
                return false;
            const size_t count = log.ReceivedCount();
            const std::vector<probesim::LoggedFrame> frames = log.Received();
            if (log.ReceivedCount() != count)
                continue;                               // a frame came between the two looks
            const size_t first = count - frames.size(); // the count of the oldest frame kept
            if (!StillHolds(frames, first) || written < m_written)
            {
                AwaitQuiet(log);
                Agree(port, log);
                return true;
            }
            size_t taken = 0;
            for (size_t i = m_count - first; i < frames.size(); ++i)
                taken += frames[i].bytes.size();
            if (taken >= written - m_written)
            {
                m_written = written;
                m_count = count;
                m_last = frames.empty() ? probesim::Clock::time_point() : frames.back().start;
                return true;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return false;
            if (deadline - now > kGone && !log.WaitForReceived(count + 1, kGone))
            {
                Agree(port, log);
                return true;
            }
            if (deadline - now <= kGone)
                log.WaitForReceived(count + 1, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        }
    }
    // Both counts as they are now: a fresh port and simulator, or a log the test cleared once the
    // line had settled.
    void Agree(NVTools::IIOAbstract& port, const probesim::FrameLog& log)
    {
        m_written = 0;
        port.GetStatistics(&m_written, nullptr, nullptr);
        std::vector<probesim::LoggedFrame> frames;
        do
        {
            m_count = log.ReceivedCount();
            frames = log.Received();
        } while (log.ReceivedCount() != m_count);
        m_last = frames.empty() ? probesim::Clock::time_point() : frames.back().start;
    }

private:
    // Whether the log still holds the frame that was the newest when both counts last agreed:
    // a log cleared since may have counted up to the same number with other frames.
    bool StillHolds(const std::vector<probesim::LoggedFrame>& frames, size_t first) const
    {
        if (m_count == 0)
            return true;
        return m_count > first && m_count - first <= frames.size() &&
               frames[m_count - first - 1].start == m_last;
    }

    static void AwaitQuiet(const probesim::FrameLog& log)
    {
        constexpr auto kQuiet = std::chrono::milliseconds(10);
        for (int i = 0; i < 25; ++i)
        {
            const size_t count = log.ReceivedCount();
            if (!log.WaitForReceived(count + 1, kQuiet))
                return;
        }
    }

    ULONG m_written = 0;
    size_t m_count = 0;
    probesim::Clock::time_point m_last; // the start of the frame m_count counted last
};

class WakeUpFrameWatch
{
public:
    // Wake-up frames that the simulator took in before now are not waited for: they belong to
    // pauses that the watch did not keep.
    WakeUpFrameWatch() : m_lastTaken(probesim::Clock::now()) {}
    void IgnoreEarlier()
    {
        std::lock_guard lock(m_mutex);
        m_lastTaken = probesim::Clock::now();
    }

    // Until the log holds a wake-up frame (Report Slave ID to address 200, in either framing, as the
    // master sends it whatever framing the probe listens in) newer than the last one this watch
    // took; false after the time-out (a frame that ran into another one on the line).
    bool AwaitNext(const probesim::FrameLog& log, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::lock_guard lock(m_mutex);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;)
        {
            // Counted before the look, so that a frame logged during the look ends the wait below.
            const size_t count = log.ReceivedCount();
            if (TakeNewest(log.Received()))
                return true;
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return false;
            log.WaitForReceived(count + 1, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        }
    }

private:
    bool TakeNewest(const std::vector<probesim::LoggedFrame>& frames)
    {
        static const probesim::Adu wakeUp{200, 17, {}};
        static const std::vector<uint8_t> rtu = probesim::EncodeFrame(probesim::FramingMode::Rtu, wakeUp);
        static const std::vector<uint8_t> ascii = probesim::EncodeFrame(probesim::FramingMode::Ascii, wakeUp);
        const auto found = std::find_if(frames.rbegin(), frames.rend(),
                                        [](const probesim::LoggedFrame& frame)
                                        { return frame.bytes == rtu || frame.bytes == ascii; });
        if (found == frames.rend() || found->start <= m_lastTaken)
            return false;
        m_lastTaken = found->start;
        return true;
    }

    std::mutex m_mutex;
    probesim::Clock::time_point m_lastTaken;
};

} // namespace testsupport
