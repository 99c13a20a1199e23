#include "tools/probe-sim/SleepState.h"

#include <algorithm>

namespace probesim
{

SleepState::SleepState(Clock::time_point awakeSince) : m_lastActivity(awakeSince) {}

bool SleepState::OnFrame(Clock::time_point start, Clock::time_point end,
                         std::optional<std::chrono::milliseconds> idle, unsigned framesToWake,
                         std::string& note)
{
    std::lock_guard lock(m_mutex);
    if (!AsleepLocked(start, idle))
    {
        m_lastActivity = std::max(m_lastActivity, end);
        m_listenUntil.reset();
        return false;
    }
    // A device that was half woken and then left alone for the idle time dozes off again.
    if (m_wakeFrames > 0 && idle && start - m_lastWakeFrame >= *idle)
        m_wakeFrames = 0;
    ++m_wakeFrames;
    m_lastWakeFrame = end;
    if (m_wakeFrames >= std::max(framesToWake, 1u))
    {
        note = "asleep: woken up";
        m_wakeFrames = 0;
        m_forced = false;
        m_lastActivity = std::max(m_lastActivity, end);
        m_listenUntil = end + kListenAfterWaking;
    }
    else
    {
        note =
            "asleep: waking (" + std::to_string(m_wakeFrames) + " of " + std::to_string(framesToWake) + ")";
    }
    return true;
}

void SleepState::Touch(Clock::time_point at)
{
    std::lock_guard lock(m_mutex);
    m_lastActivity = std::max(m_lastActivity, at);
}

void SleepState::FallAsleep()
{
    std::lock_guard lock(m_mutex);
    m_forced = true;
    m_wakeFrames = 0;
    m_listenUntil.reset();
}

Clock::time_point SleepState::LastActivity() const
{
    std::lock_guard lock(m_mutex);
    return m_lastActivity;
}

bool SleepState::Asleep(Clock::time_point now, std::optional<std::chrono::milliseconds> idle) const
{
    std::lock_guard lock(m_mutex);
    return AsleepLocked(now, idle);
}

bool SleepState::AsleepLocked(Clock::time_point now, std::optional<std::chrono::milliseconds> idle) const
{
    if (m_forced || m_wakeFrames > 0)
        return true;
    if (m_listenUntil && now < *m_listenUntil)
        return false;
    return idle && now - m_lastActivity >= *idle;
}

} // namespace probesim
