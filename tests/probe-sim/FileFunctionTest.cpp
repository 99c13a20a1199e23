// File transfers in both generations: the extended file request with functions 100 and 101 from
// register map version 3 on, the file command registers before it.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::DeviceFile;
using probesim::FramingMode;
using probesim::Instrument;
using probesim::ProbeSimulator;

constexpr uint16_t kRead = 0xF000;
constexpr uint16_t kWrite = 0xF001;
constexpr uint16_t kWriteNote = 0xF006;
constexpr uint16_t kOemFile = 65500;
constexpr uint16_t kPlainFile = 4; // a file whose content the instrument does not look into

constexpr uint8_t kIllegalDataValue = 0x03;
constexpr uint8_t kFileSequence = 0x86;
constexpr uint8_t kFileCommand = 0x87;
constexpr uint8_t kFileNumber = 0x88;
constexpr uint8_t kFileSize = 0x89;
constexpr uint8_t kFileBlock = 0x8A;

Bytes Pattern(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class ExtendedFiles : public ::testing::Test
{
protected:
    std::optional<probesim::Adu> Ask(const probesim::Adu& request) { return client.Ask(request); }

    ProbeSimulator sim;
    Instrument probe{sim, {.deviceType = 12, .sleeps = false}};
    WireClient client{sim.SlavePath()};
};

TEST_F(ExtendedFiles, SetupReportsTheFileAndBlocksCarryOffsetAndEndMark)
{
    probe.Files().Put(kOemFile, DeviceFile{Text("ABC"), {0x11223344, 0x5566}, {0x778899AA, 0xBBCC}});
    const auto setup = Ask(FileRequest(1, kRead, kOemFile));
    ASSERT_TRUE(setup);
    EXPECT_EQ(ToHex(setup->data), "F0 00 FF DC 00 00 00 03 11 22 33 44 55 66 77 88 99 AA BB CC");
    const auto block = Ask(ReadBlock(1, 1, 10));
    ASSERT_TRUE(block);
    EXPECT_EQ(ToHex(block->data), "00 00 00 01 00 02 42 43 01");
    EXPECT_EQ(ToHex(Ask(ReadBlock(1, 0, 1))->data), "00 00 00 00 00 01 41 00");
    EXPECT_EQ(probe.OpenFileTransfer()->done, 3u);

    const auto idle = Ask(FileRequest(1, 0, kOemFile));
    ASSERT_TRUE(idle);
    EXPECT_EQ(ToHex(idle->data), "00 00 FF DC 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_FALSE(probe.OpenFileTransfer());
    EXPECT_EQ(ExceptionOf(Ask(ReadBlock(1, 0, 1))), kFileSequence);
}

TEST_F(ExtendedFiles, ReadsAFileInBlocksUpToThePacketLimit)
{
    const Bytes content = Pattern(2500);
    probe.Files().Put(kOemFile, content);
    ASSERT_TRUE(Ask(FileRequest(1, kRead, kOemFile)));
    // 1013 payload bytes fill a 1024-byte RTU frame in the long form; one more does not fit.
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
        EXPECT_EQ(block->data.back(), offset == content.size() ? 1 : 0);
    }
    EXPECT_EQ(read, content);
    // At the end a block is empty; beyond it the offset is refused.
    EXPECT_EQ(ToHex(Ask(ReadBlock(1, 2500, 10))->data), "00 00 09 C4 00 00 01");
    EXPECT_EQ(ExceptionOf(Ask(ReadBlock(1, 2501, 10))), kFileBlock);
}

TEST_F(ExtendedFiles, AWriteIsStoredWhenItIsCompleteAndBackToIdle)
{
    probe.Files().Put(kPlainFile, Text("old"));
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, kPlainFile, 5)));
    const auto first = Ask(WriteBlock(1, 0, Text("ABC")));
    ASSERT_TRUE(first);
    EXPECT_EQ(ToHex(first->data), "00 00 00 00 00 03");
    EXPECT_TRUE(Ask(WriteBlock(1, 0, Text("ABC"))));                        // sent again after a lost reply
    EXPECT_EQ(ExceptionOf(Ask(WriteBlock(1, 4, Text("E")))), kFileBlock);   // a gap
    EXPECT_EQ(ExceptionOf(Ask(WriteBlock(1, 3, Text("DEF")))), kFileBlock); // past the size
    EXPECT_TRUE(Ask(WriteBlock(1, 3, Text("DE"))));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("old")); // not before the return to idle
    ASSERT_TRUE(Ask(FileRequest(1, 0, kPlainFile)));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("ABCDE"));
    EXPECT_EQ(probe.FilesCommitted(), 1u);

    // A write abandoned halfway leaves the file as it was.
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, kPlainFile, 4)));
    EXPECT_TRUE(Ask(WriteBlock(1, 0, Text("xy"))));
    ASSERT_TRUE(Ask(FileRequest(1, 0, kPlainFile)));
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("ABCDE"));

    // An empty write is just the setup and the return to idle.
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, 7, 0)));
    ASSERT_TRUE(Ask(FileRequest(1, 0, 7)));
    EXPECT_EQ(probe.Files().Get(7)->data, Bytes{});
}

TEST_F(ExtendedFiles, ANoteIsAppendedToItsLog)
{
    const Bytes note = Hex("00 02 09 01 00 00 12 67 03 E8 00 00");
    probe.Files().Put(12, Text("LOG"));
    ASSERT_TRUE(Ask(FileRequest(1, kWriteNote, 12, 12)));
    EXPECT_TRUE(Ask(WriteBlock(1, 0, note)));
    ASSERT_TRUE(Ask(FileRequest(1, 0, 12)));
    Bytes expected = Text("LOG");
    expected.insert(expected.end(), note.begin(), note.end());
    EXPECT_EQ(probe.Files().Get(12)->data, expected);
    EXPECT_EQ(ExceptionOf(Ask(FileRequest(1, kWriteNote, 13, 4))), kFileNumber);
}

TEST_F(ExtendedFiles, RefusesWhatTheMachineryCannotDo)
{
    EXPECT_EQ(ExceptionOf(Ask(FileRequest(1, kRead, kPlainFile))), kFileNumber);
    EXPECT_EQ(ExceptionOf(Ask(FileRequest(1, 0xF00F, kPlainFile))), kFileCommand);
    EXPECT_EQ(ExceptionOf(Ask(FileRequest(1, kWrite, kPlainFile, 0xFFFFFFFF))), kFileSize);
    EXPECT_EQ(ExceptionOf(Ask(WriteBlock(1, 0, Text("x")))), kFileSequence);
    probesim::Adu shortRecord = FileRequest(1, kRead, kPlainFile);
    shortRecord.data.pop_back();
    EXPECT_EQ(ExceptionOf(Ask(shortRecord)), kIllegalDataValue);
    probesim::Adu badLength = WriteBlock(1, 0, Text("xy"));
    badLength.data.pop_back();
    EXPECT_EQ(ExceptionOf(Ask(badLength)), kIllegalDataValue);

    // A commit the file's owner refuses keeps the old file.
    probe.Files().Put(kPlainFile, Text("good"));
    probe.SetFileCommitHook(
        [](uint16_t, uint16_t, const std::vector<uint8_t>& data) {
            return data.size() < 4 ? std::optional(probesim::ExceptionCode::InvalidFileBlock) : std::nullopt;
        });
    ASSERT_TRUE(Ask(FileRequest(1, kWrite, kPlainFile, 3)));
    EXPECT_TRUE(Ask(WriteBlock(1, 0, Text("bad"))));
    EXPECT_EQ(ExceptionOf(Ask(FileRequest(1, 0, kPlainFile))), kFileBlock);
    EXPECT_EQ(probe.Files().Get(kPlainFile)->data, Text("good"));
}

TEST(ExtendedFilesInAscii, TheBlockLimitFollowsTheFraming)
{
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    Instrument probe(sim, {.sleeps = false});
    WireClient client(sim.SlavePath(), FramingMode::Ascii);
    probe.Files().Put(kOemFile, Pattern(600));
    ASSERT_TRUE(client.Ask(FileRequest(1, kRead, kOemFile)));
    EXPECT_EQ(ExceptionOf(client.Ask(ReadBlock(1, 0, 501))), kFileBlock);
    const auto block = client.Ask(ReadBlock(1, 0, 500));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->data.size(), 507u);
    // Function 101 allows 501 bytes in a 1024-character ASCII frame.
    ASSERT_TRUE(client.Ask(FileRequest(1, kWrite, kOemFile, 600)));
    EXPECT_EQ(ExceptionOf(client.Ask(WriteBlock(1, 0, Pattern(502)))), kFileBlock);
    EXPECT_EQ(client.Ask(WriteBlock(1, 0, Pattern(501)))->function, 101);
}

class RegisterFiles : public ::testing::Test
{
protected:
    std::optional<uint8_t> Command(uint16_t value)
    {
        return client.Write(1, probesim::kFileCommandRegister, {value});
    }

    ProbeSimulator sim;
    Instrument probe{sim, {.deviceType = 12, .registerMapVersion = 2, .sleeps = false}};
    WireClient client{sim.SlavePath()};
};

TEST_F(RegisterFiles, ReadsThroughTheCommandHandshakeWithShortBlocks)
{
    probe.Files().Put(65003, Pattern(300));
    EXPECT_EQ(Command(0), std::nullopt);
    EXPECT_EQ(Command(1), std::nullopt);
    EXPECT_EQ(client.Write(1, probesim::kFileNumberRegister, {65003}), std::nullopt);
    EXPECT_EQ(Command(kRead), std::nullopt);
    EXPECT_EQ(client.Read(1, probesim::kTransferSizeRegister, 2), (Values{0, 300}));
    const auto block = client.Ask(ReadBlock(1, 298, 5));
    ASSERT_TRUE(block);
    EXPECT_EQ(ToHex(block->data), ToHex(Bytes{0x00, 0x02, Pattern(300)[298], Pattern(300)[299]}));
    // 1018 bytes fill a 1024-byte RTU frame in the short form.
    EXPECT_TRUE(client.Ask(ReadBlock(1, 0, 1018)));
    EXPECT_EQ(ExceptionOf(client.Ask(ReadBlock(1, 0, 1019))), kFileBlock);
    EXPECT_EQ(Command(0), std::nullopt);
    EXPECT_FALSE(probe.OpenFileTransfer());
}

TEST_F(RegisterFiles, WritesThroughTheCommandHandshakeAndStoresAtTheClosingZero)
{
    EXPECT_EQ(Command(0), std::nullopt);
    EXPECT_EQ(Command(1), std::nullopt);
    EXPECT_EQ(client.Write(1, probesim::kFileNumberRegister, {65003}), std::nullopt);
    EXPECT_EQ(client.Write(1, probesim::kTransferSizeRegister, {0, 10}), std::nullopt);
    EXPECT_EQ(Command(kWrite), std::nullopt);
    EXPECT_EQ(probe.FileCommandStep(), probesim::HandshakeStep::Done);
    const Bytes set = Hex("00 01 00 41 00 01 00 01 00 03");
    EXPECT_TRUE(client.Ask(WriteBlock(1, 0, set)));
    EXPECT_FALSE(probe.Files().Has(65003));
    EXPECT_EQ(Command(0), std::nullopt);
    ASSERT_TRUE(probe.Files().Has(65003));
    EXPECT_EQ(probe.Files().Get(65003)->data, set);
}

TEST_F(RegisterFiles, RefusesCommandsOutOfTurn)
{
    EXPECT_EQ(Command(kRead), kFileSequence);
    EXPECT_EQ(Command(1), std::nullopt);
    EXPECT_EQ(Command(0xF00F), kFileCommand);
    EXPECT_EQ(client.Write(1, probesim::kFileNumberRegister, {4}), std::nullopt);
    EXPECT_EQ(Command(kRead), kFileNumber);
    EXPECT_EQ(probe.FileCommandStep(), probesim::HandshakeStep::Armed);
    EXPECT_EQ(ExceptionOf(client.Ask(ReadBlock(1, 0, 1))), kFileSequence);
}

} // namespace
} // namespace probesim_test
