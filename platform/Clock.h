// Tick counts and sleeping. Ticks are 64-bit milliseconds of a steady clock (no 49.7-day wrap).
#pragma once

#include <cstdint>

namespace platform
{

uint64_t GetTickCount64();
void SleepMs(uint64_t ms);

// Measures elapsed milliseconds on the tick clock.
class CTickStopwatch
{
public:
    CTickStopwatch() : m_start(GetTickCount64()) {}
    void Restart() { m_start = GetTickCount64(); }
    uint64_t ElapsedMs() const { return GetTickCount64() - m_start; }

private:
    uint64_t m_start;
};

} // namespace platform
