#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Sync.h"

namespace
{

using platform::CEvent;

TEST(EventTest, ManualResetReleasesEveryWaiterAndStaysSet)
{
    CEvent event(CEvent::Reset::Manual);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back(
            [&]
            {
                if (event.Wait(5000))
                    ++released;
            });
    event.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 3);
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0));
    event.ResetEvent();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, AutoResetReleasesOneWaiterPerSet)
{
    CEvent event(CEvent::Reset::Auto);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i)
        waiters.emplace_back(
            [&]
            {
                if (event.Wait(5000))
                    ++released;
            });
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

TEST(EventTest, InitiallySetAndTimedWait)
{
    CEvent initially(CEvent::Reset::Auto, true);
    EXPECT_TRUE(initially.Wait(0));

    CEvent never(CEvent::Reset::Manual);
    platform::CTickStopwatch watch;
    EXPECT_FALSE(never.Wait(20));
    EXPECT_GE(watch.ElapsedMs(), 19u);
    EXPECT_LT(watch.ElapsedMs(), 2000u);
}

TEST(EventTest, InfiniteWaitEndsWhenAnotherThreadSets)
{
    CEvent event(CEvent::Reset::Auto);
    std::thread setter(
        [&]
        {
            platform::SleepMs(5);
            event.Set();
        });
    EXPECT_TRUE(event.Wait(CEvent::kInfinite));
    setter.join();
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

TEST(ClockTest, TicksAdvanceWithSleep)
{
    const uint64_t before = platform::GetTickCount64();
    platform::SleepMs(15);
    const uint64_t after = platform::GetTickCount64();
    EXPECT_GE(after - before, 15u);
    EXPECT_LT(after - before, 2000u);
}

} // namespace
