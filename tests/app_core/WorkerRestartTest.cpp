// The keep-alive and the sensor watch started more than once on one object, as the main window and
// the sensor setup page do on every connect and activation: each new run keeps working until it is
// stopped, whether the run before was stopped or still running.
#include <atomic>
#include <chrono>

#include "app/main/KeepAlive.h"
#include "app/sensorsetup/SensorWatch.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/SensorBank.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;

class WorkerRestartTest : public ConnectionTest
{
protected:
    // Until the worker has asked for its activity `times` more times; false after 5 s.
    bool WaitUntilAsked(int times)
    {
        const int target = m_nAsked.load() + times;
        return PollUntil([&] { return m_nAsked.load() >= target; });
    }

    std::atomic<int> m_nAsked{0};
    PostedMessages m_window;
};

TEST_F(WorkerRestartTest, TheKeepAliveGoesOnReadingAfterEveryStart)
{
    StartConnected(12);
    CKeepAlive keepAlive(
        m_connection, m_window,
        [this]
        {
            ++m_nAsked;
            return false;
        },
        10ms);
    // Started, started again while it runs, then stopped and started once more.
    for (const bool stopFirst : {false, false, true})
    {
        if (stopFirst)
        {
            keepAlive.Stop();
            EXPECT_FALSE(keepAlive.IsStarted());
        }
        ASSERT_TRUE(keepAlive.Start());
        ASSERT_TRUE(WaitUntilAsked(3)) << "a keep-alive that read once and ended";
        EXPECT_TRUE(keepAlive.IsStarted());
    }
    keepAlive.Stop();
    EXPECT_EQ(m_window.Count(windowmsg::WM_CONNECTION_LOST), 0u);
    EXPECT_FALSE(m_connection.ReleaseBusy()) << "every run gave back what it counted";
}

TEST_F(WorkerRestartTest, TheSensorWatchStartedAgainStillSeesTheProbesSensorsChange)
{
    StartConnected(18);
    CSensorWatch watch(
        m_connection, m_window,
        [this]
        {
            ++m_nAsked;
            return true;
        },
        10ms);
    probesim::RegisterModel& registers = Sim().Registers();
    for (size_t run = 1; run <= 3; ++run)
    {
        SCOPED_TRACE(run);
        if (run == 3)
        {
            watch.Stop();
            EXPECT_TRUE(watch.HasEnded());
        }
        ASSERT_TRUE(watch.Start());
        // Its first look has been taken once it asks whether the page is active.
        ASSERT_TRUE(WaitUntilAsked(1));
        registers.SetU32(probesim::reg::kSensorMask,
                         registers.GetU32(probesim::reg::kSensorMask).value() ^ 0x8u);
        ASSERT_TRUE(m_window.WaitFor(windowmsg::WM_SENSORS_CHANGED, run));
        EXPECT_FALSE(watch.HasEnded());
    }
    watch.Stop();
    EXPECT_TRUE(watch.HasEnded());
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

} // namespace
} // namespace apptest
