// Power saving: the idle clock, the frames that only wake the instrument, and Stay Awake.
#include <gtest/gtest.h>

#include <thread>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/SleepState.h"

namespace probesim_test
{
namespace
{

using probesim::Clock;
using probesim::FramingMode;
using probesim::Instrument;
using probesim::ProbeSimulator;
using probesim::SleepState;
namespace reg = probesim::reg;

TEST(SleepState, SleepsAfterTheIdleTimeAndTheNextFrameOnlyWakesIt)
{
    const auto t0 = Clock::now();
    const std::optional<std::chrono::milliseconds> idle = 100ms;
    SleepState sleep(t0);
    std::string note;
    EXPECT_FALSE(sleep.Asleep(t0 + 99ms, idle));
    // Traffic restarts the idle time from the end of the frame.
    EXPECT_FALSE(sleep.OnFrame(t0 + 90ms, t0 + 95ms, idle, 1, note));
    EXPECT_FALSE(sleep.Asleep(t0 + 194ms, idle));
    EXPECT_TRUE(sleep.Asleep(t0 + 195ms, idle));
    EXPECT_FALSE(sleep.Asleep(t0 + 10s, std::nullopt)); // staying awake

    EXPECT_TRUE(sleep.OnFrame(t0 + 300ms, t0 + 301ms, idle, 1, note));
    EXPECT_EQ(note, "asleep: woken up");
    EXPECT_FALSE(sleep.OnFrame(t0 + 310ms, t0 + 311ms, idle, 1, note));
}

TEST(SleepState, TakesTwoFramesInAsciiAndDozesOffAgainWhenTheSecondIsLate)
{
    const auto t0 = Clock::now();
    const std::optional<std::chrono::milliseconds> idle = 100ms;
    SleepState sleep(t0);
    std::string note;
    EXPECT_TRUE(sleep.OnFrame(t0 + 200ms, t0 + 201ms, idle, 2, note));
    EXPECT_EQ(note, "asleep: waking (1 of 2)");
    EXPECT_TRUE(sleep.Asleep(t0 + 202ms, idle));
    // The second frame comes only after another idle time: it starts the waking over.
    EXPECT_TRUE(sleep.OnFrame(t0 + 400ms, t0 + 401ms, idle, 2, note));
    EXPECT_EQ(note, "asleep: waking (1 of 2)");
    EXPECT_TRUE(sleep.OnFrame(t0 + 450ms, t0 + 451ms, idle, 2, note));
    EXPECT_EQ(note, "asleep: woken up");
    EXPECT_FALSE(sleep.OnFrame(t0 + 460ms, t0 + 461ms, idle, 2, note));
}

TEST(SleepState, ActivityInTheFutureKeepsItAwakeUntilThen)
{
    const auto t0 = Clock::now();
    SleepState sleep(t0);
    sleep.Touch(t0 + 500ms); // a restart that ends then
    EXPECT_FALSE(sleep.Asleep(t0 + 550ms, 100ms));
    EXPECT_TRUE(sleep.Asleep(t0 + 600ms, 100ms));
    sleep.Touch(t0 + 100ms); // never moves the clock back
    EXPECT_TRUE(sleep.Asleep(t0 + 600ms, 100ms));
}

TEST(SleepingInstrument, FallsAsleepAfterTheIdleTimeAndTheFirstRtuFrameOnlyWakesIt)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleepAfter = 150ms});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    EXPECT_FALSE(probe.Sleeping());
    std::this_thread::sleep_for(250ms);
    EXPECT_TRUE(probe.Sleeping());

    // Whatever its address, the first frame goes to waking the instrument.
    client.Send(ReadHolding(1, reg::kDeviceType, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    EXPECT_TRUE(client.Silent(60ms));
    EXPECT_EQ(sim.Log().Received().back().note, "asleep: woken up");
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    // The frame that woke it is no message to it.
    EXPECT_EQ(probe.Counters().good, 2u);
}

TEST(SleepingInstrument, TakesTwoWakeUpFramesInAscii)
{
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    Instrument probe(sim, {.deviceType = 12, .sleepAfter = 2s});
    WireClient client(sim.SlavePath(), FramingMode::Ascii);

    // One wake-up frame is not enough: the request after it is lost too.
    probe.FallAsleep();
    client.Send(ReportSlaveId(200));
    client.Send(ReadHolding(1, reg::kDeviceType, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    EXPECT_TRUE(client.Silent(60ms));
    EXPECT_EQ(sim.Log().Received()[0].note, "asleep: waking (1 of 2)");
    EXPECT_EQ(sim.Log().Received()[1].note, "asleep: woken up");

    probe.FallAsleep();
    client.Send(ReportSlaveId(200));
    client.Send(ReportSlaveId(200));
    ASSERT_TRUE(sim.Log().WaitForReceived(4, 1s));
    EXPECT_FALSE(probe.Sleeping());
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    // Awake, the wake-up frame is just a frame for another address.
    client.Send(ReportSlaveId(200));
    ASSERT_TRUE(sim.Log().WaitForReceived(6, 1s));
    EXPECT_EQ(sim.Log().Received().back().note, "ignored: address 200");
}

TEST(SleepingInstrument, StayAwakeAndTheEosRegisterDecide)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.eos = 150});
    WireClient client(sim.SlavePath());
    std::this_thread::sleep_for(250ms);
    EXPECT_TRUE(probe.Sleeping()); // by the EOS register
    client.Send(ReportSlaveId(200));
    ASSERT_TRUE(sim.Log().WaitForReceived(1, 1s));

    EXPECT_EQ(client.Write(1, reg::kStayAwake, {1}), std::nullopt);
    EXPECT_TRUE(probe.StayAwake());
    std::this_thread::sleep_for(250ms);
    EXPECT_FALSE(probe.Sleeping());
    EXPECT_EQ(client.Write(1, reg::kStayAwake, {0}), std::nullopt);
    EXPECT_EQ(client.Write(1, reg::kEos, {60000}), std::nullopt);
    std::this_thread::sleep_for(250ms);
    EXPECT_FALSE(probe.Sleeping());
    EXPECT_EQ(client.Read(1, reg::kEos, 1), (Values{60000}));
}

TEST(SleepingInstrument, WithoutStayAwakeSupportTheRegisterIsMissing)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.registerMapVersion = 2, .stayAwakeSupported = false, .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, reg::kStayAwake, 1))), 2);
    EXPECT_EQ(client.Read(1, reg::kInterfaceConfiguration, 1), (Values{0x0002}));
    EXPECT_FALSE(probe.StayAwake());
}

} // namespace
} // namespace probesim_test
