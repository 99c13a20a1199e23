// The simulated probe's threads run at real-time priority where the process may have it: a probe on
// a wire hears and answers in its own time, whatever else the computer is busy with (a compiler, the
// program under test, other tests), and so should the simulated one. The lowest real-time priority
// is above every ordinary thread of the machine; without the right to it, a thread stays ordinary.
// Every loop of such a thread blocks or waits with a time-out: none may spin.
#pragma once

namespace probesim
{

// For the calling thread; tells whether it got the priority.
bool TryRealTimePriority();

} // namespace probesim
