// The simulator's own framing, checked against known answers computed outside this code.
#include <gtest/gtest.h>

#include <string>

#include "tests/probe-sim/PtyClient.h"
#include "tools/probe-sim/AsciiFraming.h"
#include "tools/probe-sim/Checksums.h"
#include "tools/probe-sim/RtuFraming.h"

namespace probesim_test
{
namespace
{

using probesim::Adu;
using probesim::Clock;

TEST(Checksums, KnownAnswers)
{
    const std::string check = "123456789";
    EXPECT_EQ(probesim::Crc16(Bytes(check.begin(), check.end())), 0x4B37);
    EXPECT_EQ(probesim::Crc16(Bytes{}), 0xFFFF);
    EXPECT_EQ(probesim::Crc16(Hex("01 03 00 00 00 01")), 0x0A84);
    EXPECT_EQ(probesim::Lrc(Hex("01 03 00 00 00 01")), 0xFB);
    EXPECT_EQ(probesim::Lrc(Hex("01 03 02 12 34")), 0xB4);
    EXPECT_EQ(probesim::Lrc(Bytes{}), 0x00);
}

TEST(RtuFraming, EncodesAndDecodesKnownFrames)
{
    const Adu request{1, 3, Hex("00 00 00 01")};
    EXPECT_EQ(ToHex(probesim::EncodeRtu(request)), "01 03 00 00 00 01 84 0A");
    std::string problem;
    const auto decoded = probesim::DecodeRtu(Hex("01 10 00 09 00 02 04 00 03 00 04 C2 06"), problem);
    ASSERT_TRUE(decoded) << problem;
    EXPECT_EQ(*decoded, (Adu{1, 16, Hex("00 09 00 02 04 00 03 00 04")}));
}

TEST(RtuFraming, RefusesShortFramesAndBadCrc)
{
    std::string problem;
    EXPECT_FALSE(probesim::DecodeRtu(Hex("01 03 84"), problem));
    EXPECT_FALSE(probesim::DecodeRtu(Hex("01 03 00 00 00 01 0A 84"), problem)); // CRC bytes swapped
    EXPECT_EQ(problem, "bad CRC");
    auto frame = probesim::EncodeRtu({1, 3, Hex("02 12 34")});
    probesim::CorruptRtuChecksum(frame);
    EXPECT_FALSE(probesim::DecodeRtu(frame, problem));
}

TEST(AsciiFraming, EncodesAndDecodesKnownFrames)
{
    EXPECT_EQ(probesim::EncodeAscii({1, 3, Hex("02 12 34")}), Text(":0103021234B4\r\n"));
    std::string problem;
    const auto decoded = probesim::DecodeAscii(Text(":0110000900020400030004D9\r\n"), problem);
    ASSERT_TRUE(decoded) << problem;
    EXPECT_EQ(*decoded, (Adu{1, 16, Hex("00 09 00 02 04 00 03 00 04")}));
}

TEST(AsciiFraming, RefusesWhatIsNotAWellFormedFrame)
{
    std::string problem;
    EXPECT_FALSE(probesim::DecodeAscii(Text(":010300000001FA\r\n"), problem)); // wrong LRC
    EXPECT_EQ(problem, "bad LRC");
    EXPECT_FALSE(probesim::DecodeAscii(Text(":010300000001fb\r\n"), problem)); // lower-case digits
    EXPECT_FALSE(probesim::DecodeAscii(Text(":010300000001FB\n"), problem));   // no CR
    EXPECT_FALSE(probesim::DecodeAscii(Text(":01030000001FB\r\n"), problem));  // odd digit count
    EXPECT_FALSE(probesim::DecodeAscii(Text(":FB\r\n"), problem));
    auto frame = probesim::EncodeAscii({1, 3, Hex("02 12 34")});
    probesim::CorruptAsciiChecksum(frame);
    EXPECT_FALSE(probesim::DecodeAscii(frame, problem));
    EXPECT_EQ(problem, "bad LRC");
}

TEST(RtuReceiver, EndsAFrameAtTheSilenceOnly)
{
    using namespace std::chrono;
    probesim::RtuReceiver receiver(10ms);
    const auto t0 = Clock::now();
    receiver.Feed(Hex("01 03 00"), t0);
    receiver.Feed(Hex("00 00 01"), t0 + 9ms);
    EXPECT_TRUE(receiver.Take(t0 + 18ms).empty());
    EXPECT_EQ(receiver.Deadline(), t0 + 19ms);
    receiver.Feed(Hex("84 0A"), t0 + 18ms);
    // Bytes after a silence start the next frame even when nobody looked at the clock in between.
    receiver.Feed(Hex("02"), t0 + 40ms);
    const auto frames = receiver.Take(t0 + 41ms);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ToHex(frames[0].bytes), "01 03 00 00 00 01 84 0A");
    EXPECT_EQ(frames[0].firstByte, t0);
    EXPECT_EQ(frames[0].lastByte, t0 + 18ms);
    EXPECT_EQ(receiver.Take(t0 + 50ms).at(0).bytes, Hex("02"));
    EXPECT_FALSE(receiver.Deadline());
}

TEST(AsciiReceiver, EndsAtLineFeedAndRestartsAtColon)
{
    using namespace std::chrono;
    probesim::AsciiReceiver receiver(10ms);
    const auto t0 = Clock::now();
    // Line noise, an abandoned frame, then a complete one split over two reads.
    receiver.Feed(Text("xy:0103:0103000"), t0);
    receiver.Feed(Text("00001FB\r\n:01"), t0 + 500ms);
    const auto frames = receiver.Take(t0 + 500ms);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].bytes, Text("xy"));
    EXPECT_EQ(frames[1].bytes, Text(":0103"));
    EXPECT_EQ(frames[2].bytes, Text(":010300000001FB\r\n"));
    // A frame in progress has no silence deadline: only the LF ends it.
    EXPECT_FALSE(receiver.Deadline());
    EXPECT_TRUE(receiver.Take(t0 + 10s).empty());
}

} // namespace
} // namespace probesim_test
