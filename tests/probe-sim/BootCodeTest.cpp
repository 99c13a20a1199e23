// The boot code: the switch and its silence, the identity it answers with, both image transfers
// with the blocks the flash procedure sends, the restart into the new application, and its
// misbehaviour on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::BootPhase;
using probesim::Instrument;
using probesim::InstrumentConfig;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

constexpr uint8_t kIllegalDataAddress = 0x02;
constexpr uint8_t kInvalidFileCommand = 0x87;
constexpr uint8_t kInvalidFileNumber = 0x88;
constexpr uint8_t kInvalidFileBlock = 0x8A;
constexpr uint16_t kFirmwareFile = 65000;
constexpr uint16_t kBlockSize = 246; // function-101 payload within the boot code's 256 bytes in RTU
constexpr auto kSilence = 100ms;

// The blocks the flash procedure cuts: text blocks end after their last line feed; a binary image
// goes as its header line alone, then blocks of whole 48-byte multiples.
std::vector<Bytes> FlashBlocks(const Bytes& image, size_t blockSize)
{
    const bool binary = image.size() > 8 && image[7] == 'F' && image[8] == '1';
    std::vector<Bytes> blocks;
    size_t offset = 0;
    while (offset < image.size())
    {
        const size_t n = std::min(blockSize, image.size() - offset);
        size_t length = 0;
        if (binary && offset > 0)
        {
            length = n - n % 48;
        }
        else if (binary)
        {
            while (length < n && image[offset + length] != '\n')
                ++length;
            ++length;
        }
        else
        {
            length = n;
            while (length > 0 && image[offset + length - 1] != '\n')
                --length;
        }
        blocks.emplace_back(image.begin() + static_cast<ptrdiff_t>(offset),
                            image.begin() + static_cast<ptrdiff_t>(offset + length));
        offset += length;
    }
    return blocks;
}

InstrumentConfig Config(uint16_t mapVersion = 3, uint16_t bootMapVersion = 3)
{
    InstrumentConfig config{
        .deviceType = 12, .registerMapVersion = mapVersion, .serialNumber = 4711, .sleeps = false};
    config.boot.registerMapVersion = bootMapVersion;
    config.boot.switchSilence = kSilence;
    config.boot.rebootSilence = kSilence;
    return config;
}

// A block or setup the boot code took.
bool Taken(const std::optional<probesim::Adu>& reply)
{
    return reply && (reply->function & 0x80) == 0;
}

struct Booted
{
    explicit Booted(const InstrumentConfig& config = Config()) : probe(sim, config) {}

    // Run indicator and firmware version of the identity; nullopt when nothing answers.
    std::optional<std::pair<uint8_t, uint16_t>> Identity(std::chrono::milliseconds timeout = 1000ms)
    {
        const auto reply = client.Ask(ReportSlaveId(1), timeout);
        if (!reply || reply->data.size() != 24)
            return std::nullopt;
        return std::pair{reply->data[2], static_cast<uint16_t>(reply->data[8] << 8 | reply->data[9])};
    }

    void SwitchAndWait()
    {
        ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00D}), std::nullopt);
        std::this_thread::sleep_for(kSilence + 20ms);
    }

    // The image through function 102 and 101; the exception of the first refusal, if any.
    std::optional<uint8_t> Send(const Bytes& image, std::chrono::milliseconds timeout = 1000ms)
    {
        if (const auto refusal = ExceptionOf(client.Ask(FileRequest(1, 0xF001, kFirmwareFile, image.size()))))
            return refusal;
        uint32_t offset = 0;
        for (const Bytes& block : FlashBlocks(image, kBlockSize))
        {
            const auto reply = client.Ask(WriteBlock(1, offset, block), timeout);
            if (!reply)
                return 0;
            if (const auto refusal = ExceptionOf(reply))
                return refusal;
            offset += static_cast<uint32_t>(block.size());
        }
        return ExceptionOf(client.Ask(FileRequest(1, 0, kFirmwareFile)));
    }

    ProbeSimulator sim;
    Instrument probe;
    WireClient client{sim.SlavePath()};
};

TEST(BootCode, SwitchesFlashesATextImageAndComesBackWithItsVersion)
{
    Booted b;
    ASSERT_EQ(b.Identity(), (std::pair<uint8_t, uint16_t>{255, 100}));
    ASSERT_EQ(b.client.Write(1, reg::kDeviceCommand, {0xD00D}), std::nullopt);
    EXPECT_FALSE(b.Identity(kSilence / 2)) << "deaf while restarting";
    std::this_thread::sleep_for(kSilence);

    // The boot code's identity record, field by field.
    const auto identity = b.client.Ask(ReportSlaveId(1));
    ASSERT_TRUE(identity);
    EXPECT_EQ(ToHex(identity->data),
              "17 4E 00 01 56 43 00 0C 00 0A 00 00 00 01 00 03 00 00 12 67 01 00 00 01");
    EXPECT_EQ(b.probe.Boot().Phase(), BootPhase::BootCode);
    EXPECT_EQ(ExceptionOf(b.client.Ask(ReadHolding(1, reg::kDeviceType, 1))), kIllegalDataAddress);

    const Bytes image = probesim::BuildFirmwareImage({.firmwareVersion = 250, .records = 9});
    EXPECT_EQ(b.Send(image), std::nullopt) << b.probe.Boot().LastRefusal().value_or("");
    EXPECT_FALSE(b.Identity(kSilence / 2)) << "deaf while restarting into the application";
    std::this_thread::sleep_for(kSilence);
    EXPECT_EQ(b.Identity(), (std::pair<uint8_t, uint16_t>{255, 250}));
    EXPECT_EQ(b.probe.FirmwareVersion(), 250);
    EXPECT_EQ(b.probe.Boot().ImagesTaken(), 1u);
    EXPECT_EQ(b.probe.Boot().LastImage(), image);
    const auto blocks = b.probe.Boot().Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], (probesim::BootBlock{0, 37 + 4 * 45}));
    EXPECT_EQ(blocks[1].offset, 217u);
    // The application is itself again: its registers answer.
    EXPECT_EQ(b.client.Read(1, reg::kDeviceType, 1), (Values{12}));
}

TEST(BootCode, TakesABinaryImageThroughTheFileCommandRegisters)
{
    Booted b(Config(2, 2));
    // Below map version 3 the switch is armed first; the flash procedure writes 1, then 0xD00D.
    ASSERT_EQ(b.client.Write(1, reg::kDeviceCommand, {1}), std::nullopt);
    b.SwitchAndWait();
    ASSERT_EQ(b.Identity()->first, 0);
    EXPECT_EQ(ExceptionOf(b.client.Ask(FileRequest(1, 0xF001, kFirmwareFile, 10))), 0x01)
        << "no function 102";

    const Bytes image = probesim::BuildFirmwareImage({.firmwareVersion = 301, .binary = true, .blocks = 7});
    for (uint16_t word : {uint16_t{0}, uint16_t{1}})
        ASSERT_EQ(b.client.Write(1, 49150, {word}), std::nullopt);
    ASSERT_EQ(b.client.Write(1, 49151, {kFirmwareFile}), std::nullopt);
    ASSERT_EQ(b.client.Write(1, 49152, {0, static_cast<uint16_t>(image.size())}), std::nullopt);
    ASSERT_EQ(b.client.Write(1, 49150, {0xF001}), std::nullopt);
    uint32_t offset = 0;
    for (const Bytes& block : FlashBlocks(image, kBlockSize))
    {
        ASSERT_TRUE(Taken(b.client.Ask(WriteBlock(1, offset, block))));
        offset += static_cast<uint32_t>(block.size());
    }
    EXPECT_EQ(b.probe.Boot().LastRefusal(), std::nullopt);
    const auto blocks = b.probe.Boot().Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[1].length, 240u);
    EXPECT_EQ(blocks[2].length, 96u);
    ASSERT_EQ(b.client.Write(1, 49150, {0}), std::nullopt); // the closing 0 stores the image
    std::this_thread::sleep_for(kSilence + 20ms);
    EXPECT_EQ(b.Identity(), (std::pair<uint8_t, uint16_t>{255, 301}));
    EXPECT_EQ(b.probe.DeviceCommandStep(), probesim::HandshakeStep::Idle) << "the restart ends the handshake";
}

TEST(BootCode, RefusesBlocksAndSetupsItCannotTake)
{
    InstrumentConfig config = Config();
    config.boot.startInBoot = true;
    Booted b(config);
    ASSERT_EQ(b.Identity()->first, 0) << "found in its boot code";
    EXPECT_FALSE(b.probe.Boot().ApplicationIntact());

    EXPECT_EQ(ExceptionOf(b.client.Ask(FileRequest(1, 0xF000, kFirmwareFile))), kInvalidFileCommand);
    EXPECT_EQ(ExceptionOf(b.client.Ask(FileRequest(1, 0xF001, 65500, 100))), kInvalidFileNumber);

    const Bytes image = probesim::BuildFirmwareImage({.records = 3});
    const auto setup = [&](size_t size)
    { ASSERT_TRUE(Taken(b.client.Ask(FileRequest(1, 0xF001, kFirmwareFile, static_cast<uint32_t>(size))))); };
    const struct
    {
        Bytes block;
        size_t announced;
        const char* why;
    } refused[] = {
        {Bytes(image.begin(), image.begin() + 60), image.size(), "line feed"},
        {probesim::BuildFirmwareImage({.deviceType = 18, .records = 3}), image.size(), "device type 18"},
        {image, image.size() + 1, "the setup"},
        {probesim::BuildFirmwareImage({.lowestHardware = 2, .records = 3}), image.size(),
         "hardware version 1"},
        {Bytes(image.begin() + 37, image.end()), image.size(), "no image header"},
    };
    for (const auto& r : refused)
    {
        setup(r.announced);
        EXPECT_EQ(ExceptionOf(b.client.Ask(WriteBlock(1, 0, r.block))), kInvalidFileBlock) << r.why;
        EXPECT_NE(b.probe.Boot().LastRefusal().value_or("").find(r.why), std::string::npos)
            << b.probe.Boot().LastRefusal().value_or("");
    }

    // A binary image takes its header alone first, then only whole 48-byte blocks.
    const Bytes binary = probesim::BuildFirmwareImage({.binary = true, .blocks = 2});
    setup(binary.size());
    EXPECT_EQ(ExceptionOf(b.client.Ask(WriteBlock(1, 0, Bytes(binary.begin(), binary.begin() + 40)))),
              kInvalidFileBlock);
    ASSERT_TRUE(Taken(b.client.Ask(WriteBlock(1, 0, Bytes(binary.begin(), binary.begin() + 37)))));
    EXPECT_EQ(b.probe.Boot().Blocks().size(), 1u);
    EXPECT_EQ(ExceptionOf(b.client.Ask(WriteBlock(1, 37, Bytes(binary.begin() + 37, binary.begin() + 87)))),
              kInvalidFileBlock);
    EXPECT_EQ(b.Send(binary), std::nullopt);
    EXPECT_EQ(b.probe.Boot().ImagesTaken(), 1u);
}

TEST(BootCode, TheFirstBlockWaitsForTheErase)
{
    InstrumentConfig config = Config();
    config.boot.startInBoot = true;
    config.boot.eraseTime = 200ms;
    Booted b(config);
    const Bytes image = probesim::BuildFirmwareImage({.records = 6});
    const auto blocks = FlashBlocks(image, kBlockSize);
    ASSERT_EQ(blocks.size(), 2u);
    ASSERT_TRUE(Taken(b.client.Ask(FileRequest(1, 0xF001, kFirmwareFile, image.size()))));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Taken(b.client.Ask(WriteBlock(1, 0, blocks[0]))));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Taken(b.client.Ask(WriteBlock(1, static_cast<uint32_t>(blocks[0].size()), blocks[1]))));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 150ms);
}

TEST(BootCodeMishaps, IgnoredSwitchAndABootCodeThatNeverAnswers)
{
    Booted ignored;
    ignored.probe.Boot().IgnoreSwitch();
    ignored.SwitchAndWait();
    EXPECT_EQ(ignored.Identity(), (std::pair<uint8_t, uint16_t>{255, 100}));

    Booted silent;
    silent.probe.Boot().NeverAnswer();
    silent.SwitchAndWait();
    EXPECT_FALSE(silent.Identity(150ms));
    EXPECT_EQ(silent.probe.Boot().Phase(), BootPhase::Hung);
    EXPECT_NE(silent.sim.Log().Received().back().note.find("hangs"), std::string::npos);
    silent.probe.Boot().PowerCycle(); // nothing was erased
    EXPECT_EQ(silent.Identity(), (std::pair<uint8_t, uint16_t>{255, 100}));
}

TEST(BootCodeMishaps, RefusedFirstBlockAndSetupEraseNothing)
{
    Booted b;
    b.probe.Boot().Enter();
    b.probe.Boot().RefuseSetup(probesim::ExceptionCode::InvalidFileNumber);
    const Bytes image = probesim::BuildFirmwareImage({});
    EXPECT_EQ(b.Send(image), kInvalidFileNumber);
    b.probe.Boot().RefuseSetup(std::nullopt);
    b.probe.Boot().RefuseFirstBlock();
    EXPECT_EQ(b.Send(image), kInvalidFileBlock);
    EXPECT_TRUE(b.probe.Boot().ApplicationIntact());
    EXPECT_EQ(b.probe.Boot().LastRefusal(), "the first block was refused on request");
}

TEST(BootCodeMishaps, AStalledBootCodeHangsAndStaysInBootAfterAPowerCycle)
{
    Booted b;
    b.SwitchAndWait();
    b.probe.Boot().StallAtBlock(2);
    EXPECT_EQ(b.Send(probesim::BuildFirmwareImage({.records = 12}), 150ms), 0)
        << "the second block goes unanswered";
    EXPECT_FALSE(b.Identity(100ms));
    EXPECT_FALSE(b.probe.Boot().ApplicationIntact()) << "the first block erased it";
    b.probe.Boot().StallAtBlock(std::nullopt);
    b.probe.Boot().PowerCycle();
    EXPECT_EQ(b.Identity()->first, 0);
    EXPECT_EQ(b.Send(probesim::BuildFirmwareImage({.firmwareVersion = 222, .records = 12})), std::nullopt);
    std::this_thread::sleep_for(kSilence + 20ms);
    EXPECT_EQ(b.Identity(), (std::pair<uint8_t, uint16_t>{255, 222}));
}

TEST(BootCodeMishaps, StaysInBootAfterAGoodImageUntilPowerCycled)
{
    Booted b;
    b.SwitchAndWait();
    b.probe.Boot().StayInBoot();
    EXPECT_EQ(b.Send(probesim::BuildFirmwareImage({.firmwareVersion = 260})), std::nullopt);
    EXPECT_EQ(b.Identity()->first, 0);
    EXPECT_EQ(b.probe.Boot().ImagesTaken(), 1u);
    b.probe.Boot().PowerCycle();
    EXPECT_EQ(b.Identity(), (std::pair<uint8_t, uint16_t>{255, 260}));
}

} // namespace
} // namespace probesim_test
