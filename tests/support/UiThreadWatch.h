// The watch on the user-interface thread of the window tests (platform/UiThreadCheck.h): a serial
// read or write made on the test's thread, which is the user-interface thread, or the device lock
// taken there, fails the test that made it, with the stack where it happened (printed by the
// sanitizer runtime in the sanitized builds, once per place). The device lock fails whether or not
// a worker held it at the time: a worker may hold it across a slow read, and a test that fails only
// when the timing is unlucky would let the fault through most of the time.
//
// A test that talks to the probe itself, to set it up or to look at it afterwards, does so inside
// a testsupport::ProbeWorkOfTheTest scope.
#pragma once

#include "platform/UiThreadCheck.h"

namespace testsupport
{

// Watches the calling thread until the process ends. Without everyLockTaken, only a device lock
// that had to be waited for fails.
void WatchUiThread(bool everyLockTaken = true);

// The test's own work with the probe on the user-interface thread.
using ProbeWorkOfTheTest = platform::CAllowOnUiThread;

// How many faults the watch has seen in the whole run (for the watch's own test).
int UiThreadFaultsSeen();

} // namespace testsupport
