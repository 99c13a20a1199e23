// File transfers by functions 100 to 102 (BootCodeTest takes the file command registers), notes into
// the active log, and the faults a test can put on single blocks.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::BlockFault;
using probesim::Instrument;

constexpr uint16_t kRead = 0xF000;
constexpr uint16_t kWrite = 0xF001;
constexpr uint16_t kWriteNote = 0xF006;
constexpr uint16_t kOemFile = 65500;
constexpr uint16_t kPlainFile = 4; // a file whose content the instrument does not look into
constexpr uint8_t kFileSequence = 0x86;
constexpr uint8_t kFileBlock = 0x8A;

// A measurement-cache note: serial 4711, time-out 2000 ms, user "ab".
const Bytes kCacheNote = Hex("00 02 09 01 00 00 12 67 07 D0 00 02 00 61 00 62");

Bytes Pattern(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class Files : public ::testing::Test
{
protected:
    auto Ask(const probesim::Adu& request, std::chrono::milliseconds timeout = 1s)
    {
        return client.Ask(request, timeout);
    }

    probesim::ProbeSimulator sim;
    Instrument probe{sim, {.deviceType = 12, .sleeps = false}};
    WireClient client{sim.SlavePath()};
};

TEST_F(Files, ReadsAFileInBlocksUpToThePacketLimit)
{
    const Bytes content = Pattern(2500);
    probe.Files().Put(kOemFile, content);
    EXPECT_EQ(ExceptionOf(Ask(ReadBlock(1, 0, 1))), kFileSequence) << "no transfer set up";
    const auto setup = Ask(FileRequest(1, kRead, kOemFile));
    ASSERT_TRUE(setup);
    EXPECT_EQ(ToHex(Bytes(setup->data.begin(), setup->data.begin() + 8)), "F0 00 FF DC 00 00 09 C4");
    // 1013 payload bytes fill a 1024-byte RTU frame; one more does not fit.
    EXPECT_EQ(ExceptionOf(Ask(ReadBlock(1, 0, 1014))), kFileBlock);
    Bytes read;
    for (uint32_t offset = 0; offset < content.size();)
    {
        const auto block = Ask(ReadBlock(1, offset, 1013));
        ASSERT_TRUE(block && block->function == 100) << offset;
        const uint16_t length = static_cast<uint16_t>(block->data.at(4) << 8 | block->data.at(5));
        ASSERT_EQ(block->data.size(), 7u + length);
        read.insert(read.end(), block->data.begin() + 6, block->data.end() - 1);
        offset += length;
        EXPECT_EQ(block->data.back(), offset == content.size() ? 1 : 0) << "the end mark";
    }
    EXPECT_EQ(read, content);
    EXPECT_EQ(ExceptionOf(Ask(ReadBlock(1, 2501, 10))), kFileBlock);
    ASSERT_TRUE(Ask(FileRequest(1, 0, kOemFile)));
    EXPECT_FALSE(probe.OpenFileTransfer());
}

TEST_F(Files, AWriteIsStoredWhenCompleteAtTheReturnToIdle)
{
    probe.Files().Put(kPlainFile, Text("old"));
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, kPlainFile, 5)));
    EXPECT_EQ(ToHex(Ask(WriteBlock(1, 0, Text("ABC")))->data), "00 00 00 00 00 03");
    EXPECT_TRUE(Ask(WriteBlock(1, 0, Text("ABC"))));                        // sent again after a lost reply
    EXPECT_EQ(ExceptionOf(Ask(WriteBlock(1, 4, Text("E")))), kFileBlock);   // a gap
    EXPECT_EQ(ExceptionOf(Ask(WriteBlock(1, 3, Text("DEF")))), kFileBlock); // past the size
    EXPECT_TRUE(Ask(WriteBlock(1, 3, Text("DE"))));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("old"));
    ASSERT_TRUE(Ask(FileRequest(1, 0, kPlainFile)));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("ABCDE"));

    // A write abandoned halfway leaves the file as it was.
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, kPlainFile, 4)));
    EXPECT_TRUE(Ask(WriteBlock(1, 0, Text("xy"))));
    ASSERT_TRUE(Ask(FileRequest(1, 0, kPlainFile)));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("ABCDE"));
}

TEST_F(Files, ANoteLandsInTheActiveLogAndABlockThatIsNoNoteIsRefused)
{
    probe.StartLog(12);
    const auto write = [&](const Bytes& block)
    {
        EXPECT_TRUE(Ask(FileRequest(1, kWriteNote, 12, static_cast<uint32_t>(block.size()))));
        EXPECT_TRUE(Ask(WriteBlock(1, 0, block)));
        return Ask(FileRequest(1, 0, 12));
    };
    EXPECT_EQ(write(kCacheNote)->function, 102);
    EXPECT_EQ(ExceptionOf(write(Text("note"))), kFileBlock);
    const auto notes = probe.ActiveLogNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].SubType(), 9);
    EXPECT_EQ(notes[0].SensorSerial(), 4711u);
    EXPECT_EQ(notes[0].UserNameAt(6), u"ab");
    EXPECT_EQ(notes[0].UserNameAt(7), std::nullopt); // a count of 0x0200 units runs past the end
    EXPECT_EQ(probe.Files().Get(12)->data, kCacheNote);
}

TEST_F(Files, SlowRefusedAndLostBlocks)
{
    probe.Files().Put(kPlainFile, Text("ABCDEFGH"));
    probe.FileBlockFaults().AtBlock(2, BlockFault::Slow(100ms));
    probe.FileBlockFaults().AtOffset(6, BlockFault::Refused(), 2);
    ASSERT_TRUE(Ask(FileRequest(1, kRead, kPlainFile)));
    EXPECT_TRUE(Ask(ReadBlock(1, 0, 2)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ToHex(Ask(ReadBlock(1, 2, 2))->data), "00 00 00 02 00 02 43 44 00");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ExceptionOf(Ask(ReadBlock(1, 6, 2))), kFileBlock);
    EXPECT_EQ(ToHex(Ask(ReadBlock(1, 6, 2))->data), "00 00 00 06 00 02 47 48 01");
    EXPECT_EQ(probe.FileBlockFaults().Pending(), 0u);

    // A lost block is not carried out: the retry finds the write where it was.
    probe.FileBlockFaults().AtOffset(2, BlockFault::Lost());
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, kPlainFile, 4)));
    EXPECT_TRUE(Ask(WriteBlock(1, 0, Text("wx"))));
    EXPECT_FALSE(Ask(WriteBlock(1, 2, Text("yz")), 100ms));
    EXPECT_EQ(probe.OpenFileTransfer()->done, 2u);
    EXPECT_TRUE(Ask(WriteBlock(1, 2, Text("yz"))));
    ASSERT_TRUE(Ask(FileRequest(1, 0, kPlainFile)));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("wxyz"));
}

} // namespace
} // namespace probesim_test
