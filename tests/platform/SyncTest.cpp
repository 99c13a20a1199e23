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
        waiters.emplace_back([&] { released += event.Wait(30000) ? 1 : 0; });
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
    // However late the released waiter gets to count itself.
    const uint64_t setAt = platform::GetTickCount64();
    while (released == 0 && platform::GetTickCount64() - setAt < 10000)
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

using platform::CStoppableThread;

TEST(StoppableThreadTest, ARunStartedAgainDoesNotSeeTheStopThatEndedTheOneBefore)
{
    CStoppableThread worker;
    CEvent began(CEvent::Reset::Auto);
    std::atomic<int> runs{0};
    std::atomic<bool> stopSeenAtStart{false};
    const auto run = [&]
    {
        ++runs;
        stopSeenAtStart = stopSeenAtStart || worker.StopEvent().Wait(0);
        began.Set();
        worker.StopEvent().Wait();
    };
    ASSERT_TRUE(worker.Start(run));
    ASSERT_TRUE(began.Wait(5000));
    worker.Stop();
    EXPECT_FALSE(worker.IsStarted());
    // Started again after a stop, and again while it runs (the running one is stopped first).
    for (int start = 2; start <= 3; ++start)
    {
        ASSERT_TRUE(worker.Start(run));
        ASSERT_TRUE(began.Wait(5000));
        EXPECT_EQ(runs, start);
        EXPECT_FALSE(stopSeenAtStart) << start;
        EXPECT_TRUE(worker.IsStarted());
    }
    worker.Stop();
    EXPECT_FALSE(worker.IsStarted());

    // A run that has ended by itself counts as started until it is stopped or started anew.
    CEvent ended(CEvent::Reset::Auto);
    ASSERT_TRUE(worker.Start([&] { ended.Set(); }));
    ASSERT_TRUE(ended.Wait(5000));
    EXPECT_TRUE(worker.IsStarted());
    ASSERT_TRUE(worker.Start(run));
    ASSERT_TRUE(began.Wait(5000));
    EXPECT_FALSE(stopSeenAtStart);
    worker.Stop();
}

TEST(StoppableThreadTest, TwoStartsAtOnceLeaveOneRunningWorker)
{
    CStoppableThread worker;
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    const auto run = [&]
    {
        const int now = ++running;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);)
        {
        }
        worker.StopEvent().Wait();
        --running;
    };
    for (int round = 0; round < 100; ++round)
    {
        std::atomic<int> ready{0};
        std::atomic<bool> bothStarted{true};
        const auto start = [&]
        {
            ++ready;
            while (ready.load() < 2)
                std::this_thread::yield();
            bothStarted = worker.Start(run) && bothStarted;
        };
        std::thread other(start);
        start();
        other.join();
        ASSERT_TRUE(bothStarted);
        EXPECT_TRUE(worker.IsStarted());
        worker.Stop();
        ASSERT_EQ(running, 0) << round;
    }
    EXPECT_EQ(most, 1);
}

// A second Start that comes while the first has stopped the running worker and not yet put its own
// in place waits for it: it never finds the place empty as well.
TEST(StoppableThreadTest, ASecondStartWaitsWhileTheFirstPutsItsWorkerInPlace)
{
    struct Overlap
    {
    };
    CStoppableThread worker;
    const auto run = [&] { worker.StopEvent().Wait(); };
    ASSERT_TRUE(worker.Start(run));

    std::atomic<int> placing{0};
    std::atomic<bool> overlapped{false};
    CEvent secondArrived(CEvent::Reset::Manual);
    std::thread second;
    std::atomic<bool> spawned{false};
    std::atomic<bool> secondStarted{false};
    worker.SetStartHookForTests(
        [&](CStoppableThread::EStartPoint point)
        {
            if (point == CStoppableThread::EStartPoint::Waiting)
            {
                secondArrived.Set();
                return;
            }
            if (++placing > 1)
            {
                // The second is putting its worker in place too: it must not, or the first's
                // would be put over a running one.
                overlapped = true;
                --placing;
                secondArrived.Set();
                throw Overlap{};
            }
            if (!spawned.exchange(true))
            {
                second = std::thread(
                    [&]
                    {
                        try
                        {
                            secondStarted = worker.Start(run);
                        }
                        catch (const Overlap&)
                        {
                        }
                    });
                // Until the second either waits for this Start or has got past it.
                EXPECT_TRUE(secondArrived.Wait(10000));
            }
            --placing;
        });
    ASSERT_TRUE(worker.Start(run));
    second.join();
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(secondStarted);
    EXPECT_TRUE(worker.IsStarted());
    worker.Stop();
    EXPECT_FALSE(worker.IsStarted());
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
