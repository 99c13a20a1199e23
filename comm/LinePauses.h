// The pauses the protocol asks of the master on a line: after each wake-up frame (250 ms, 500 ms on
// TCP/IP), the inter-message delay before a request that follows the line's last frame too
// closely, and the pause after a busy reply. They all go through one function, which sleeps; tests
// put a shorter one in its place (a wake-up pause is longer than a test should sit through), and a
// benchmark one that counts what the protocol made the program wait.
#pragma once

#include <functional>

#include "platform/Types.h"

enum class ELinePause
{
    WakeUp,
    InterMessage,
    Busy,
};

// Pauses the calling thread for ms milliseconds, through the function in place.
void PauseLine(ELinePause pause, ULONG ms);

using LinePauseFunction = std::function<void(ELinePause pause, ULONG ms)>;
// Puts the function in place for every line of the process (null: the sleep again) and returns the
// one it replaces. The function runs on the thread of the line that pauses, under its line lock.
LinePauseFunction SetLinePauseFunction(LinePauseFunction pause);
