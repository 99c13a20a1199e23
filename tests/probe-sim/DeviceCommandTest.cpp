// The device command register in both generations, the message counters and the factory restore.
#include <gtest/gtest.h>

#include <thread>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::FramingMode;
using probesim::HandshakeStep;
using probesim::Instrument;
using probesim::LineSettings;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kCommandSequence = 0x85;

TEST(DeviceCommands, FromMapVersion3OneWriteCarriesOutTheCommand)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD009}), std::nullopt);
    EXPECT_TRUE(probe.Offline());
    EXPECT_EQ(client.Read(1, reg::kDeviceStatus, 2), (Values{0, 0x0200}));
    EXPECT_EQ(probe.LastDeviceCommand(), 0xD009);
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0}), std::nullopt); // closing zero is harmless
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00A}), std::nullopt);
    EXPECT_FALSE(probe.Offline());

    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD0FF}), kIllegalFieldValue);
    EXPECT_EQ(probe.DeviceCommandRegister(), 0xD00A);
    EXPECT_EQ(probe.DeviceCommandStep(), HandshakeStep::Idle);
}

TEST(DeviceCommands, BeforeMapVersion3TheHandshakeIsRequired)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .registerMapVersion = 2, .sleeps = false});
    WireClient client(sim.SlavePath());
    const auto write = [&](uint16_t value) { return client.Write(1, reg::kDeviceCommand, {value}); };

    // The full sequence, with the arming write repeated as after a lost reply.
    EXPECT_EQ(write(0), std::nullopt);
    EXPECT_EQ(write(1), std::nullopt);
    EXPECT_EQ(write(1), std::nullopt);
    EXPECT_EQ(probe.DeviceCommandStep(), HandshakeStep::Armed);
    EXPECT_EQ(write(0xD009), std::nullopt);
    EXPECT_TRUE(probe.Offline());
    EXPECT_EQ(probe.DeviceCommandStep(), HandshakeStep::Done);
    EXPECT_EQ(write(0xD00A), kCommandSequence); // a second command before the closing zero
    EXPECT_EQ(write(1), kCommandSequence);
    EXPECT_TRUE(probe.Offline());
    EXPECT_EQ(write(0), std::nullopt);

    // A command without arming is refused and not carried out.
    EXPECT_EQ(write(0xD00A), kCommandSequence);
    EXPECT_TRUE(probe.Offline());
    EXPECT_EQ(probe.DeviceCommandRegister(), 0);
    // Arming straight from idle is how the restore and the flash begin.
    EXPECT_EQ(write(1), std::nullopt);
    EXPECT_EQ(write(0xD0FF), kIllegalFieldValue);
    EXPECT_EQ(write(0xD00A), std::nullopt);
    EXPECT_FALSE(probe.Offline());
}

TEST(DeviceCommands, LaterCommandsPlugIn)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.sleeps = false});
    WireClient client(sim.SlavePath());
    int switches = 0;
    probe.DefineDeviceCommand(0xD00D,
                              [&](uint16_t)
                              {
                                  ++switches;
                                  return std::optional<probesim::ExceptionCode>{};
                              });
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00D}), std::nullopt);
    EXPECT_EQ(switches, 1);
}

TEST(MessageCounters, CountGoodBadAndExceptionMessagesUntilCleared)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_TRUE(client.Read(1, reg::kDeviceType, 1));
    EXPECT_TRUE(ExceptionOf(client.Ask(ReadHolding(1, 40001, 1))));
    // Frames written back to back would run together in RTU.
    client.Send(WriteHolding(0, reg::kEom, {1500})); // broadcast
    ASSERT_TRUE(sim.Log().WaitForReceived(3, 1s));
    client.Send(ReadHolding(2, reg::kDeviceType, 1)); // for another slave
    ASSERT_TRUE(sim.Log().WaitForReceived(4, 1s));
    client.Raw().Write(Hex("01 03 00 00 00 01 84 0B")); // damaged CRC
    ASSERT_TRUE(sim.Log().WaitForReceived(5, 1s));
    EXPECT_EQ(probe.Counters(), (probesim::MessageCounters{3, 1, 1}));
    EXPECT_EQ(probe.Registers().GetU16(reg::kEom), 1500);

    // The master reads them in one go; the read itself is already counted.
    EXPECT_EQ(client.Read(1, reg::kGoodMessages, 4), (Values{0, 4, 1, 1}));
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD006}), std::nullopt);
    EXPECT_EQ(client.Read(1, reg::kGoodMessages, 4), (Values{0, 1, 0, 0}));
}

TEST(FactoryRestore, AnswersThenGoesDeafAndComesBackWithFactorySettings)
{
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    Instrument probe(sim, {.deviceType = 12,
                           .address = 5,
                           .line = LineSettings{FramingMode::Ascii, 5, 0, 0, 0},
                           .deviceName = u"Probe",
                           .eos = 9000,
                           .sleeps = false,
                           .restoreSilence = 300ms});
    WireClient client(sim.SlavePath(), FramingMode::Ascii);
    EXPECT_EQ(client.Write(5, reg::kDeviceName, {'X', 0}), std::nullopt);
    EXPECT_EQ(client.Write(5, reg::kEos, {20000}), std::nullopt);
    EXPECT_EQ(client.Write(5, reg::kDeviceCommand, {0xD009}), std::nullopt);

    const auto reply = client.Ask(WriteHolding(5, reg::kDeviceCommand, {0xD00C}));
    ASSERT_TRUE(reply); // at the old address, in the old framing
    EXPECT_EQ(reply->address, 5);
    EXPECT_TRUE(probe.RestoreInProgress());

    // Deaf for a while, whatever it is asked in which framing.
    client.SetMode(FramingMode::Rtu);
    const size_t before = sim.Log().ReceivedCount();
    client.Send(ReadHolding(1, reg::kDeviceAddress, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(before + 1, 1s));
    EXPECT_TRUE(client.Silent(60ms));
    EXPECT_EQ(sim.Log().Received().back().note, "ignored: restoring factory defaults");

    for (int i = 0; i < 100 && probe.RestoreInProgress(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(probe.RestoreInProgress());
    EXPECT_EQ(client.Read(1, reg::kDeviceAddress, 4), (Values{1, 0x0012, 1000, 9000}));
    EXPECT_EQ(probe.Line(), LineSettings{});
    EXPECT_EQ(probe.Registers().GetText(reg::kDeviceName), u"Probe");
    EXPECT_FALSE(probe.Offline());
    EXPECT_EQ(probe.Restores(), 1u);
    // The device code's closing zero at the new address.
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0}), std::nullopt);
}

TEST(FactoryRestore, BeforeMapVersion3ItIsArmedFirst)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.registerMapVersion = 2, .address = 4, .sleeps = false, .restoreSilence = 50ms});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(4, reg::kDeviceCommand, {0xD00C}), kCommandSequence);
    EXPECT_EQ(probe.Restores(), 0u);
    EXPECT_EQ(client.Write(4, reg::kDeviceCommand, {1}), std::nullopt);
    EXPECT_EQ(client.Write(4, reg::kDeviceCommand, {0xD00C}), std::nullopt);
    EXPECT_EQ(probe.Restores(), 1u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0}), std::nullopt);
    EXPECT_EQ(probe.DeviceCommandStep(), HandshakeStep::Idle);
}

} // namespace
} // namespace probesim_test
