// The firmware load path: the switch into the boot code, its identity, both image transfers and the
// restart into the new application.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::InstrumentConfig;
namespace reg = probesim::reg;

constexpr uint8_t kInvalidFileBlock = 0x8A;
constexpr uint16_t kFirmwareFile = 65000;
using Identity = std::pair<uint8_t, uint16_t>; // run indicator, firmware version

// The blocks as the flash procedure cuts them: text images in whole records; binary ones as the
// header record alone, then whole 48-byte blocks.
std::vector<Bytes> Blocks(const Bytes& image, bool binary)
{
    std::vector<Bytes> blocks;
    for (auto at = image.begin(); at != image.end();)
    {
        auto end = std::find(at, image.end(), '\n') + 1;
        if (binary && at != image.begin())
            end = at + std::min<ptrdiff_t>(image.end() - at, 240);
        blocks.emplace_back(at, end);
        at = end;
    }
    return blocks;
}

// A block or setup the boot code took.
bool Taken(const std::optional<probesim::Adu>& reply)
{
    return reply && (reply->function & 0x80) == 0;
}

struct Booted
{
    // A long switch silence where the test looks at it, short ones elsewhere.
    Booted(uint16_t mapVersion, std::chrono::milliseconds switchSilence)
        : probe(sim, Config(mapVersion, switchSilence))
    {
    }

    static InstrumentConfig Config(uint16_t mapVersion, std::chrono::milliseconds switchSilence)
    {
        InstrumentConfig config{
            .deviceType = 12, .registerMapVersion = mapVersion, .serialNumber = 4711, .sleeps = false};
        config.boot.registerMapVersion = mapVersion;
        config.boot.switchSilence = switchSilence;
        config.boot.rebootSilence = 50ms;
        return config;
    }

    std::optional<Identity> Identify(std::chrono::milliseconds timeout = 1000ms)
    {
        const auto reply = client.Ask(ReportSlaveId(1), timeout);
        if (!reply || reply->data.size() != 24)
            return std::nullopt;
        return std::pair{reply->data[2], static_cast<uint16_t>(reply->data[8] << 8 | reply->data[9])};
    }

    // Asks until whichever firmware comes back answers; each question waits long enough for an
    // answer on a busy machine.
    std::optional<Identity> AfterRestart()
    {
        for (int i = 0; i < 50; ++i)
            if (const auto identity = Identify(200ms))
                return identity;
        return std::nullopt;
    }

    probesim::ProbeSimulator sim;
    Instrument probe;
    WireClient client{sim.SlavePath()};
};

TEST(BootCode, SwitchesRefusesAForeignImageFlashesATextImageAndRestartsIntoIt)
{
    Booted b(3, 500ms);
    ASSERT_EQ(b.Identify(), (Identity{255, 100}));
    ASSERT_EQ(b.client.Write(1, reg::kDeviceCommand, {0xD00D}), std::nullopt);
    // Deaf from the switch command on; a busy machine may hold the test up past that time, so only
    // a question that came within it is judged.
    const size_t received = b.sim.Log().ReceivedCount();
    const probesim::Clock::time_point deafUntil = b.sim.Log().Received().back().start + 500ms;
    const bool answered = b.Identify(50ms).has_value();
    ASSERT_TRUE(b.sim.Log().WaitForReceived(received + 1, 5s));
    if (b.sim.Log().Received().back().start < deafUntil)
    {
        EXPECT_FALSE(answered) << "deaf while restarting";
    }
    ASSERT_EQ(b.AfterRestart(), (Identity{0, 10}));
    EXPECT_EQ(ToHex(b.client.Ask(ReportSlaveId(1)).value_or(probesim::Adu{}).data),
              "17 4E 00 01 56 43 00 0C 00 0A 00 00 00 01 00 03 00 00 12 67 01 00 00 01");
    EXPECT_EQ(ExceptionOf(b.client.Ask(ReadHolding(1, reg::kDeviceType, 1))), 0x02)
        << "no application registers";

    const Bytes foreign = probesim::BuildFirmwareImage({.deviceType = 18, .records = 3});
    ASSERT_TRUE(Taken(b.client.Ask(FileRequest(1, 0xF001, kFirmwareFile, foreign.size()))));
    EXPECT_EQ(ExceptionOf(b.client.Ask(WriteBlock(1, 0, Blocks(foreign, false)[0]))), kInvalidFileBlock);
    EXPECT_NE(b.probe.Boot().LastRefusal().value_or("").find("device type 18"), std::string::npos);
    EXPECT_TRUE(b.probe.Boot().ApplicationIntact());

    const Bytes image = probesim::BuildFirmwareImage({.firmwareVersion = 250, .records = 4});
    ASSERT_TRUE(Taken(b.client.Ask(FileRequest(1, 0xF001, kFirmwareFile, image.size()))));
    uint32_t offset = 0;
    for (const Bytes& block : Blocks(image, false))
    {
        ASSERT_TRUE(Taken(b.client.Ask(WriteBlock(1, offset, block)))) << offset;
        EXPECT_FALSE(b.probe.Boot().ApplicationIntact());
        offset += static_cast<uint32_t>(block.size());
    }
    ASSERT_TRUE(Taken(b.client.Ask(FileRequest(1, 0, kFirmwareFile))));
    EXPECT_EQ(b.AfterRestart(), (Identity{255, 250}));
    EXPECT_EQ(b.probe.FirmwareVersion(), 250);
    EXPECT_EQ(b.probe.Boot().LastImage(), image);
    EXPECT_EQ(b.client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

TEST(BootCode, BelowMapVersion3TakesABinaryImageThroughTheFileCommandRegisters)
{
    Booted b(2, 50ms);
    // The switch is armed first; the flash procedure writes 1, then 0xD00D.
    ASSERT_EQ(b.client.Write(1, reg::kDeviceCommand, {1}), std::nullopt);
    ASSERT_EQ(b.client.Write(1, reg::kDeviceCommand, {0xD00D}), std::nullopt);
    ASSERT_EQ(b.AfterRestart(), (Identity{0, 10}));
    EXPECT_EQ(ExceptionOf(b.client.Ask(FileRequest(1, 0xF001, kFirmwareFile, 10))), 0x01)
        << "no function 102";

    const Bytes image = probesim::BuildFirmwareImage({.firmwareVersion = 301, .binary = true, .blocks = 7});
    for (uint16_t word : {uint16_t{0}, uint16_t{1}})
        ASSERT_EQ(b.client.Write(1, probesim::kFileCommandRegister, {word}), std::nullopt);
    ASSERT_EQ(b.client.Write(1, probesim::kFileNumberRegister, {kFirmwareFile}), std::nullopt);
    ASSERT_EQ(b.client.Write(1, probesim::kTransferSizeRegister, {0, static_cast<uint16_t>(image.size())}),
              std::nullopt);
    ASSERT_EQ(b.client.Write(1, probesim::kFileCommandRegister, {0xF001}), std::nullopt);
    uint32_t offset = 0;
    for (const Bytes& block : Blocks(image, true))
    {
        ASSERT_TRUE(Taken(b.client.Ask(WriteBlock(1, offset, block)))) << offset;
        offset += static_cast<uint32_t>(block.size());
    }
    EXPECT_EQ(b.probe.Boot().Blocks().size(), 3u);
    ASSERT_EQ(b.client.Write(1, probesim::kFileCommandRegister, {0}), std::nullopt); // stores the image
    EXPECT_EQ(b.AfterRestart(), (Identity{255, 301}));
    EXPECT_EQ(b.probe.DeviceCommandStep(), probesim::HandshakeStep::Idle) << "the restart ends the handshake";
}

TEST(BootCode, ReportsTheRunIndicatorItWasGivenAndNeverTheApplications)
{
    InstrumentConfig config = Booted::Config(3, 50ms);
    config.boot.startInBoot = true;
    config.boot.runIndicator = 42;
    probesim::ProbeSimulator sim;
    Instrument probe(sim, config);
    WireClient client{sim.SlavePath()};
    const auto reply = client.Ask(ReportSlaveId(1));
    ASSERT_TRUE(reply.has_value());
    ASSERT_GE(reply->data.size(), 3u);
    EXPECT_EQ(reply->data[2], 42);

    probesim::ProbeSimulator other;
    config.boot.runIndicator = probesim::kRunIndicatorApplication;
    EXPECT_THROW(Instrument(other, config), std::invalid_argument);
}

// A held switch outlasts its silence: the instrument stays deaf in it until it is let go.
TEST(BootCode, AHeldSwitchEndsOnlyWhenLetGo)
{
    // No silence at all: only the hold keeps it in the switch.
    Booted b(3, 0ms);
    b.probe.Boot().HoldSwitch();
    ASSERT_EQ(b.client.Write(1, reg::kDeviceCommand, {0xD00D}), std::nullopt);
    EXPECT_EQ(b.probe.Boot().Phase(), probesim::BootPhase::Switching);
    EXPECT_FALSE(b.Identify(50ms).has_value());
    b.probe.Boot().HoldSwitch(false);
    EXPECT_EQ(b.probe.Boot().Phase(), probesim::BootPhase::BootCode);
    EXPECT_EQ(b.AfterRestart(), (Identity{0, 10}));
}

} // namespace
} // namespace probesim_test
