// A watch on the user-interface thread for the tests of the windows: that thread must neither talk
// to the probe nor wait for a lock that a worker may hold while it talks to the probe. The serial
// transport says when it is about to read or write, and a watched lock (the device lock) when it is
// about to be taken; on the watched thread each goes to the reporter, unless a scope on that thread
// allows it (a test setting up its probe, or looking at the device afterwards).
//
// Nothing is watched unless a thread asks for it; on every other thread the checks cost a read of
// a thread-local flag.
#pragma once

namespace platform
{

enum class UiThreadFault
{
    // A read or write of a serial port.
    SerialIo,
    // A watched lock taken while another thread holds it: the thread has to wait.
    ContendedLock,
    // A watched lock taken at all, reported only where the watch asks for it: another thread may
    // hold it, if not this time, across a slow read.
    WatchedLock,
};

// Gets the fault and what it was about ("serial read COM 3", "device lock"); called on the watched
// thread.
using UiThreadFaultReporter = void (*)(UiThreadFault fault, const char* what);

struct sUiThreadWatch
{
    UiThreadFaultReporter reporter = nullptr;
    // Every acquisition of a watched lock is reported, not only the ones that had to wait.
    bool everyLockTaken = false;
};

// The calling thread is the one watched from now on; a null reporter ends the watch.
void WatchThisThreadAsUi(const sUiThreadWatch& watch);

// True on the watched thread, outside every allowing scope.
bool IsWatchedUiThread();

// Reports the fault when the calling thread is watched and not allowed.
void NoteUiThreadFault(UiThreadFault fault, const char* what);

// Within its lifetime the calling thread may do what the watch reports: a test's own work with the
// probe, not the code under test.
class CAllowOnUiThread
{
public:
    CAllowOnUiThread();
    ~CAllowOnUiThread();
    CAllowOnUiThread(const CAllowOnUiThread&) = delete;
    CAllowOnUiThread& operator=(const CAllowOnUiThread&) = delete;
};

} // namespace platform
