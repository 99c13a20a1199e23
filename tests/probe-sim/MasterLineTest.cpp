// What the master's port is set to decides whether the instrument hears a frame; a broadcast reset
// sweep reaches the instrument at its own settings only.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::FramingMode;
using probesim::Instrument;
using probesim::LineSettings;
using probesim::MasterLine;
using probesim::Parity;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

TEST(MasterLine, FramesSentAtOtherSettingsAreNoise)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    WireClient client(sim.SlavePath());
    size_t frames = 0;
    for (const MasterLine& other :
         {MasterLine{9600, 8, Parity::Even, 1}, MasterLine{19200, 8, Parity::None, 1}})
    {
        sim.SetMasterLine(other);
        client.Send(ReadHolding(1, reg::kDeviceType, 1));
        ASSERT_TRUE(sim.Log().WaitForReceived(++frames, 1s));
        EXPECT_EQ(sim.Log().Received().back().note,
                  "noise: sent at " + Describe(other) + ", the instrument listens at 19200 8E1");
    }
    EXPECT_TRUE(client.Silent());
    EXPECT_EQ(probe.Counters().good, 0u) << "noise is no message";
    sim.SetMasterLine(MasterLine{19200, 8, Parity::Even, 1});
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

TEST(MasterLine, ABroadcastResetSweepReachesTheInstrumentAtItsOwnSettingsOnly)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12,
                           .maxBaudId = 8,
                           .address = 7,
                           .line = LineSettings{FramingMode::Ascii, 7, 1, 2, 1}, // 38400 8N2 ASCII
                           .sleeps = false});
    WireClient client(sim.SlavePath());
    size_t sent = 0;
    for (uint32_t baud : {9600u, 38400u})
        for (Parity parity : {Parity::Even, Parity::None})
            for (uint8_t stopBits : {uint8_t{1}, uint8_t{2}})
                for (FramingMode mode : {FramingMode::Rtu, FramingMode::Ascii})
                {
                    sim.SetMasterLine(MasterLine{baud, 8, parity, stopBits});
                    client.SetMode(mode);
                    client.Send(WriteHolding(0, reg::kLineSettings, {18}));
                    // The next frame only once the simulator has taken this one.
                    ASSERT_TRUE(sim.Log().WaitForReceived(++sent, 1s));
                }
    const auto frames = sim.Log().Received();
    EXPECT_EQ(
        std::count_if(frames.begin(), frames.end(), [](const auto& f) { return f.note == "broadcast"; }), 1);
    EXPECT_EQ(probe.Line(), LineSettings{});
    EXPECT_EQ(probe.Address(), 7);

    // At the default settings the address follows; then the instrument answers there.
    sim.SetMasterLine(MasterLine{19200, 8, Parity::Even, 1});
    client.SetMode(FramingMode::Rtu);
    client.Send(WriteHolding(0, reg::kDeviceAddress, {1}));
    ASSERT_TRUE(sim.Log().WaitForReceived(sent + 1, 1s));
    EXPECT_EQ(probe.Address(), 1);
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

} // namespace
} // namespace probesim_test
