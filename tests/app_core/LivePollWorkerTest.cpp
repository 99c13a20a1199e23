// The live-data polling thread against the simulated multi-sensor probe: the grid of its rounds, one
// request per sensor, a sensor unplugged while it runs, a line that fails, and stopping or
// disconnecting in the middle of a round. The rounds are paced by the test's own clock, so nothing
// waits for a period to pass.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/livedata/LivePollWorker.h"
#include "connection/SensorReadings.h"
#include "foundation/ResultCodes.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;

constexpr uint16_t kMultiSensorProbe = 18;
constexpr USHORT kConductivityConnection = 2;
constexpr uint64_t kPeriodMs = 10000;
constexpr uint8_t kReadHoldingRegisters = 3;
constexpr unsigned kFirstHoldingRegister = 40001;
constexpr unsigned kSensorWindowSpan = 200;

// The window as the worker sees it: the messages it was posted, in order.
class PostedMessages final : public INotifyWindow
{
public:
    struct Posted
    {
        uint32_t message;
        uintptr_t round;
        intptr_t tag;
    };

    void PostNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back({message, wParam, lParam});
        m_changed.notify_all();
    }
    bool WaitFor(size_t count, std::chrono::milliseconds timeout = 5000ms)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_posted.size() >= count; });
    }
    std::vector<Posted> All()
    {
        std::lock_guard lock(m_mutex);
        return m_posted;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Posted> m_posted;
};

// Time that passes only when the worker waits (by the whole wait) or when the test moves it; each
// wait after the first returns only once the test lets the next round begin.
class SteppedClock
{
public:
    sLivePollClock Clock()
    {
        sLivePollClock clock = sLivePollClock::System();
        clock.NowMs = [this] { return m_now.load(); };
        clock.WaitForStop = [this](platform::CEvent& stop, uint64_t ms)
        {
            m_waits.push_back(ms);
            m_now += ms;
            while (!stop.IsSet())
            {
                if (m_next.Wait(5))
                    return stop.IsSet();
            }
            return true;
        };
        return clock;
    }
    void Advance(uint64_t ms) { m_now += ms; }
    void NextRound() { m_next.Set(); }

private:
    std::atomic<uint64_t> m_now{1000000};
    std::vector<uint64_t> m_waits; // the worker's thread only
    platform::CEvent m_next{platform::CEvent::Reset::Auto};
};

class LivePollWorkerTest : public ConnectionTest
{
protected:
    void SetUp() override
    {
        StartConnected(kMultiSensorProbe);
        ASSERT_FALSE(HasFatalFailure());
        NVSystem::CDeviceComm* device = m_connection.GetDevice();
        ASSERT_EQ(CollectSensorReadings(*device, m_rows, UnpluggedSensors::Fail), S_OK);
        ASSERT_EQ(m_rows.GetCount(), 17u)
            << "four DO, seven conductivity, three level, three pH/ORP readings";
    }
    void TearDown() override { m_worker.Stop(); }

    void Start(intptr_t tag = 7)
    {
        ASSERT_EQ(m_worker.Start(m_connection.AcquireProbe(), m_rows, kPeriodMs, TRUE, tag), S_OK);
    }
    // The next round starts with the probe answering each request 100 ms late, and its first
    // request has arrived.
    void BeginASlowRound()
    {
        Sim().Faults().SetPersistent(probesim::Fault::Late(100ms));
        const size_t before = Sim().Log().ReceivedCount();
        m_clock.NextRound();
        EXPECT_TRUE(Sim().Log().WaitForReceived(before + 1, 5000ms));
    }
    // How many requests since the mark read in each sensor's register window (connection 1..4).
    std::vector<int> SensorWindowReadsSinceMark()
    {
        std::vector<int> reads(5, 0);
        for (const probesim::Adu& adu : ReceivedSinceMark())
        {
            if (adu.function != kReadHoldingRegisters || adu.data.size() < 2)
                continue;
            const unsigned first = kFirstHoldingRegister + (unsigned{adu.data[0]} << 8 | adu.data[1]);
            for (uint16_t connection = 1; connection <= 4; ++connection)
            {
                const unsigned base = Probe().Sensors().Base(connection);
                if (first >= base && first < base + kSensorWindowSpan)
                    ++reads[connection];
            }
        }
        return reads;
    }
    // The round of the message at index, taken from the worker.
    sLiveRound RoundOf(size_t index)
    {
        const auto posted = m_window.All();
        if (index >= posted.size())
            return {};
        return m_worker.TakeRound(posted[index].round).value_or(sLiveRound{});
    }
    std::vector<HRESULT> StatusesOfConnection(const sLiveRound& round, USHORT connection) const
    {
        std::vector<HRESULT> statuses;
        for (uint32_t i = 0; i < m_rows.GetCount() && i < round.Values.size(); ++i)
        {
            if (m_rows[i].Connection == connection)
                statuses.push_back(round.Values[i].Status);
        }
        return statuses;
    }

    CDynArray<sParameterReading> m_rows;
    PostedMessages m_window;
    SteppedClock m_clock;
    CLivePollWorker m_worker{m_window, m_clock.Clock()};
};

TEST_F(LivePollWorkerTest, TheFirstRoundIsImmediateAndAnOverrunSkipsToTheNextGridPoint)
{
    // Reading the DO sensor's values takes 12 s in the first round.
    std::atomic<int> slowReads{1};
    const uint16_t base = Probe().Sensors().Base(1);
    Probe().Registers().AddReadHook(
        base, 64,
        [&](probesim::RegisterModel&, uint16_t, uint16_t) -> std::optional<probesim::ExceptionCode>
        {
            if (slowReads.fetch_sub(1) > 0)
                m_clock.Advance(12000);
            return std::nullopt;
        });
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(2));
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(3));

    const auto posted = m_window.All();
    std::vector<double> elapsed;
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(posted[i].message, windowmsg::WM_NEW_DATA);
        EXPECT_EQ(posted[i].round, i + 1);
        EXPECT_EQ(posted[i].tag, 7);
        elapsed.push_back(RoundOf(i).ElapsedSeconds);
    }
    EXPECT_EQ(elapsed, (std::vector<double>{0.0, 20.0, 30.0}));
}

TEST_F(LivePollWorkerTest, ARoundCarriesEveryRowsValueAndReadsEachSensorOnce)
{
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    Mark();
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(2));
    EXPECT_EQ(SensorWindowReadsSinceMark(), (std::vector<int>{0, 1, 1, 1, 1}));

    const sLiveRound round = RoundOf(1);
    EXPECT_EQ(round.Number, 2u);
    EXPECT_EQ(round.ReadError, S_OK);
    ASSERT_EQ(round.Values.size(), m_rows.GetCount());
    ASSERT_TRUE(round.Timestamp.has_value());
    EXPECT_GE(round.Timestamp->wYear, 2024);
    // The values are those the device has just read: its cache now holds the same.
    for (uint32_t i = 0; i < m_rows.GetCount(); ++i)
    {
        float cached = 0.0f;
        USHORT quality = 0, unit = 0;
        ASSERT_EQ(m_connection.GetDevice()->ReadParameterValue(
                      m_rows[i].Connection, m_rows[i].ParameterNumber, cached, quality, unit, TRUE),
                  S_OK);
        EXPECT_EQ(round.Values[i].Status, S_OK) << i;
        EXPECT_EQ(round.Values[i].Value, cached) << i;
        EXPECT_EQ(round.Values[i].Quality, quality) << i;
    }
    // A round is handed out once; an older one stays for its own message.
    EXPECT_FALSE(m_worker.TakeRound(2).has_value());
    EXPECT_TRUE(m_worker.TakeRound(1).has_value());
}

TEST_F(LivePollWorkerTest, AnUnpluggedSensorFailsItsRowsAndTheRunGoesOn)
{
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    Probe().Sensors().Unplug(kConductivityConnection);
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(2));
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(3));
    Probe().Sensors().Plug(kConductivityConnection);
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(4));

    const std::vector<HRESULT> missing(7, MODBUSCOMM_E_PORT_NO_SENSOR), present(7, S_OK);
    for (size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(m_window.All()[i].message, windowmsg::WM_NEW_DATA) << i;
        const sLiveRound round = RoundOf(i);
        EXPECT_EQ(StatusesOfConnection(round, kConductivityConnection), i == 1 || i == 2 ? missing : present)
            << i;
        EXPECT_EQ(StatusesOfConnection(round, 1), std::vector<HRESULT>(4, S_OK)) << i;
        EXPECT_EQ(StatusesOfConnection(round, 4), std::vector<HRESULT>(3, S_OK)) << i;
    }
}

TEST_F(LivePollWorkerTest, StoppingInTheMiddleOfARoundEndsWithoutPostingIt)
{
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    Mark();
    BeginASlowRound();
    ASSERT_FALSE(HasFatalFailure());
    m_worker.Stop();
    EXPECT_FALSE(m_worker.IsRunning());
    EXPECT_EQ(m_window.All().size(), 1u);
    // The sensors after the one being read were not asked.
    EXPECT_EQ(SensorWindowReadsSinceMark(), (std::vector<int>{0, 1, 0, 0, 0}));
}

TEST_F(LivePollWorkerTest, ADisconnectInTheMiddleOfARoundLeavesTheWorkerItsDevice)
{
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    BeginASlowRound();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(m_connection.DisconnectDevice(), S_OK);
    EXPECT_EQ(m_connection.GetDevice(), nullptr);
    ASSERT_TRUE(m_window.WaitFor(2));
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(3));
    const auto posted = m_window.All();
    EXPECT_EQ(posted[2].message, windowmsg::WM_READ_ERROR);
    EXPECT_TRUE(Failed(RoundOf(2).ReadError));
    m_worker.Stop();
    EXPECT_FALSE(m_worker.IsRunning());
}

TEST_F(LivePollWorkerTest, AnEmptyPollListStillPostsEveryRound)
{
    m_rows.RemoveAll();
    Start(3);
    ASSERT_TRUE(m_window.WaitFor(1));
    m_clock.NextRound();
    ASSERT_TRUE(m_window.WaitFor(2));
    EXPECT_EQ(m_window.All()[1].message, windowmsg::WM_NEW_DATA);
    EXPECT_TRUE(RoundOf(1).Values.empty());
}

TEST_F(LivePollWorkerTest, EveryRoundWaitsForTheWindowAndWhatItLeavesIsTakenInOrderAfterTheStop)
{
    // A window that takes nothing for a long time (a box open above it) loses no round.
    constexpr size_t kRounds = 100;
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    for (size_t round = 2; round <= kRounds; ++round)
    {
        m_clock.NextRound();
        ASSERT_TRUE(m_window.WaitFor(round));
    }
    const std::optional<sLiveRound> first = m_worker.TakeRound(1);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->Number, 1u);
    m_worker.Stop();
    const std::vector<sLiveRound> left = m_worker.TakeAllRounds();
    ASSERT_EQ(left.size(), kRounds - 1);
    for (size_t i = 0; i < left.size(); ++i)
        EXPECT_EQ(left[i].Number, i + 2);
    EXPECT_TRUE(m_worker.TakeAllRounds().empty());
}

TEST_F(LivePollWorkerTest, AReadErrorStaysForItsOwnMessageWhileLaterRoundsAreTaken)
{
    // The second round's read of the DO sensor fails; the window holds that report behind a box
    // while it takes the values of the rounds after it.
    std::atomic<bool> failOnce{false};
    Probe().Registers().AddReadHook(
        Probe().Sensors().Base(1), 64,
        [&](probesim::RegisterModel&, uint16_t, uint16_t) -> std::optional<probesim::ExceptionCode>
        {
            if (failOnce.exchange(false))
                return probesim::ExceptionCode::SlaveDeviceFailure;
            return std::nullopt;
        });
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    failOnce = true;
    for (size_t round = 2; round <= 4; ++round)
    {
        m_clock.NextRound();
        ASSERT_TRUE(m_window.WaitFor(round));
    }
    const auto posted = m_window.All();
    ASSERT_EQ(posted[1].message, windowmsg::WM_READ_ERROR);
    EXPECT_EQ(posted[2].message, windowmsg::WM_NEW_DATA);
    ASSERT_TRUE(m_worker.TakeRound(4).has_value());
    const std::optional<sLiveRound> error = m_worker.TakeRound(2);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(Failed(error->ReadError));
    // The values before the later round taken stay for their own message.
    EXPECT_TRUE(m_worker.TakeRound(3).has_value());
}

TEST_F(LivePollWorkerTest, ARoundTakenBeforeAnEarlierOneLeavesTheEarlierOneForItsOwnMessage)
{
    // The window handles the second round's message before the first's, as it does when a wait
    // posts the first again behind the second.
    Start();
    ASSERT_TRUE(m_window.WaitFor(1));
    for (size_t round = 2; round <= 3; ++round)
    {
        m_clock.NextRound();
        ASSERT_TRUE(m_window.WaitFor(round));
    }
    const std::optional<sLiveRound> second = m_worker.TakeRound(2);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->Number, 2u);
    const std::optional<sLiveRound> first = m_worker.TakeRound(1);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->Number, 1u);
    EXPECT_EQ(first->Values.size(), m_rows.GetCount());
    EXPECT_FALSE(m_worker.TakeRound(1).has_value());
    EXPECT_FALSE(m_worker.TakeRound(2).has_value());
    m_worker.Stop();
    const std::vector<sLiveRound> left = m_worker.TakeAllRounds();
    ASSERT_EQ(left.size(), 1u) << "the rounds taken are not handed out again";
    EXPECT_EQ(left[0].Number, 3u);
}

} // namespace
} // namespace apptest
