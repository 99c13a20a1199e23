// Notes written into the active log through both file fronts, the instrument's configuration files
// and the faults a test can put on single file blocks.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::BlockFault;
using probesim::Instrument;
using probesim::ProbeSimulator;
using Steady = std::chrono::steady_clock;
namespace reg = probesim::reg;

constexpr uint16_t kWrite = 0xF001;
constexpr uint16_t kRead = 0xF000;
constexpr uint16_t kWriteNote = 0xF006;
constexpr uint8_t kFileSequence = 0x86;
constexpr uint8_t kFileBlock = 0x8A;

// A measurement-cache note: serial 4711, time-out 2000 ms, user "ab".
const Bytes kCacheNote = Hex("00 02 09 01 00 00 12 67 07 D0 00 02 00 61 00 62");

std::optional<probesim::Adu> WriteFile(WireClient& client, uint16_t command, uint16_t file, const Bytes& data)
{
    if (!client.Ask(FileRequest(1, command, file, static_cast<uint32_t>(data.size()))))
        return std::nullopt;
    if (!data.empty() && !client.Ask(WriteBlock(1, 0, data)))
        return std::nullopt;
    return client.Ask(FileRequest(1, 0, file));
}

TEST(LogNotes, ANoteThroughTheExtendedRequestLandsInTheActiveLog)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Read(1, reg::kActiveLogFile, 2), (Values{0, 0}));
    probe.StartLog(12);
    EXPECT_EQ(client.Read(1, reg::kActiveLogFile, 2), (Values{12, probesim::kLogRunning}));

    // The change of the measurement-cache time-out and its note, as the device code sends them.
    EXPECT_EQ(client.Write(1, reg::kMeasurementCacheTimeout, {2000}), std::nullopt);
    const auto idle = WriteFile(client, kWriteNote, 12, kCacheNote);
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->function, 102);

    const auto notes = probe.ActiveLogNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].block, kCacheNote);
    EXPECT_EQ(notes[0].SubType(), 9);
    EXPECT_EQ(notes[0].Flags(), 1);
    EXPECT_EQ(notes[0].SensorSerial(), 4711u);
    EXPECT_EQ(notes[0].UserNameAt(6), u"ab");
    EXPECT_EQ(notes[0].UserNameAt(7), std::nullopt); // a count of 0x0200 units runs past the end
    EXPECT_NEAR(static_cast<double>(notes[0].at.seconds), probesim::SystemTimestamp().seconds, 5.0);
    EXPECT_EQ(probe.Files().Get(12)->data, kCacheNote);

    // A block that is no note is refused at the return to idle and stored nowhere.
    const auto refused = WriteFile(client, kWriteNote, 12, Text("note"));
    EXPECT_EQ(ExceptionOf(refused), kFileBlock);
    EXPECT_EQ(probe.Notes().size(), 1u);

    // Notes go to whichever log they are sent to; the active one is the register's.
    probe.Files().Put(7, Bytes{});
    ASSERT_TRUE(WriteFile(client, kWriteNote, 7, kCacheNote));
    EXPECT_EQ(probe.Notes(7).size(), 1u);
    EXPECT_EQ(probe.ActiveLogNotes().size(), 1u);
    probe.SetLogStatus(probesim::kLogStopped);
    EXPECT_EQ(client.Read(1, reg::kActiveLogStatus, 1), (Values{probesim::kLogStopped}));
    EXPECT_THROW(probe.StartLog(12, probesim::kLogStopped), std::out_of_range);
}

TEST(LogNotes, ANoteThroughTheFileCommandRegistersTakesTheSequence)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .registerMapVersion = 2, .sleeps = false});
    WireClient client(sim.SlavePath());
    probe.StartLog(3);
    const auto command = [&](uint16_t value)
    { return client.Write(1, probesim::kFileCommandRegister, {value}); };

    // The file number and the size only while the sequence is armed.
    EXPECT_EQ(client.Write(1, probesim::kFileNumberRegister, {3}), kFileSequence);
    EXPECT_EQ(command(0), std::nullopt);
    EXPECT_EQ(command(1), std::nullopt);
    EXPECT_EQ(client.Write(1, probesim::kFileNumberRegister, {3}), std::nullopt);
    EXPECT_EQ(client.Write(1, probesim::kTransferSizeRegister, {0, 16}), std::nullopt);
    EXPECT_EQ(command(kWriteNote), std::nullopt);
    EXPECT_EQ(client.Write(1, probesim::kTransferSizeRegister, {0, 4}), kFileSequence);
    EXPECT_TRUE(client.Ask(WriteBlock(1, 0, kCacheNote)));
    EXPECT_TRUE(probe.ActiveLogNotes().empty()); // stored at the closing 0
    EXPECT_EQ(command(0), std::nullopt);
    ASSERT_EQ(probe.ActiveLogNotes().size(), 1u);
    EXPECT_EQ(probe.ActiveLogNotes()[0].block, kCacheNote);
}

TEST(ConfigurationFiles, TheOemConfigurationIsCheckedAndTakenAtTheNextRestart)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 36,
                           .serialNumber = 4711,
                           .sdi12Supported = true,
                           .sleeps = false,
                           .restoreSilence = 50ms});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(ToHex(probe.Files().Get(probesim::kOemConfigFile)->data),
              "01 00 00 00 00 00 12 67 00 01 00 12");
    EXPECT_EQ(ToHex(probe.Files().Get(probesim::kSdi12File)->data),
              "00 01 00 30 00 02 00 01 00 01 00 01 00 02");

    // Version 2.0 and a factory word with parity id 3 are refused; the file stays.
    EXPECT_EQ(ExceptionOf(WriteFile(client, kWrite, probesim::kOemConfigFile,
                                    Hex("02 00 00 00 00 00 00 09 00 05 00 02"))),
              kFileBlock);
    EXPECT_EQ(ExceptionOf(WriteFile(client, kWrite, probesim::kOemConfigFile,
                                    Hex("01 00 00 00 00 00 00 09 00 05 00 62"))),
              kFileBlock);
    EXPECT_EQ(
        ExceptionOf(WriteFile(client, kWrite, probesim::kSdi12File, Hex("00 01 00 30 00 02 00 01 00 01"))),
        kFileBlock);
    EXPECT_EQ(probe.SerialNumber(), 4711u);

    // Serial 9, factory address 5, 19200 baud ASCII: the instrument keeps its identity until the
    // factory restore.
    const Bytes oem = Hex("01 02 00 00 00 00 00 09 00 05 00 13");
    EXPECT_FALSE(ExceptionOf(WriteFile(client, 0xF003, probesim::kOemConfigFile, oem)));
    EXPECT_EQ(probe.Files().Get(probesim::kOemConfigFile)->data, oem);
    EXPECT_EQ(probe.SerialNumber(), 4711u);
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00C}), std::nullopt);
    EXPECT_EQ(probe.SerialNumber(), 9u);
    EXPECT_EQ(probe.Address(), 5);
    EXPECT_EQ(probe.Line().mode, probesim::FramingMode::Ascii);
    EXPECT_EQ(probe.Registers().GetU32(reg::kSerialNumber), 9u);
}

TEST(FileBlockFaults, SlowRefusedAndLostBlocks)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    WireClient client(sim.SlavePath());
    probe.Files().Put(4, Text("ABCDEFGH"));

    probe.FileBlockFaults().AtBlock(2, BlockFault::Slow(500ms));
    probe.FileBlockFaults().AtOffset(6, BlockFault::Refused(), 2);
    ASSERT_TRUE(client.Ask(FileRequest(1, kRead, 4)));
    const auto timed = [&](uint32_t offset)
    {
        const auto start = Steady::now();
        const auto reply = client.Ask(ReadBlock(1, offset, 2), 2000ms);
        return std::pair{reply, Steady::now() - start};
    };
    const auto [first, fast] = timed(0);
    EXPECT_EQ(ToHex(first->data), "00 00 00 00 00 02 41 42 00");
    EXPECT_LT(fast, 350ms);
    const auto [second, slow] = timed(2);
    EXPECT_EQ(ToHex(second->data), "00 00 00 02 00 02 43 44 00");
    EXPECT_GE(slow, 500ms);
    EXPECT_LT(timed(4).second, 350ms);
    EXPECT_EQ(ExceptionOf(timed(6).first), kFileBlock);
    EXPECT_EQ(ExceptionOf(timed(6).first), kFileBlock);
    EXPECT_EQ(ToHex(timed(6).first->data), "00 00 00 06 00 02 47 48 01");
    EXPECT_EQ(probe.OpenFileTransfer()->blocks, 6u);
    EXPECT_EQ(probe.FileBlockFaults().Pending(), 0u);

    // A lost block is not carried out: the retry finds the write where it was.
    probe.FileBlockFaults().AtOffset(2, BlockFault::Lost());
    ASSERT_TRUE(client.Ask(FileRequest(1, kWrite, 4, 4)));
    EXPECT_TRUE(client.Ask(WriteBlock(1, 0, Text("wx"))));
    EXPECT_FALSE(client.Ask(WriteBlock(1, 2, Text("yz")), 200ms));
    EXPECT_EQ(probe.OpenFileTransfer()->done, 2u);
    EXPECT_TRUE(client.Ask(WriteBlock(1, 2, Text("yz"))));
    ASSERT_TRUE(client.Ask(FileRequest(1, 0, 4)));
    EXPECT_EQ(probe.Files().Get(4)->data, Text("wxyz"));

    // Every time, until cleared.
    probe.FileBlockFaults().AtBlock(1, BlockFault::Refused(probesim::ExceptionCode::SlaveDeviceBusy),
                                    probesim::BlockFaults::kEveryTime);
    for (int round = 0; round < 2; ++round)
    {
        ASSERT_TRUE(client.Ask(FileRequest(1, kRead, 4)));
        EXPECT_EQ(ExceptionOf(client.Ask(ReadBlock(1, 0, 2))), 0x06);
    }
    probe.FileBlockFaults().Clear();
    ASSERT_TRUE(client.Ask(FileRequest(1, kRead, 4)));
    EXPECT_EQ(client.Ask(ReadBlock(1, 0, 2))->function, 100);
}

} // namespace
} // namespace probesim_test
