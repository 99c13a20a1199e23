#include "tests/support/UiThreadWatch.h"

#include <execinfo.h>

#include <cstdint>
#include <set>
#include <string>

#include <gtest/gtest.h>

// The sanitizer runtimes print the stack of the calling thread; absent from the other builds.
extern "C" __attribute__((weak)) void __sanitizer_print_stack_trace();

namespace testsupport
{
namespace
{

// The frames that tell one place from another: a stack printed once per place and run, however
// many tests pass there.
constexpr int kPlaceFrames = 24;

int g_nFaults = 0;
std::set<std::uintptr_t> g_placesShown;

// A mark of the stack of the caller: the fault with the return addresses that lead to it.
std::uintptr_t PlaceOfCaller(platform::UiThreadFault fault)
{
    void* frames[kPlaceFrames] = {};
    const int n = backtrace(frames, kPlaceFrames);
    std::uintptr_t place = static_cast<std::uintptr_t>(fault) + 1;
    for (int i = 0; i < n; ++i)
        place = place * 1000003u ^ reinterpret_cast<std::uintptr_t>(frames[i]);
    return place;
}

const char* Describe(platform::UiThreadFault fault)
{
    switch (fault)
    {
    case platform::UiThreadFault::SerialIo:
        return "made on the user-interface thread";
    case platform::UiThreadFault::ContendedLock:
        return "waited for on the user-interface thread while another thread held it";
    default:
        return "taken on the user-interface thread";
    }
}

void Report(platform::UiThreadFault fault, const char* what)
{
    ++g_nFaults;
    const bool newPlace = g_placesShown.insert(PlaceOfCaller(fault)).second;
    const bool printable = __sanitizer_print_stack_trace != nullptr;
    ADD_FAILURE() << what << ' ' << Describe(fault)
                  << (!printable ? ""
                      : newPlace ? " (the stack follows on standard error)"
                                 : " (at a place whose stack was printed before)");
    if (printable && newPlace)
        __sanitizer_print_stack_trace();
}

} // namespace

void WatchUiThread(bool everyLockTaken)
{
    platform::WatchThisThreadAsUi({.reporter = &Report, .everyLockTaken = everyLockTaken});
}

int UiThreadFaultsSeen()
{
    return g_nFaults;
}

} // namespace testsupport
