// The progress record that a transfer feeds and the user interface polls.
#include <gtest/gtest.h>

#include <atomic>

#include "comm/TransferProgress.h"

namespace
{

std::atomic<uint64_t> g_ticks{5000};

uint64_t Ticks()
{
    return g_ticks.load();
}

TEST(TransferProgress, PercentIsRoundedAndStaysZeroWithoutATotal)
{
    CTransferProgress progress(&Ticks);
    progress.Start();
    progress.SetDone(10);
    EXPECT_EQ(progress.Get().percent, 0);
    EXPECT_EQ(progress.Get().done, 10u);

    progress.SetTotal(3);
    progress.SetDone(1);
    EXPECT_EQ(progress.Get().percent, 33);
    progress.SetDone(2);
    EXPECT_EQ(progress.Get().percent, 67);
    progress.SetTotal(0xFFFFFFFFu);
    progress.SetDone(0xFFFFFFFFu);
    EXPECT_EQ(progress.Get().percent, 100);

    progress.SetResult(static_cast<HRESULT>(0x8101013Fu));
    progress.Start();
    const CTransferProgress::sSnapshot restarted = progress.Get();
    EXPECT_EQ(restarted.percent, 0);
    EXPECT_EQ(restarted.total, 0u);
    EXPECT_EQ(restarted.done, 0u);
    EXPECT_EQ(restarted.result, S_OK);
}

TEST(TransferProgress, SecondsLeftFollowTheRateOnceBytesHaveMoved)
{
    CTransferProgress progress(&Ticks);
    progress.Start();
    progress.SetTotal(1500);
    // Nothing done yet, or no time passed: there is no rate to divide by.
    EXPECT_EQ(progress.Get().SecondsLeft(), 0.0);
    progress.SetDone(500);
    EXPECT_EQ(progress.Get().SecondsLeft(), 0.0);

    g_ticks += 2000;
    EXPECT_DOUBLE_EQ(progress.Get().SecondsLeft(), 4.0); // 250 bytes a second, 1000 to go
    progress.SetDone(1500);
    EXPECT_EQ(progress.Get().SecondsLeft(), 0.0);

    // Once stopped the elapsed time stays where the transfer ended.
    progress.SetDone(750);
    progress.Stop();
    g_ticks += 60000;
    EXPECT_EQ(progress.Get().elapsedMs, 2000u);
    EXPECT_DOUBLE_EQ(progress.Get().SecondsLeft(), 2.0); // 375 bytes a second, 750 to go
}

} // namespace
