// The tick-count stopwatch: elapsed milliseconds of the running interval and statistics of the
// intervals it has timed. Ticks are 64-bit milliseconds of the steady clock; a test may give its
// own tick source so that nothing has to wait.
#pragma once

#include <cstdint>

#include "platform/Sync.h"
#include "platform/Types.h"

class CStopwatch
{
public:
    using TickSource = uint64_t (*)();

    // The platform's tick clock unless a source is given.
    explicit CStopwatch(TickSource ticks = nullptr);
    ~CStopwatch();
    CStopwatch(const CStopwatch&) = delete;
    CStopwatch& operator=(const CStopwatch&) = delete;

    // start = stop = now, running.
    void Start();
    // Only while running: stops, and the interval updates longest, shortest, total and count.
    void Stop();
    // All fields back to their cleared values (shortest 0xFFFFFFFF), not running.
    void Reset();
    // From the start to now while running, else to the stop.
    uint64_t GetElapsedMs() const;

    BOOL IsRunning() const;
    uint32_t GetLongestMs() const;
    uint32_t GetShortestMs() const; // 0xFFFFFFFF until an interval was timed
    double GetTotalMs() const;
    double GetIntervalCount() const;

private:
    uint64_t Now() const;

    TickSource m_pTicks;
    uint64_t m_nStartTick = 0;
    uint64_t m_nStopTick = 0;
    uint32_t m_nLongestMs = 0;
    uint32_t m_nShortestMs = 0xFFFFFFFFu;
    uint32_t m_bRunning = 0;
    double m_dTotalMs = 0.0;
    double m_dCount = 0.0;
    mutable platform::CCriticalSection m_Lock;
};
