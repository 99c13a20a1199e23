// Qt hands work between threads (posted events, queued calls) under locks of its own that a thread
// checker cannot see, because Qt is not built with it. Two ways to make such a hand-over visible:
// - PublishHandover just before posting an object that is complete, AcquireHandover before the
//   receiving thread reads it (posted events);
// - RunOnUiThread, which moves the work through a queue under a standard mutex and uses Qt only to
//   wake the user-interface thread (work that another thread builds: its captures would otherwise
//   be copied by Qt after any publication).
#pragma once

#include <functional>

namespace ui
{
void PublishHandover();
void AcquireHandover();

// Runs work on the user-interface thread. Returns at once; the work runs in the order it was
// posted, or never when the application ends first.
void PostToUiThread(std::function<void()> work);

// Runs work on the user-interface thread and returns when it has run. Never call it from a thread
// that the user-interface thread is waiting for.
void RunOnUiThread(const std::function<void()>& work);
} // namespace ui
