#include "foundation/Stopwatch.h"

#include <algorithm>
#include <mutex>

#include "platform/Clock.h"

CStopwatch::CStopwatch(TickSource ticks) : m_pTicks(ticks != nullptr ? ticks : platform::GetTickCount64) {}

CStopwatch::~CStopwatch()
{
    Reset();
}

uint64_t CStopwatch::Now() const
{
    return m_pTicks();
}

void CStopwatch::Start()
{
    std::lock_guard lock(m_Lock);
    m_nStartTick = m_nStopTick = Now();
    m_bRunning = 1;
}

void CStopwatch::Stop()
{
    std::lock_guard lock(m_Lock);
    if (!m_bRunning)
        return;
    m_bRunning = 0;
    m_nStopTick = Now();
    const uint64_t interval = m_nStopTick - m_nStartTick;
    const auto clipped = static_cast<uint32_t>(std::min<uint64_t>(interval, UINT32_MAX));
    m_nLongestMs = std::max(m_nLongestMs, clipped);
    m_nShortestMs = std::min(m_nShortestMs, clipped);
    m_dTotalMs += static_cast<double>(interval);
    m_dCount += 1.0;
}

void CStopwatch::Reset()
{
    std::lock_guard lock(m_Lock);
    m_nStartTick = m_nStopTick = 0;
    m_nLongestMs = 0;
    m_nShortestMs = 0xFFFFFFFFu;
    m_bRunning = 0;
    m_dTotalMs = 0.0;
    m_dCount = 0.0;
}

uint64_t CStopwatch::GetElapsedMs() const
{
    std::lock_guard lock(m_Lock);
    return (m_bRunning ? Now() : m_nStopTick) - m_nStartTick;
}

BOOL CStopwatch::IsRunning() const
{
    std::lock_guard lock(m_Lock);
    return m_bRunning ? TRUE : FALSE;
}

uint32_t CStopwatch::GetLongestMs() const
{
    std::lock_guard lock(m_Lock);
    return m_nLongestMs;
}

uint32_t CStopwatch::GetShortestMs() const
{
    std::lock_guard lock(m_Lock);
    return m_nShortestMs;
}

double CStopwatch::GetTotalMs() const
{
    std::lock_guard lock(m_Lock);
    return m_dTotalMs;
}

double CStopwatch::GetIntervalCount() const
{
    std::lock_guard lock(m_Lock);
    return m_dCount;
}
