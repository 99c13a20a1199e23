// A device object on an instrument that sleeps: the EOS that the cache reads becomes the network's
// wake-up time, the EOS the device writes is never below what the line needs, Stay Awake keeps the
// instrument listening, and a request after the idle time wakes the instrument before it is sent.
#include <chrono>

#include "platform/Clock.h"
#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;
namespace reg = probesim::reg;

constexpr uint8_t kWakeUpAddress = 200;

class SleepingInstrument : public DeviceOnSimulator
{
protected:
    SleepingInstrument()
    {
        m_bInstrumentSleeps = true;
        SetTunable(u"AutoWakeUpNetwork", 1);
    }

    void Start(uint16_t eos)
    {
        StartLine({.deviceType = 12, .eos = eos});
        AttachDevice();
        ASSERT_EQ(Device().UpdateCache(), S_OK);
    }

    // Waits until the instrument has slept for a while: long enough for the network's idle clock,
    // which starts when the reply is in, to have passed the EOS too.
    bool WaitUntilAsleep(std::chrono::milliseconds timeout = 5s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::optional<std::chrono::steady_clock::time_point> asleepSince;
        while (std::chrono::steady_clock::now() < deadline)
        {
            if (!Probe().Sleeping())
                asleepSince.reset();
            else if (!asleepSince)
                asleepSince = std::chrono::steady_clock::now();
            else if (std::chrono::steady_clock::now() - *asleepSince >= 50ms)
                return true;
            platform::SleepMs(5);
        }
        return false;
    }

    // Frames the master sent to the wake-up address since the last Mark.
    size_t WakeUpFrames()
    {
        FramesSinceMark();
        size_t count = 0;
        const std::vector<probesim::LoggedFrame> frames = Sim().Log().Received();
        for (size_t i = m_nWakeMark; i < frames.size(); ++i)
            count += !frames[i].bytes.empty() && frames[i].bytes[0] == kWakeUpAddress;
        m_nWakeMark = frames.size();
        return count;
    }

    HRESULT ReadCounter()
    {
        ULONG counter = 0;
        return Device().GetGoodMsgCounter(counter);
    }

    ULONG Resends()
    {
        ULONG counters[MODBUS_STAT_COUNT] = {};
        Network().GetStatistics(counters);
        return counters[MODBUS_STAT_RESENDS];
    }

    size_t m_nWakeMark = 0;
};

TEST_F(SleepingInstrument, TheEosItReportsIsHowLongTheNetworkLetsItIdle)
{
    Start(400);
    EXPECT_EQ(Network().GetDeviceEOS(kSlave), 400);
    WakeUpFrames();
    ASSERT_EQ(ReadCounter(), S_OK);
    EXPECT_EQ(WakeUpFrames(), 0u) << "still awake: no wake-up";

    // The first request after the idle time is preceded by a wake-up and answered at once.
    ASSERT_TRUE(WaitUntilAsleep());
    ASSERT_EQ(ReadCounter(), S_OK);
    EXPECT_EQ(WakeUpFrames(), 1u);
    EXPECT_EQ(Resends(), 0u);
}

TEST_F(SleepingInstrument, AnEosBelowWhatTheLineNeedsIsRaisedAndTheInstrumentStillAnswers)
{
    Start(5000);
    // The shorter of the register time-outs (the same here), without a transmission delay.
    ASSERT_EQ(Device().SetEOS(0), S_OK);
    EXPECT_EQ(Probe().Registers().GetU16(reg::kEos), kRegisterTimeoutMs);
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(Network().GetDeviceEOS(kSlave), kRegisterTimeoutMs);
    ASSERT_TRUE(WaitUntilAsleep());
    WakeUpFrames();
    ASSERT_EQ(ReadCounter(), S_OK);
    EXPECT_EQ(WakeUpFrames(), 1u);
    EXPECT_EQ(Resends(), 0u);

    // Set to 0 by other means, the instrument sleeps after every exchange, and the network, once
    // the cache has read the 0, wakes it for each request: it is never deaf.
    Probe().Registers().SetU16(reg::kEos, 0);
    ASSERT_EQ(Network().SetDeviceEOS(kSlave, 0), S_OK);
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(Network().GetDeviceEOS(kSlave), 0);
    WakeUpFrames();
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(ReadCounter(), S_OK);
    EXPECT_EQ(WakeUpFrames(), 2u);
    EXPECT_EQ(Resends(), 0u);
}

TEST_F(SleepingInstrument, StayAwakeKeepsItListeningWithoutAWakeUp)
{
    // Longer than the network's wake-up pause, which an instrument awake at the wake-up frame
    // must not sleep through.
    Start(300);
    ASSERT_EQ(Device().SetStayAwake(1), S_OK);
    EXPECT_TRUE(Probe().StayAwake());
    Network().DisableAutoWakeUp();
    // Twice its EOS without a word, and awake all the while.
    const uint64_t start = platform::GetTickCount64();
    while (platform::GetTickCount64() - start < 600)
    {
        ASSERT_FALSE(Probe().Sleeping());
        platform::SleepMs(20);
    }
    EXPECT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(Resends(), 0u);

    // Without it the instrument sleeps after its EOS and swallows a request that nothing woke it for.
    ASSERT_EQ(Device().SetStayAwake(0), S_OK);
    ASSERT_TRUE(WaitUntilAsleep());
    USHORT value = 0;
    EXPECT_EQ(Network().ReadUShort(kSlave, reg::kEos, value, 150, 0), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Network().ReadUShort(kSlave, reg::kEos, value, 150, 0), S_OK);
    EXPECT_EQ(value, 300);
}

} // namespace
} // namespace devicetest
