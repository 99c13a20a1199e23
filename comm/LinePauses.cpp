#include "comm/LinePauses.h"

#include <mutex>

#include "platform/Clock.h"

namespace
{

std::mutex g_pauseLock;
LinePauseFunction g_pause; // under g_pauseLock

} // namespace

void PauseLine(ELinePause pause, ULONG ms)
{
    LinePauseFunction function;
    {
        std::lock_guard lock(g_pauseLock);
        function = g_pause;
    }
    if (function)
        function(pause, ms);
    else
        platform::SleepMs(ms);
}

LinePauseFunction SetLinePauseFunction(LinePauseFunction pause)
{
    std::lock_guard lock(g_pauseLock);
    LinePauseFunction previous = std::move(g_pause);
    g_pause = std::move(pause);
    return previous;
}
