// The boot code's reading of firmware images: records, the header, and the images the tests build.
#include <gtest/gtest.h>

#include <string_view>

#include "tests/probe-sim/PtyClient.h"
#include "tools/probe-sim/FirmwareImage.h"

namespace probesim_test
{
namespace
{

using probesim::ImageHeader;

Bytes Chars(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

TEST(FirmwareImage, ReadsAHeaderWrittenByHand)
{
    // Device type 12, firmware 2.00, hardware 0 to 255, 37 bytes: the header alone.
    const Bytes image = Chars(":0C0000F0000C00C8000000FF000000250C\r\n");
    std::string problem;
    const auto header = probesim::ReadImageHeader(image, problem);
    ASSERT_TRUE(header) << problem;
    EXPECT_EQ(*header, (ImageHeader{12, 200, 0, 255, 37, false, 37}));

    // Lower-case digits read the same; F1 marks the binary form.
    const auto lower = probesim::ReadImageHeader(Chars(":0c0000f0000c00c8000000ff000000250c\r\n"), problem);
    ASSERT_TRUE(lower) << problem;
    EXPECT_EQ(lower->size, 37u);
    const auto binary = probesim::ReadImageHeader(Chars(":0C0000F1000C00C8000000FF000000250B\r\n"), problem);
    ASSERT_TRUE(binary) << problem;
    EXPECT_TRUE(binary->binary);
}

TEST(FirmwareImage, RefusesBrokenRecordsAndHeaders)
{
    std::string problem;
    const struct
    {
        std::string_view text;
        std::string_view why;
    } broken[] = {
        {":0C0000F0000C00C8000000FF000000250D\r\n", "checksum"},
        {":0C0000F0000C00C8000000FF000000250C\n", "CR LF"},
        {":0C0000F0000C00C8000000FF000000250C\r", "line feed"},
        {"0C0000F0000C00C8000000FF000000250C\r\n", "':'"},
        {":0D0000F0000C00C8000000FF000000250B\r\n", "byte count"},
        {":0C0000F0000C00C8000000FF00000025G\r\n", "length"},
        {":0C0000F0000C00C8000000FF0000002G0C\r\n", "hexadecimal"},
    };
    for (const auto& b : broken)
    {
        EXPECT_FALSE(probesim::CheckRecord(Chars(b.text), problem)) << b.text;
        EXPECT_NE(problem.find(b.why), std::string::npos) << problem;
    }
    // Well-formed records that are no header: type F2, address 0001, hardware 255 to 0.
    for (std::string_view text :
         {":0C0000F2000C00C8000000FF000000250A\r\n", ":0C0001F0000C00C8000000FF000000250B\r\n",
          ":0C0000F0000C00C800FF0000000000250C\r\n"})
    {
        ASSERT_TRUE(probesim::CheckRecord(Chars(text), problem)) << text << ": " << problem;
        EXPECT_FALSE(probesim::ReadImageHeader(Chars(text), problem)) << text;
    }
}

TEST(FirmwareImage, BuiltImagesCarryTheirOwnSize)
{
    std::string problem;
    const Bytes text = probesim::BuildFirmwareImage({.deviceType = 39, .firmwareVersion = 321, .records = 5});
    const auto header = probesim::ReadImageHeader(text, problem);
    ASSERT_TRUE(header) << problem;
    EXPECT_EQ(header->size, text.size());
    EXPECT_EQ(header->deviceType, 39);
    EXPECT_EQ(header->firmwareVersion, 321);
    EXPECT_TRUE(probesim::AreWholeRecords(text, problem)) << problem;
    EXPECT_EQ(text.size(), 37u + 5u * (1 + 2 * (5 + 16) + 2));

    const Bytes binary = probesim::BuildFirmwareImage({.binary = true, .blocks = 3});
    const auto binaryHeader = probesim::ReadImageHeader(binary, problem);
    ASSERT_TRUE(binaryHeader) << problem;
    EXPECT_TRUE(binaryHeader->binary);
    EXPECT_EQ(binary.size(), binaryHeader->recordBytes + 3 * probesim::kBinaryImageBlock);
    EXPECT_EQ(binaryHeader->size, binary.size());
}

} // namespace
} // namespace probesim_test
