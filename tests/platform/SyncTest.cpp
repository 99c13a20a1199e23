#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Sync.h"

namespace
{

using platform::CEvent;

// Threads that wait on the event and count themselves once released.
std::vector<std::thread> Waiters(CEvent& event, int count, std::atomic<int>& released)
{
    std::vector<std::thread> waiters;
    for (int i = 0; i < count; ++i)
        waiters.emplace_back([&] { released += event.Wait(5000) ? 1 : 0; });
    return waiters;
}

TEST(EventTest, ManualResetReleasesEveryWaiterAutoResetOne)
{
    CEvent manual(CEvent::Reset::Manual);
    std::atomic<int> released{0};
    auto waiters = Waiters(manual, 3, released);
    manual.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 3);
    EXPECT_TRUE(manual.IsSet() && manual.Wait(0));
    manual.ResetEvent();
    EXPECT_FALSE(manual.IsSet() || manual.Wait(0));

    CEvent event(CEvent::Reset::Auto);
    released = 0;
    waiters = Waiters(event, 2, released);
    event.Set();
    for (int i = 0; i < 500 && released == 0; ++i)
        platform::SleepMs(1);
    platform::SleepMs(20); // time for a wrongly released second waiter to show up
    EXPECT_EQ(released, 1);
    EXPECT_FALSE(event.IsSet());
    event.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 2);

    // A signal given before anyone waits is kept for the next waiter, and consumed by it.
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, TimedAndInfiniteWaits)
{
    CEvent initially(CEvent::Reset::Auto, true);
    EXPECT_TRUE(initially.Wait(0));
    CEvent never(CEvent::Reset::Manual);
    platform::CTickStopwatch watch;
    EXPECT_FALSE(never.Wait(20));
    EXPECT_GE(watch.ElapsedMs(), 19u);
    EXPECT_LT(watch.ElapsedMs(), 2000u);

    CEvent event(CEvent::Reset::Auto);
    std::thread setter(
        [&]
        {
            platform::SleepMs(5);
            event.Set();
        });
    EXPECT_TRUE(event.Wait(CEvent::kInfinite));
    setter.join();
    const uint64_t before = platform::GetTickCount64();
    platform::SleepMs(15);
    EXPECT_GE(platform::GetTickCount64() - before, 15u); // the tick clock advances with sleep
}

TEST(CriticalSectionTest, IsReentrantForItsOwnerOnly)
{
    platform::CCriticalSection cs;
    std::lock_guard outer(cs);
    ASSERT_TRUE(cs.TryLock());
    bool otherGotIt = true;
    std::thread other([&] { otherGotIt = cs.TryLock(); });
    other.join();
    EXPECT_FALSE(otherGotIt);
    cs.Unlock();
}

} // namespace
