#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform
{

uint64_t GetTickCount64()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SleepMs(uint64_t ms)
{
    if (ms == 0)
    {
        // Sleep(0) on Windows gives up the rest of the time slice.
        std::this_thread::yield();
        return;
    }
    // The millisecond count is signed: a huge request must not wrap into "no sleep at all".
    constexpr uint64_t kLongest = 100ull * 365 * 24 * 3600 * 1000;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms < kLongest ? ms : kLongest));
}

} // namespace platform
