// The firmware flash against the simulated probe: both transfer generations on the wire, the blocks
// as the boot code takes them, the waits around the restarts, refusals and cancels.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

#include "comm/FileCmdSeq.h"
#include "comm/ModbusLengthRules.h"
#include "device/FileTransfer.h"
#include "device/FirmwareFlash.h"
#include "platform/Utf.h"
#include "tests/device/FileTransferSupport.h"
#include "tools/probe-sim/StandardFunctions.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;
using NVSystem::DEVCMD_SWITCH_TO_BOOT;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kDeviceType = 12;
constexpr uint16_t kCommandRegister = 49018;
constexpr uint16_t kBootPacket = 256;

std::vector<uint8_t> Image(bool binary, uint16_t firmware = 200, uint16_t lowest = 0, uint16_t highest = 9)
{
    return probesim::BuildFirmwareImage({.deviceType = kDeviceType,
                                         .firmwareVersion = firmware,
                                         .lowestHardware = lowest,
                                         .highestHardware = highest,
                                         .binary = binary,
                                         .records = 20,
                                         .blocks = 20});
}

class FirmwareFlash : public FileTransferOnSimulator
{
protected:
    FirmwareFlash()
    {
        SetTunable(u"Reboot To Boot Delay", 1500);
        SetTunable(u"Reboot To App Delay", 120);
        for (const char16_t* name : {u"Flash Erase App TO", u"Flash Blk Write TO", u"File Write Cfg Cmd TO"})
            SetTunable(name, 300);
    }

    static probesim::InstrumentConfig Config(uint16_t app, uint16_t boot, int switchMs = 0)
    {
        return {.deviceType = kDeviceType,
                .registerMapVersion = app,
                .boot = {.registerMapVersion = boot,
                         .maxPacketSize = kBootPacket,
                         .switchSilence = std::chrono::milliseconds(switchMs),
                         .rebootSilence = 50ms}};
    }

    std::u16string Store(const std::vector<uint8_t>& image)
    {
        const std::filesystem::path path = m_config.Path() / "firmware.hex";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), image.size());
        return platform::Utf8ToUtf16(path.string());
    }

    HRESULT Flash(const std::vector<uint8_t>& image) { return Device().UpdateFirmware(Store(image).c_str()); }

    std::vector<FileRequest> Blocks()
    {
        std::vector<FileRequest> blocks = FileRequests();
        std::erase_if(blocks, [](const FileRequest& request) { return request.function != 101; });
        return blocks;
    }

    SlaveIdInfo HeldIdentity() { return Got(&CDeviceComm::GetSlaveId); }

    // Whether the application has answered a Report Slave ID after it took the switch command.
    bool ApplicationAnsweredAfterTheSwitch()
    {
        bool switched = false;
        bool asked = false;
        for (const probesim::LoggedFrame& frame : Sim().Log().Frames())
        {
            if (frame.direction == probesim::Direction::Sent)
            {
                if (asked)
                    return true;
                continue;
            }
            const std::optional<RegisterWrite> write = RegisterWriteOf(frame);
            if (write && write->first == kCommandRegister && !write->values.empty() &&
                write->values.front() == DEVCMD_SWITCH_TO_BOOT)
                switched = true;
            else if (switched && frame.adu && frame.adu->function == probesim::kReportSlaveId)
                asked = true;
        }
        return false;
    }

    std::thread AfterPhase(probesim::BootPhase phase, std::function<void()> action)
    {
        return std::thread(
            [this, phase, action]
            {
                // Only a guard against a hang: the phase comes long before on any machine.
                const auto deadline = Clock::now() + 30s;
                while (Probe().Boot().Phase() != phase && Clock::now() < deadline)
                    std::this_thread::sleep_for(1ms);
                action();
            });
    }
};

// Each block of the image as the boot code takes it, and as large as the block size allows.
void ExpectBootCodeCut(const std::vector<uint8_t>& image, const std::vector<FileRequest>& blocks,
                       uint32_t blockSize)
{
    const bool binary = image.at(8) == '1';
    const auto header =
        static_cast<uint32_t>(std::find(image.begin(), image.end(), '\n') - image.begin() + 1);
    uint32_t offset = 0;
    for (const FileRequest& block : blocks)
    {
        SCOPED_TRACE(offset);
        ASSERT_EQ(block.value, offset);
        const uint32_t room = std::min<uint32_t>(blockSize, uint32_t(image.size()) - offset);
        ASSERT_LE(block.length, room);
        const auto end = image.begin() + offset + block.length;
        if (binary && offset == 0)
            EXPECT_EQ(block.length, header);
        else if (binary)
            EXPECT_TRUE(block.length % 48 == 0 && block.length + 48 > room);
        else
            EXPECT_TRUE(end[-1] == '\n' &&
                        std::find(end, image.begin() + offset + room, '\n') == image.begin() + offset + room);
        offset += block.length;
    }
    EXPECT_EQ(offset, image.size());
}

// Blocks that can carry nothing (no payload, binary units larger than a block, a text record longer
// than a block) are refused before anything is sent; the cut of a whole image is checked on the wire.
TEST(FlashBlockPlan, WhatCannotBeCarriedIsRefused)
{
    const std::vector<uint8_t> binary = Image(true);
    const std::vector<uint8_t> text = Image(false);
    std::vector<ULONG> blocks;
    for (auto [image, size] : {std::pair(&binary, 0u), std::pair(&binary, 47u), std::pair(&text, 40u)})
    {
        EXPECT_EQ(NVSystem::PlanFlashBlocks(image->data(), uint32_t(image->size()), size, blocks),
                  MODBUSCOMM_E_MAX_PACKET);
        EXPECT_TRUE(blocks.empty());
    }
}

struct FlashCase
{
    uint16_t app;
    uint16_t boot;
    bool binary;
    int switchMs = 0;
    bool startInBoot = false;
    bool noRetries = false;
};

class FullFlash : public FirmwareFlash, public ::testing::WithParamInterface<FlashCase>
{
};

TEST_P(FullFlash, ImageReachesTheBootCodeAndTheNewApplicationIsReadAfresh)
{
    const FlashCase param = GetParam();
    if (param.noRetries)
        SetTunable(u"Retry Count", 0); // the flash still switches and sends, once
    probesim::InstrumentConfig config = Config(param.app, param.boot, param.switchMs);
    config.boot.startInBoot = param.startInBoot;
    StartAttached(config);
    ClearFrames();
    const std::vector<uint8_t> image = Image(param.binary);
    // The bytes sent are the ones validated, whatever happens to the file meanwhile.
    std::thread overwrite;
    if (param.switchMs > 0)
        overwrite = AfterPhase(probesim::BootPhase::Switching, [&] { Store(Image(param.binary, 300)); });
    ASSERT_EQ(Flash(image), S_OK);
    if (overwrite.joinable())
        overwrite.join();
    EXPECT_EQ(Probe().Boot().ImagesTaken(), 1u);
    EXPECT_EQ(Probe().Boot().LastImage(), image);
    EXPECT_EQ(Probe().FirmwareVersion(), 200);
    const std::vector<uint16_t> expectedSwitch = param.startInBoot ? std::vector<uint16_t>{}
                                                 : param.app < 3
                                                     ? std::vector<uint16_t>{1, DEVCMD_SWITCH_TO_BOOT}
                                                     : std::vector<uint16_t>{DEVCMD_SWITCH_TO_BOOT};
    EXPECT_EQ(WordsWrittenTo(kCommandRegister), expectedSwitch);

    // The boot code's generation frames the blocks; the boot code's packet size cuts them.
    std::vector<FileRequest> requests = FileRequests();
    const auto size = uint32_t(image.size());
    const std::vector<FileRequest> opening =
        param.boot >= 3
            ? std::vector<FileRequest>{FileSetup(FILECMD_WRITE, NVSystem::FIRMWARE_FILE_ID, size)}
            : std::vector<FileRequest>{RegisterWrite16(49150, 0), RegisterWrite16(49150, 1),
                                       RegisterWrite16(49151, NVSystem::FIRMWARE_FILE_ID),
                                       RegisterWrite16(49152, size), RegisterWrite16(49150, FILECMD_WRITE)};
    const FileRequest closing = param.boot >= 3
                                    ? FileSetup(NVSystem::FILECMD_IDLE, NVSystem::FIRMWARE_FILE_ID, 0)
                                    : RegisterWrite16(49150, 0);
    ASSERT_GT(requests.size(), opening.size() + 1);
    EXPECT_TRUE(std::equal(opening.begin(), opening.end(), requests.begin()));
    EXPECT_EQ(requests.back(), closing);
    ExpectBootCodeCut(image, Blocks(), GetMaxPayloadSize(kBootPacket, 0, 101, 0));

    // The device knows the new application and works with it again.
    const SlaveIdInfo held = HeldIdentity();
    EXPECT_EQ(std::make_tuple(held.RunIndicator, held.FirmwareVersion, held.RegisterMapVersion),
              std::make_tuple(SLAVEID_RUN_APPLICATION, USHORT{200}, param.app));
    Got(&CDeviceComm::GetDeviceName);
    USHORT percent = 0;
    ULONG total = 0, done = 0, state = 0;
    double left = 0;
    HRESULT result = E_FAIL;
    ASSERT_EQ(Device().GetFileTransferProgress(percent, total, done, state, left, result), S_OK);
    EXPECT_EQ(std::make_tuple(percent, total, done, result), std::make_tuple(USHORT{100}, size, size, S_OK));
}

INSTANTIATE_TEST_SUITE_P(Generations, FullFlash,
                         ::testing::Values(FlashCase{3, 3, false, 150}, FlashCase{3, 3, true, 0, false, true},
                                           FlashCase{2, 2, true, 0, true}, FlashCase{3, 2, true},
                                           FlashCase{2, 3, false}));

TEST_F(FirmwareFlash, WhatCannotBeFlashedIsRefusedWithoutTrafficOrBeforeTheApplicationIsErased)
{
    probesim::InstrumentConfig config = Config(3, 3);
    config.boot.maxPacketSize = 40; // shorter than a text record
    StartAttached(config);
    std::vector<uint8_t> spoiled = Image(false);
    spoiled[spoiled.size() - 3] ^= 1; // the last record's checksum no longer fits
    EXPECT_EQ(Flash(Image(false, 200, 2, 5)), NVSystem::MODBUSCOMM_E_INVALID_FLASH_VERSION); // hardware 1
    EXPECT_EQ(Flash(spoiled), NVSystem::MODBUSCOMM_E_INVALID_FLASH_FILE);
    EXPECT_EQ(Device().UpdateFirmware(nullptr), E_POINTER);
    EXPECT_EQ(Device().UpdateFirmware(u""), NVSystem::MODBUSCOMM_E_INVALID_PATH);
    EXPECT_EQ(Device().UpdateFirmware(u"/nonexistent/firmware.hex"),
              NVSystem::MODBUSCOMM_E_FILE_DOES_NOT_EXIST);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(Probe().Boot().Phase(), probesim::BootPhase::Application);
    ClearFrames();
    EXPECT_EQ(Flash(Image(false)), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_TRUE(Blocks().empty());
    EXPECT_TRUE(Probe().Boot().ApplicationIntact());
}

TEST_F(FirmwareFlash, RefusedFirstBlockIsSuccessOnlyWhenTheImageRunsAlready)
{
    // The device takes its instrument for the boot code, but the instrument runs its application,
    // which refuses the image's first block.
    StartLine(Config(3, 3));
    SlaveIdInfo stale = ReportedIdentity();
    stale.RunIndicator = 0;
    Probe().FileBlockFaults().AtOffset(0, probesim::BlockFault::Refused(), probesim::BlockFaults::kEveryTime);
    ASSERT_EQ(CreateAndAttach(stale), S_OK);
    EXPECT_EQ(Flash(Image(false, Probe().FirmwareVersion() + 1)), NVSystem::MODBUSCOMM_E_FLASH_FIRST_BLOCK);
    ASSERT_EQ(CreateAndAttach(stale), S_OK);
    EXPECT_EQ(Flash(Image(false, Probe().FirmwareVersion())), S_OK);
    EXPECT_EQ(HeldIdentity().RunIndicator, SLAVEID_RUN_APPLICATION);
}

TEST_F(FirmwareFlash, CancelWhileTheInstrumentRestartsStopsBeforeTheTransfer)
{
    StartAttached(Config(2, 3, 1000));
    // The instrument stays in its switch: the boot code, once heard, would refuse the cancel,
    // however late the canceller gets to it.
    Probe().Boot().HoldSwitch();
    std::thread canceller = AfterPhase(probesim::BootPhase::Switching,
                                       [this] { EXPECT_EQ(Device().CancelFileTransfer(), S_OK); });
    EXPECT_EQ(Flash(Image(false)), MODBUSCOMM_E_CANCELLED);
    canceller.join();
    // The older instrument's command register is not left armed (the restarting instrument does not
    // answer, so the 0 may go out more than once).
    const std::vector<uint16_t> writes = WordsWrittenTo(kCommandRegister);
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(std::vector<uint16_t>(writes.begin(), writes.begin() + 2),
              (std::vector<uint16_t>{1, DEVCMD_SWITCH_TO_BOOT}));
    EXPECT_TRUE(std::all_of(writes.begin() + 2, writes.end(), [](uint16_t value) { return value == 0; }));
    EXPECT_TRUE(Blocks().empty());
    EXPECT_TRUE(Probe().Boot().ApplicationIntact());
}

TEST_F(FirmwareFlash, WaitForTheBootCodeEndsWithItOrAfterTheDelay)
{
    // The application still answers for a while after the switch: it is not the boot code. The
    // instrument restarts once it has answered the program's look for the boot code at least once,
    // well within the delay, however late this test's thread gets to it.
    SetTunable(u"Reboot To Boot Delay", 20000);
    StartAttached(Config(3, 3));
    Probe().Boot().IgnoreSwitch();
    std::thread restart(
        [this]
        {
            const auto deadline = Clock::now() + 20s;
            while (!ApplicationAnsweredAfterTheSwitch() && Clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            Probe().Boot().Enter();
        });
    EXPECT_EQ(Flash(Image(false)), S_OK);
    restart.join();
    EXPECT_EQ(Probe().Boot().ImagesTaken(), 1u);

    // An application that never restarts, and a boot code that never answers.
    SetTunable(u"Reboot To Boot Delay", 500);
    EXPECT_EQ(Flash(Image(false, 300)), NVSystem::MODBUSCOMM_E_SWITCH_TO_BOOT_FAILED);
    Probe().Boot().IgnoreSwitch(false);
    Probe().Boot().NeverAnswer();
    const auto start = Clock::now();
    EXPECT_EQ(Flash(Image(false, 300)), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_GE(Clock::now() - start, 500ms);
    EXPECT_EQ(Probe().Boot().ImagesTaken(), 1u);
}

TEST_F(FirmwareFlash, TheFirstBlockWaitsForTheBootCodeToEraseTheApplication)
{
    // The erase outlasts a block's time-out and its one retry, so a first block held to the block
    // time-out would be given up before its answer comes.
    probesim::InstrumentConfig config = Config(3, 3);
    config.boot.eraseTime = 500ms;
    SetTunable(u"Flash Blk Write TO", 100);
    SetTunable(u"Flash Erase App TO", 2000);
    StartAttached(config);
    ClearFrames();
    const std::vector<uint8_t> image = Image(false);
    EXPECT_EQ(Flash(image), S_OK);
    EXPECT_EQ(Probe().Boot().LastImage(), image);
    const std::vector<FileRequest> blocks = Blocks();
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), blocks.front()), 1) << "the first block sent once";
}

TEST_F(FirmwareFlash, BootCodeThatHangsMidwayLeavesTheDeviceInBootCode)
{
    probesim::InstrumentConfig config = Config(3, 3);
    config.boot.maxPacketSize = 60; // one 45-character record a block
    StartAttached(config);
    ClearFrames();
    SetTunable(u"Flash Blk Write TO", 100);
    Probe().Boot().StallAtBlock(3);
    EXPECT_EQ(Flash(Image(false)), SERIALCOMM_E_READ_TIMEOUT);
    const std::vector<FileRequest> blocks = Blocks(); // the third went out again, to no avail
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[3], blocks[2]);
    EXPECT_FALSE(Probe().Boot().ApplicationIntact());
    EXPECT_EQ(HeldIdentity().RunIndicator, 0);
}

} // namespace
} // namespace devicetest
