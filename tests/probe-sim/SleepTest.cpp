// Power saving: the idle clock, the frames that only wake the instrument, and Stay Awake.
#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <tuple>

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
namespace reg = probesim::reg;

TEST(SleepState, SleepsAfterTheIdleTimeAndTakesOneFrameOrTwoToWake)
{
    const auto t0 = Clock::now();
    const std::optional<std::chrono::milliseconds> idle = 100ms;
    probesim::SleepState sleep(t0);
    std::string note;
    // Traffic restarts the idle time from the end of the frame.
    EXPECT_FALSE(sleep.OnFrame(t0 + 90ms, t0 + 95ms, idle, 1, note));
    EXPECT_FALSE(sleep.Asleep(t0 + 194ms, idle));
    EXPECT_TRUE(sleep.Asleep(t0 + 195ms, idle));
    EXPECT_FALSE(sleep.Asleep(t0 + 10s, std::nullopt)) << "staying awake";
    EXPECT_TRUE(sleep.OnFrame(t0 + 300ms, t0 + 301ms, idle, 1, note));
    EXPECT_EQ(note, "asleep: woken up");
    EXPECT_FALSE(sleep.OnFrame(t0 + 310ms, t0 + 311ms, idle, 1, note));

    // In ASCII a second frame that comes only after another idle time starts the waking over.
    EXPECT_TRUE(sleep.OnFrame(t0 + 500ms, t0 + 501ms, idle, 2, note));
    EXPECT_EQ(note, "asleep: waking (1 of 2)");
    EXPECT_TRUE(sleep.OnFrame(t0 + 700ms, t0 + 701ms, idle, 2, note));
    EXPECT_EQ(note, "asleep: waking (1 of 2)");
    EXPECT_TRUE(sleep.OnFrame(t0 + 750ms, t0 + 751ms, idle, 2, note));
    EXPECT_EQ(note, "asleep: woken up");
    EXPECT_FALSE(sleep.Asleep(t0 + 760ms, idle));
}

TEST(SleepState, AWokenDeviceListensForTheAnnouncedFrameHoweverShortItsIdleTime)
{
    const auto t0 = Clock::now();
    probesim::SleepState sleep(t0);
    std::string note;
    for (const std::optional<std::chrono::milliseconds> idle : {std::optional(0ms), std::optional(50ms)})
    {
        sleep.FallAsleep();
        EXPECT_TRUE(sleep.OnFrame(t0 + 1s, t0 + 1s + 1ms, idle, 1, note));
        // The request follows the wake-up frame after the master's pause.
        EXPECT_FALSE(sleep.Asleep(t0 + 1s + 300ms, idle));
        EXPECT_FALSE(sleep.OnFrame(t0 + 1s + 300ms, t0 + 1s + 301ms, idle, 1, note));
        // Heard: from now on the idle time counts again.
        EXPECT_TRUE(sleep.Asleep(t0 + 1s + 301ms + *idle, idle));
    }
    // Not forever: left alone, it dozes off once the listening is over.
    sleep.FallAsleep();
    EXPECT_TRUE(sleep.OnFrame(t0 + 5s, t0 + 5s, 0ms, 1, note));
    EXPECT_TRUE(sleep.Asleep(t0 + 5s + probesim::SleepState::kListenAfterWaking, 0ms));
}

TEST(SleepingInstrument, ALateReplyRestartsTheIdleTimeWhenItGoesOut)
{
    constexpr auto kIdle = 300ms;
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleepAfter = kIdle});
    WireClient client(sim.SlavePath());
    // Worked on for longer than the idle time: the instrument is awake until its reply has gone out,
    // and stays so for its idle time after it. A busy machine may hold the test up beyond that
    // time, when the instrument rightly sleeps: only what happened within it is judged.
    // Each verdict is judged on one clock: the instrument's own for its state (it hears that the
    // reply went out just after the frame log has it), the frame log's for the next request.
    sim.Faults().Queue(probesim::Fault::Late(700ms));
    ASSERT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    ASSERT_TRUE(sim.Log().WaitForSent(1, 5s));
    const Clock::time_point replyEnd = sim.Log().Sent().back().end;
    const auto heard = Clock::now() + 5s;
    while (probe.LastActivity() < replyEnd && Clock::now() < heard)
        std::this_thread::yield();
    ASSERT_GE(probe.LastActivity(), replyEnd) << "the idle time counts from the reply's last byte";
    const Clock::time_point awakeUntil = probe.LastActivity() + kIdle;
    const bool sleeping = probe.Sleeping();
    if (Clock::now() < awakeUntil)
    {
        EXPECT_FALSE(sleeping);
    }
    const std::optional<Values> again = client.Read(1, reg::kDeviceType, 1);
    if (sim.Log().Received().back().start < replyEnd + kIdle)
    {
        EXPECT_EQ(again, (Values{12}));
    }
}

TEST(SleepingInstrument, StayAwakeOrTheEosTimeDecideAndTheFirstRtuFrameOnlyWakesIt)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .eos = 50, .stayAwake = true});
    WireClient client(sim.SlavePath());
    EXPECT_TRUE(client.Silent(150ms));
    EXPECT_FALSE(probe.Sleeping());
    EXPECT_EQ(client.Write(1, reg::kStayAwake, {0}), std::nullopt);
    for (int i = 0; i < 200 && !probe.Sleeping(); ++i)
        client.Silent(10ms);
    ASSERT_TRUE(probe.Sleeping());

    // Asleep with a long idle time, so that the test takes its time to wake it.
    probe.Registers().SetU16(reg::kEos, 60000);
    probe.FallAsleep();
    // Whatever its address, the first frame goes to waking the instrument, and is no message to it.
    client.Send(ReadHolding(1, reg::kDeviceType, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    EXPECT_TRUE(client.Silent());
    EXPECT_EQ(sim.Log().Received().back().note, "asleep: woken up");
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    EXPECT_EQ(probe.Counters().good, 2u);
}

TEST(SleepingInstrument, TakesTwoWakeUpFramesInAscii)
{
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    Instrument probe(sim, {.deviceType = 12, .sleepAfter = 5s});
    WireClient client(sim.SlavePath(), FramingMode::Ascii);
    probe.FallAsleep();
    client.Send(ReportSlaveId(200));
    client.Send(ReadHolding(1, reg::kDeviceType, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    EXPECT_TRUE(client.Silent());
    EXPECT_EQ(sim.Log().Received()[0].note, "asleep: waking (1 of 2)");
    EXPECT_EQ(sim.Log().Received()[1].note, "asleep: woken up");
    EXPECT_FALSE(probe.Sleeping());
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

// Waits until the instrument has slept for at least `time` without a break.
bool SleptFor(const Instrument& probe, std::chrono::milliseconds time, std::chrono::milliseconds timeout = 5s)
{
    const auto deadline = Clock::now() + timeout;
    std::optional<Clock::time_point> since;
    while (Clock::now() < deadline)
    {
        if (!probe.Sleeping())
            since.reset();
        else if (!since)
            since = Clock::now();
        else if (Clock::now() - *since >= time)
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

TEST(SleepingInstrument, EveryRoundOfALivePollGetsMeasurementsThoughTheProbeSleepsInBetween)
{
    // The live poll of a probe that sleeps between its rounds, at a hundredth of the field's times:
    // EOS 5 s, the measurement cache 1 s, the shortest live rate 10 s and a long one of a minute. The
    // sensor's warm-up is the field's order, longer than the master's step from the wake-up frame to
    // the request; the request follows at once here.
    constexpr auto kEos = 50ms;
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .measurementCacheTimeout = 10, .sleepAfter = kEos});
    probesim::SimSensor oxygen = probesim::OpticalDoSensor(4711);
    oxygen.warmUp = 300ms;
    oxygen.sampleRate = 5ms;
    const auto parameters = static_cast<uint16_t>(oxygen.parameters.size());
    probe.Sensors().Add(1, oxygen);
    const auto blocks = static_cast<uint16_t>(probe.Sensors().Base(1) + probesim::kFirstParameterOffset);
    constexpr uint16_t kBlock = probesim::kParameterBlockRegisters;
    WireClient client(sim.SlavePath());

    // The warm-up that plugging the sensor in started is over before the poll begins.
    const auto warmed = Clock::now() + 5s;
    while (client.Read(1, blocks + probesim::block::kQuality, 1) == Values{probesim::kQualityWarmUp} &&
           Clock::now() < warmed)
    {
    }

    for (const auto& [name, rate, rounds] :
         {std::tuple("the shortest rate", 100ms, 3), std::tuple("a long rate", 600ms, 2)})
    {
        SCOPED_TRACE(name);
        for (int round = 1; round <= rounds; ++round)
        {
            SCOPED_TRACE(round);
            ASSERT_TRUE(SleptFor(probe, rate - kEos));
            const size_t received = sim.Log().ReceivedCount();
            client.Send(ReportSlaveId(200));
            ASSERT_TRUE(sim.Log().WaitForReceived(received + 1, 1s));
            ASSERT_EQ(sim.Log().Received().back().note, "asleep: woken up");
            const unsigned measured = probe.Sensors().Measurements(1);

            const std::optional<Values> values =
                client.Read(1, blocks, static_cast<uint16_t>(parameters * kBlock));
            ASSERT_TRUE(values);
            for (uint16_t n = 0; n < parameters; ++n)
            {
                EXPECT_NE(FloatAt(*values, kBlock * n), oxygen.parameters[n].sentinel)
                    << "parameter " << n + 1;
                EXPECT_EQ(values->at(kBlock * n + probesim::block::kQuality) & 0xF, probesim::kQualityNormal)
                    << "parameter " << n + 1;
            }
            EXPECT_EQ(probe.Sensors().Measurements(1), measured + parameters);
        }
    }
}

} // namespace
} // namespace probesim_test
