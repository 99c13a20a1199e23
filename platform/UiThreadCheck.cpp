#include "platform/UiThreadCheck.h"

namespace platform
{
namespace
{

// Only the watched thread reads or writes its own watch: nothing here is shared between threads.
thread_local sUiThreadWatch t_watch;
thread_local int t_nAllowed = 0;

} // namespace

void WatchThisThreadAsUi(const sUiThreadWatch& watch)
{
    t_watch = watch;
}

bool IsWatchedUiThread()
{
    return t_watch.reporter != nullptr && t_nAllowed == 0;
}

void NoteUiThreadFault(UiThreadFault fault, const char* what)
{
    if (!IsWatchedUiThread())
        return;
    if (fault == UiThreadFault::WatchedLock && !t_watch.everyLockTaken)
        return;
    t_watch.reporter(fault, what);
}

CAllowOnUiThread::CAllowOnUiThread()
{
    ++t_nAllowed;
}

CAllowOnUiThread::~CAllowOnUiThread()
{
    --t_nAllowed;
}

} // namespace platform
