// The watch on the user-interface thread: what the transports and a watched lock tell it reaches the
// reporter only from the watched thread, outside the scopes that allow it, and a watched lock is
// told when it has to be waited for (or, where asked, whenever it is taken).
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Sync.h"
#include "platform/UiThreadCheck.h"

namespace
{

using platform::UiThreadFault;

// Only the watched thread reports, and only the test's thread is watched.
std::vector<std::pair<UiThreadFault, std::string>> g_reports;
// Set by a holder of the lock: released once the watched thread has reported that it waits.
platform::CEvent* g_pRelease = nullptr;

void Record(UiThreadFault fault, const char* what)
{
    g_reports.emplace_back(fault, what);
    if (fault == UiThreadFault::ContendedLock && g_pRelease != nullptr)
        g_pRelease->Set();
}

class UiThreadCheckTest : public ::testing::Test
{
protected:
    UiThreadCheckTest() { g_reports.clear(); }
    ~UiThreadCheckTest() override
    {
        platform::WatchThisThreadAsUi({});
        g_pRelease = nullptr;
    }
    static void Watch(bool everyLockTaken = false)
    {
        platform::WatchThisThreadAsUi({.reporter = &Record, .everyLockTaken = everyLockTaken});
    }
};

TEST_F(UiThreadCheckTest, SerialWorkIsReportedOnlyFromTheWatchedThreadOutsideAnAllowingScope)
{
    platform::NoteUiThreadFault(UiThreadFault::SerialIo, "before the watch");
    Watch();
    EXPECT_TRUE(platform::IsWatchedUiThread());
    platform::NoteUiThreadFault(UiThreadFault::SerialIo, "serial read");
    {
        const platform::CAllowOnUiThread setUp;
        const platform::CAllowOnUiThread nested;
        EXPECT_FALSE(platform::IsWatchedUiThread());
        platform::NoteUiThreadFault(UiThreadFault::SerialIo, "the test's own");
    }
    std::thread([] { platform::NoteUiThreadFault(UiThreadFault::SerialIo, "a worker's"); }).join();
    platform::NoteUiThreadFault(UiThreadFault::SerialIo, "serial write");
    platform::WatchThisThreadAsUi({});
    platform::NoteUiThreadFault(UiThreadFault::SerialIo, "after the watch");
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_EQ(g_reports[0].second, "serial read");
    EXPECT_EQ(g_reports[1].second, "serial write");
}

TEST_F(UiThreadCheckTest, AWatchedLockIsReportedWhenItMustBeWaitedForAndOnRequestWheneverTaken)
{
    platform::CCriticalSection watched("device lock");
    platform::CCriticalSection plain;
    Watch();
    // Free: taken without a report, re-entered too.
    watched.Lock();
    watched.Lock();
    watched.Unlock();
    watched.Unlock();
    EXPECT_TRUE(g_reports.empty());

    // Held by another thread until the watched one has said that it waits.
    platform::CEvent held(platform::CEvent::Reset::Manual);
    platform::CEvent release(platform::CEvent::Reset::Manual);
    g_pRelease = &release;
    std::thread holder(
        [&]
        {
            watched.Lock();
            held.Set();
            release.Wait();
            watched.Unlock();
        });
    ASSERT_TRUE(held.Wait(5000));
    EXPECT_FALSE(watched.TryLock()) << "a try that fails waits for nothing";
    watched.Lock();
    watched.Unlock();
    holder.join();
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].first, UiThreadFault::ContendedLock);
    EXPECT_EQ(g_reports[0].second, "device lock");

    // Asked for: every time it is taken; a plain lock never.
    g_reports.clear();
    Watch(true);
    {
        const std::lock_guard guard(watched);
        const std::lock_guard other(plain);
    }
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].first, UiThreadFault::WatchedLock);
    {
        const platform::CAllowOnUiThread setUp;
        watched.Lock();
        watched.Unlock();
    }
    EXPECT_EQ(g_reports.size(), 1u);
}

} // namespace
