// The instrument's power saving: after an idle time without traffic on the line it sleeps, and the
// next frame (in ASCII the next two, as the master sends two wake-up frames there) only wakes it:
// those frames go unanswered whatever their address. Any frame on the line counts as traffic, as
// the master keeps one idle clock per line. Woken, it listens for the frame that the waking
// announced for kListenAfterWaking at least, however short its idle time (an EOS of 0 included).
// Thread-safe.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

class SleepState
{
public:
    static constexpr std::chrono::milliseconds kListenAfterWaking{1000};

    explicit SleepState(Clock::time_point awakeSince = Clock::now());

    // A frame that started at `start` and ended at `end`. idle: the idle time after which the
    // device sleeps; nullopt when it stays awake. framesToWake: frames a sleeping device takes to
    // wake. true when the frame went to waking the device; `note` then says how far it got.
    bool OnFrame(Clock::time_point start, Clock::time_point end,
                 std::optional<std::chrono::milliseconds> idle, unsigned framesToWake, std::string& note);
    // Traffic that keeps the device awake until at least `at` (a reply sent, the end of a restart).
    void Touch(Clock::time_point at);
    // Puts the device to sleep now, as if the idle time had passed.
    void FallAsleep();

    bool Asleep(Clock::time_point now, std::optional<std::chrono::milliseconds> idle) const;
    // The moment the idle time counts from.
    Clock::time_point LastActivity() const;

private:
    bool AsleepLocked(Clock::time_point now, std::optional<std::chrono::milliseconds> idle) const;

    mutable std::mutex m_mutex;
    Clock::time_point m_lastActivity;
    bool m_forced = false;
    unsigned m_wakeFrames = 0; // frames received so far towards waking
    Clock::time_point m_lastWakeFrame;
    std::optional<Clock::time_point> m_listenUntil; // woken, awaiting the announced frame
};

} // namespace probesim
