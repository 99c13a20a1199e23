// What the master's port is set to decides whether the instrument hears a frame: given by the test,
// or read from the pseudo-terminal; and a broadcast reset sweep that reaches the instrument at its
// own settings only.
#include <gtest/gtest.h>

#include <termios.h>
#include <thread>

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

constexpr MasterLine k19200Even{19200, 8, Parity::Even, 1};

bool SetPort(int fd, speed_t speed, bool twoStopBits)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (twoStopBits)
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

TEST(MasterLine, FramesSentAtOtherSettingsAreNoise)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    WireClient client(sim.SlavePath());
    for (const MasterLine& other :
         {MasterLine{9600, 8, Parity::Even, 1}, MasterLine{19200, 8, Parity::None, 1},
          MasterLine{19200, 7, Parity::Even, 1}, MasterLine{19200, 8, Parity::Even, 2}})
    {
        sim.SetMasterLine(other);
        EXPECT_FALSE(client.Ask(ReadHolding(1, reg::kDeviceType, 1), 100ms)) << Describe(other);
        ASSERT_TRUE(sim.Log().WaitForReceived(1, 500ms));
        EXPECT_EQ(sim.Log().Received().back().note,
                  "noise: sent at " + Describe(other) + ", the instrument listens at 19200 8E1");
        sim.Log().Clear();
    }
    EXPECT_EQ(probe.Counters().good, 0u) << "noise is no message";
    sim.SetMasterLine(k19200Even);
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    sim.SetMasterLine(std::nullopt);
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
    unsigned sent = 0;
    for (uint32_t baud : {9600u, 38400u})
        for (Parity parity : {Parity::Even, Parity::None})
            for (uint8_t stopBits : {uint8_t{1}, uint8_t{2}})
                for (FramingMode mode : {FramingMode::Rtu, FramingMode::Ascii})
                {
                    sim.SetMasterLine(MasterLine{baud, 8, parity, stopBits});
                    client.SetMode(mode);
                    client.Send(WriteHolding(0, reg::kLineSettings, {18}));
                    ASSERT_TRUE(sim.Log().WaitForReceived(++sent, 500ms));
                    std::this_thread::sleep_for(20ms); // the RTU silence between frames
                }
    const auto frames = sim.Log().Received();
    EXPECT_EQ(
        std::count_if(frames.begin(), frames.end(), [](const auto& f) { return f.note == "broadcast"; }), 1);
    EXPECT_EQ(probe.Line(), LineSettings{});
    EXPECT_EQ(probe.Address(), 7);

    // At the default settings the address follows; then the instrument answers there.
    sim.SetMasterLine(k19200Even);
    client.SetMode(FramingMode::Rtu);
    client.Send(WriteHolding(0, reg::kDeviceAddress, {1}));
    ASSERT_TRUE(sim.Log().WaitForReceived(sent + 1, 500ms));
    EXPECT_EQ(probe.Address(), 1);
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

TEST(MasterLine, ThePseudoTerminalKeepsTheBaudRateAndStopBitsTheMasterSet)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12,
                           .maxBaudId = 8,
                           .line = LineSettings{FramingMode::Rtu, 7, 1, 2, 1}, // 38400 8N2
                           .sleeps = false});
    WireClient client(sim.SlavePath());
    ASSERT_TRUE(SetPort(client.Raw().Fd(), B38400, true));
    EXPECT_EQ(sim.PtyLine(), (MasterLine{38400, 8, Parity::None, 2}));

    sim.SetMasterLineSource([&sim] { return sim.PtyLine(); });
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
    ASSERT_TRUE(SetPort(client.Raw().Fd(), B19200, true));
    EXPECT_FALSE(client.Ask(ReadHolding(1, reg::kDeviceType, 1), 100ms));
    ASSERT_TRUE(SetPort(client.Raw().Fd(), B38400, false));
    EXPECT_FALSE(client.Ask(ReadHolding(1, reg::kDeviceType, 1), 100ms));
    ASSERT_TRUE(SetPort(client.Raw().Fd(), B38400, true));
    EXPECT_EQ(client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

TEST(LineHistory, AFrameIsJudgedByTheSettingsAtItsFirstByte)
{
    probesim::LineHistory history;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(history.At(t0), std::nullopt);
    const MasterLine slow{9600, 8, Parity::Even, 1};
    history.Note(t0, slow);
    history.Note(t0 + 5ms, slow);
    history.Note(t0 + 10ms, k19200Even);
    history.Note(t0 + 20ms, std::nullopt);
    EXPECT_EQ(history.At(t0 - 1ms), slow) << "before anything kept: the oldest";
    EXPECT_EQ(history.At(t0 + 9ms), slow);
    EXPECT_EQ(history.At(t0 + 10ms), k19200Even);
    EXPECT_EQ(history.At(t0 + 30ms), std::nullopt);
}

} // namespace
} // namespace probesim_test
