// The simulator's own framing, checked against known answers computed outside this code.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/AsciiFraming.h"
#include "tools/probe-sim/Checksums.h"
#include "tools/probe-sim/Framing.h"
#include "tools/probe-sim/RtuFraming.h"

namespace probesim_test
{
namespace
{

using probesim::Adu;
using probesim::Clock;
using probesim::FramingMode;

TEST(Framing, ChecksumsAndKnownFramesBothWays)
{
    const std::string check = "123456789";
    EXPECT_EQ(probesim::Crc16(Bytes(check.begin(), check.end())), 0x4B37);
    EXPECT_EQ(probesim::Lrc(Hex("01 03 02 12 34")), 0xB4);

    const Adu request{1, 16, Hex("00 09 00 02 04 00 03 00 04")};
    EXPECT_EQ(ToHex(probesim::EncodeRtu(request)), "01 10 00 09 00 02 04 00 03 00 04 C2 06");
    EXPECT_EQ(probesim::EncodeAscii(request), Text(":0110000900020400030004D9\r\n"));
    for (FramingMode mode : {FramingMode::Rtu, FramingMode::Ascii})
    {
        std::string problem;
        const auto decoded = probesim::DecodeFrame(mode, probesim::EncodeFrame(mode, request), problem);
        ASSERT_TRUE(decoded) << problem;
        EXPECT_EQ(*decoded, request);
    }
}

TEST(Framing, RefusesDamagedFrames)
{
    std::string problem;
    EXPECT_FALSE(probesim::DecodeRtu(Hex("01 03 84"), problem));
    EXPECT_FALSE(probesim::DecodeRtu(Hex("01 03 00 00 00 01 0A 84"), problem)); // CRC bytes swapped
    EXPECT_EQ(problem, "bad CRC");
    EXPECT_FALSE(probesim::DecodeAscii(Text(":010300000001FA\r\n"), problem));
    EXPECT_EQ(problem, "bad LRC");
    EXPECT_FALSE(probesim::DecodeAscii(Text(":010300000001fb\r\n"), problem)); // lower-case digits
    EXPECT_FALSE(probesim::DecodeAscii(Text(":010300000001FB\n"), problem));   // no CR
    EXPECT_FALSE(probesim::DecodeAscii(Text(":01030000001FB\r\n"), problem));  // odd digit count
}

TEST(Framing, RtuFramesEndAtTheSilenceAsciiFramesAtTheLineFeed)
{
    const auto t0 = Clock::now();
    probesim::RtuReceiver rtu(10ms);
    rtu.Feed(Hex("01 03 00"), t0);
    rtu.Feed(Hex("00 00 01 84 0A"), t0 + 9ms);
    EXPECT_TRUE(rtu.Take(t0 + 18ms).empty());
    // Bytes after a silence start the next frame even when nobody looked at the clock in between.
    rtu.Feed(Hex("02"), t0 + 40ms);
    const auto frames = rtu.Take(t0 + 41ms);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ToHex(frames[0].bytes), "01 03 00 00 00 01 84 0A");
    EXPECT_EQ(rtu.Take(t0 + 50ms).at(0).bytes, Hex("02"));

    // Line noise, an abandoned frame, then a complete one split over two reads.
    probesim::AsciiReceiver ascii(10ms);
    ascii.Feed(Text("xy:0103:0103000"), t0);
    ascii.Feed(Text("00001FB\r\n:01"), t0 + 500ms);
    const auto lines = ascii.Take(t0 + 500ms);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].bytes, Text("xy"));
    EXPECT_EQ(lines[1].bytes, Text(":0103"));
    EXPECT_EQ(lines[2].bytes, Text(":010300000001FB\r\n"));
    EXPECT_FALSE(ascii.Deadline()) << "only the line feed ends a frame in progress";
}

// A worker held off while the master wrote reads several frames in one go, with no silence between
// them: they are still heard one by one, as a device on the wire hears them.
TEST(Framing, RtuFramesReadInOneGoAreHeardOneByOne)
{
    const Bytes read = Hex("01 03 00 00 00 01 84 0A");
    const Bytes write = probesim::EncodeRtu(Adu{1, 16, Hex("00 09 00 02 04 00 03 00 04")});
    const Bytes wakeUp = probesim::EncodeAscii(Adu{200, 17, {}});
    const auto join = [](std::initializer_list<Bytes> parts)
    {
        Bytes all;
        for (const Bytes& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const auto cut = [](const Bytes& run) { return probesim::SplitRtuRun(run); };

    EXPECT_EQ(cut(join({read, write, read})), (std::vector<size_t>{8, 13, 8}));
    // A frame of another framing (the ASCII wake-up) stays one damaged frame before the request.
    EXPECT_EQ(cut(join({wakeUp, read})), (std::vector<size_t>{wakeUp.size(), 8}));
    EXPECT_EQ(cut(join({read, Hex("55 AA"), read})), (std::vector<size_t>{8, 2, 8}));
    // Damaged alone, or good whole: one frame.
    Bytes damaged = write;
    probesim::CorruptRtuChecksum(damaged);
    EXPECT_EQ(cut(damaged), std::vector<size_t>{13});
    EXPECT_EQ(cut(write), std::vector<size_t>{13});

    // The receiver gives each frame the time its bytes were read.
    const auto t0 = Clock::now();
    probesim::RtuReceiver rtu(10ms);
    rtu.Feed(join({read, write}), t0);
    rtu.Feed(read, t0 + 2ms);
    const auto frames = rtu.Take(t0 + 20ms);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].bytes, read);
    EXPECT_EQ(frames[1].bytes, write);
    EXPECT_EQ(frames[1].lastByte, t0);
    EXPECT_EQ(frames[2].bytes, read);
    EXPECT_EQ(frames[2].firstByte, t0 + 2ms);
}

} // namespace
} // namespace probesim_test
