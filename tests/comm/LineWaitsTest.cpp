// The waits a line keeps and where it keeps none: the wake-up pause before a probe that may be
// asleep, not before one just heard (by this network or by a search on the same port); the
// inter-message delay after the line's last frame, not before its first frame nor after a wake-up
// pause that is as long; and every such pause through the replaceable pause function.
#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "comm/LinePauses.h"
#include "comm/SerialComm.h"
#include "platform/Clock.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/support/SimulatorWaits.h"

namespace commtest
{
namespace
{

using Pause = std::pair<ELinePause, ULONG>;

class LineWaits : public SimulatedLine
{
protected:
    // The pauses are recorded, and slept up to sleptMs each; with none given, a wake-up pause lasts
    // until the probe has taken the wake-up frame in, which keeps the frames apart.
    explicit LineWaits(std::optional<ULONG> sleptMs = std::nullopt)
        : m_previous(SetLinePauseFunction(
              [this, sleptMs](ELinePause pause, ULONG ms)
              {
                  {
                      std::lock_guard lock(m_lock);
                      m_pauses.emplace_back(pause, ms);
                  }
                  if (!sleptMs && pause == ELinePause::WakeUp && m_sim)
                      m_wakeUps.AwaitNext(m_sim->Log());
                  else
                      platform::SleepMs(std::min(ms, sleptMs.value_or(kOtherPausesMs)));
              }))
    {
    }
    ~LineWaits() override { SetLinePauseFunction(std::move(m_previous)); }

    void StartLine()
    {
        SimulatedLine::StartLine();
        Sim().Registers().SetU16(40001, 0x1234);
    }
    std::vector<Pause> TakePauses()
    {
        std::lock_guard lock(m_lock);
        return std::exchange(m_pauses, {});
    }
    HRESULT Read(CModbusComm& network)
    {
        USHORT value = 0;
        return network.ReadUShort(kSlave, 40001, value, kTimeoutMs, 0);
    }
    // Once a request has its reply, every frame before it is in the probe's log.
    size_t WakeUpFrames() const { return ReceivedFor(200, 17); }

private:
    static constexpr ULONG kOtherPausesMs = 20;

    std::mutex m_lock;
    std::vector<Pause> m_pauses;
    testsupport::WakeUpFrameWatch m_wakeUps;
    LinePauseFunction m_previous;
};

// The wake-up pauses slept whole, the others not at all.
class SleptWakeUps : public LineWaits
{
protected:
    SleptWakeUps() : LineWaits(250) {}
};

TEST_F(SleptWakeUps, NoInterMessageDelayFollowsAWakeUpPauseThatIsLonger)
{
    SetTunable(u"AutoWakeUpNetwork", 1);
    SetTunable(u"InterMsgDelay TO", 200);
    StartLine();
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_EQ(TakePauses(), (std::vector<Pause>{{ELinePause::WakeUp, 250}}));
    EXPECT_EQ(WakeUpFrames(), 1u);
    // A request straight after a reply keeps the whole delay.
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_EQ(TakePauses(), (std::vector<Pause>{{ELinePause::InterMessage, 200}}));
}

TEST_F(LineWaits, TheFirstFrameOfALineWaitsForNothing)
{
    SetTunable(u"InterMsgDelay TO", 1000);
    StartLine();
    ASSERT_FALSE(Network().IsAutoWakeUpEnabled());
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_TRUE(TakePauses().empty());
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_EQ(TakePauses(), (std::vector<Pause>{{ELinePause::InterMessage, 1000}}));
}

TEST_F(LineWaits, AnAskedForWakeUpWakesOnlyAProbeThatMayBeAsleep)
{
    StartLine();
    // Never heard: woken.
    EXPECT_EQ(Network().WakeUpIfAsleep(kSlave), S_OK);
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_EQ(WakeUpFrames(), 1u);
    // Heard a moment ago: awake.
    EXPECT_EQ(Network().WakeUpIfAsleep(kSlave), S_FALSE);
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_EQ(WakeUpFrames(), 1u);
    // A probe that sleeps at once after its last exchange.
    ASSERT_EQ(Network().SetDeviceEOS(kSlave, 0), S_OK);
    EXPECT_EQ(Network().WakeUpIfAsleep(kSlave), S_OK);
    EXPECT_EQ(Read(Network()), S_OK);
    EXPECT_EQ(WakeUpFrames(), 2u);
    EXPECT_EQ(TakePauses(), (std::vector<Pause>{{ELinePause::WakeUp, 250}, {ELinePause::WakeUp, 250}}));

    NetworkPtr detached(CModbusComm::Create());
    EXPECT_EQ(detached->WakeUpIfAsleep(kSlave), MODBUSCOMM_E_NO_CONNECTION);
}

TEST_F(LineWaits, AnExchangeThatFailsAfterASkippedWakeUpIsTriedOnceMoreAfterOne)
{
    StartLine();
    EXPECT_EQ(Read(Network()), S_OK);
    const size_t wakeUps = WakeUpFrames();
    int exchanges = 0;
    const auto exchange = [&]
    {
        ++exchanges;
        return Read(Network());
    };
    // Heard a moment ago, yet the probe does not answer: a wake-up, then the exchange again.
    Sim().Faults().Queue(probesim::Fault::NoReply());
    EXPECT_EQ(Network().ExchangeAwake(kSlave, exchange), S_OK);
    EXPECT_EQ(exchanges, 2);
    EXPECT_EQ(WakeUpFrames(), wakeUps + 1);
    // An answered exchange is not repeated.
    EXPECT_EQ(Network().ExchangeAwake(kSlave, exchange), S_OK);
    EXPECT_EQ(exchanges, 3);
    EXPECT_EQ(WakeUpFrames(), wakeUps + 1);
    // Woken first, a probe that does not answer has had its wake-up: its failure stands.
    ASSERT_EQ(Network().SetDeviceEOS(kSlave, 0), S_OK);
    Sim().Faults().Queue(probesim::Fault::NoReply());
    EXPECT_TRUE(Failed(Network().ExchangeAwake(kSlave, exchange)));
    EXPECT_EQ(exchanges, 4);
    EXPECT_EQ(WakeUpFrames(), wakeUps + 2);
}

TEST_F(LineWaits, ANetworkToldOfASearchThatHasJustHeardTheProbeDoesNotWakeItAgainButKeepsTheDelay)
{
    SetTunable(u"AutoWakeUpNetwork", 1);
    SetTunable(u"InterMsgDelay TO", 1000);
    StartLine();
    // The search's network.
    EXPECT_EQ(Read(Network()), S_OK);
    const uint64_t heard = platform::GetTickCount64();
    EXPECT_EQ(WakeUpFrames(), 1u);
    TakePauses();

    // The connect's network on the same port, told when the probe answered.
    NetworkPtr connect(CModbusComm::Create());
    ASSERT_EQ(connect->ConnectCommLink(Port()), S_OK);
    connect->SetLastHeard(heard);
    EXPECT_EQ(Read(*connect), S_OK);
    EXPECT_EQ(WakeUpFrames(), 1u) << "no second wake-up";
    EXPECT_EQ(TakePauses(), (std::vector<Pause>{{ELinePause::InterMessage, 1000}}))
        << "the delay after the search's exchange";

    // Told nothing, a network wakes the probe first.
    connect.reset(CModbusComm::Create());
    ASSERT_EQ(connect->ConnectCommLink(Port()), S_OK);
    EXPECT_EQ(Read(*connect), S_OK);
    EXPECT_EQ(WakeUpFrames(), 2u);
}

} // namespace
} // namespace commtest
