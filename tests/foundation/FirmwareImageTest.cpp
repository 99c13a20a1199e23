#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "foundation/ByteBuffer.h"
#include "foundation/FirmwareImage.h"
#include "platform/Utf.h"
#include "tests/support/TestEnvironment.h"

namespace
{

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// ":" + the hex digits + the checksum as the maker's tools write it + CR LF.
std::string Record(const std::string& digits)
{
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        sum = static_cast<uint8_t>(sum + std::stoul(digits.substr(i, 2), nullptr, 16));
    return ":" + digits + Hex(static_cast<uint8_t>(-sum), 2) + "\r\n";
}

struct Header
{
    char type = '0';
    uint32_t deviceType = 0x27;
    uint32_t firmware = 0x0136;
    uint32_t lowHardware = 0x0064;
    uint32_t highHardware = 0x00C8;
    int sizeError = 0;
};

// A header record whose size field names the whole file: header + rest.
std::string Image(const Header& header, const std::string& rest)
{
    auto build = [&](uint32_t total)
    {
        return Record("0C0000F" + std::string(1, header.type) + Hex(header.deviceType, 4) +
                      Hex(header.firmware, 4) + Hex(header.lowHardware, 4) + Hex(header.highHardware, 4) +
                      Hex(total, 8)) +
               rest;
    };
    const uint32_t size = static_cast<uint32_t>(build(0).size());
    return build(static_cast<uint32_t>(static_cast<int>(size) + header.sizeError));
}

const std::string kDataRecords = Record("10000000214601360121470136007EFE09D21901") + Record("00000001");

HRESULT Validate(const std::string& bytes)
{
    CFirmwareImage image;
    return image.LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

TEST(FirmwareImage, AcceptsWellFormedImagesAndRefusesBadHeadersOrRecords)
{
    CFirmwareImage image;
    const std::string bytes = Image({}, kDataRecords);
    ASSERT_EQ(image.LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), S_OK);
    EXPECT_EQ(image.GetDeviceTypeId(), 39);
    EXPECT_EQ(image.GetFirmwareVersion(), 310);
    EXPECT_EQ(image.GetLowestHardwareVersion(), 100);
    EXPECT_EQ(image.GetHighestHardwareVersion(), 200);
    EXPECT_EQ(image.GetRecordCount(), 3);
    EXPECT_EQ(Validate(Image({}, Record("0400100012abcdef"))), S_OK) << "hex digits of either case";
    EXPECT_EQ(Validate(Image({.highHardware = 0x0064}, kDataRecords)), S_OK) << "one hardware version";

    // The binary part may hold anything, line feeds and colons included, in whole blocks of 48.
    std::string blocks(96, '\n');
    blocks[5] = ':';
    EXPECT_EQ(Validate(Image({.type = '1'}, blocks)), S_OK);
    EXPECT_EQ(Validate(Image({.type = '1'}, "")), S_OK);
    EXPECT_EQ(Validate(Image({.type = '1'}, std::string(95, 'x'))), E_FAIL);
    EXPECT_EQ(Validate(Image({.type = '1'}, std::string(49, 'x'))), E_FAIL);
    // A header that lies about the size, type, device or hardware range; records that do not add up.
    EXPECT_EQ(Validate(Image({.sizeError = -1}, kDataRecords)), E_FAIL);
    EXPECT_EQ(Validate(Image({.sizeError = 1}, kDataRecords)), E_FAIL);
    EXPECT_EQ(Validate(Image({.type = '2'}, kDataRecords)), E_FAIL);
    EXPECT_EQ(Validate(Image({.deviceType = 0}, kDataRecords)), E_FAIL);
    EXPECT_EQ(Validate(Image({.lowHardware = 0x00C9}, kDataRecords)), E_FAIL);
    std::string address = Image({}, kDataRecords);
    address.replace(3, 4, "0001");
    EXPECT_EQ(Validate(address), E_FAIL);
    std::string wrongSum = Record("0400100012ABCDEF");
    wrongSum[9] = '3';
    EXPECT_EQ(Validate(Image({}, wrongSum)), E_FAIL);
    EXPECT_EQ(Validate(Image({}, Record("0400100012ABCDE"))), E_FAIL); // odd number of digits
    EXPECT_EQ(Validate(Image({}, "x" + Record("00000001").substr(1))), E_FAIL);
}

// Positions and lengths taken from the file must never lead a read past its end.
TEST(FirmwareImage, RefusesMalformedFilesWithoutReadingOutsideThem)
{
    EXPECT_EQ(Validate(Image({}, kDataRecords).substr(0, 35)), E_FAIL);
    const std::string longHeader = ":FF0000F0" + std::string(31, '0');
    ASSERT_EQ(longHeader.size(), 40u);
    EXPECT_EQ(Validate(longHeader), E_FAIL);
    for (const char* shortRecord : {":\r\n", ":\n", ":A\r\n", ":\r\r\n"})
        EXPECT_EQ(Validate(Image({}, shortRecord)), E_FAIL) << shortRecord;
    EXPECT_EQ(Validate(Image({}, Record("00000001") + ":00000001FF")), E_FAIL); // no line end
    std::string notHex = Record("0400100012ABCDEF");
    notHex[10] = 'G';
    EXPECT_EQ(Validate(Image({}, notHex)), E_FAIL);
    std::string headerNotHex = Image({}, kDataRecords);
    headerNotHex[12] = '-';
    EXPECT_EQ(Validate(headerNotHex), E_FAIL);
    std::string noCarriageReturn = Record("00000001");
    noCarriageReturn.erase(noCarriageReturn.size() - 2, 1);
    EXPECT_EQ(Validate(Image({}, noCarriageReturn)), E_FAIL);
    std::string headerWithoutCr = Image({}, kDataRecords);
    headerWithoutCr[35] = '\n';
    EXPECT_EQ(Validate(headerWithoutCr), E_FAIL);
}

TEST(FirmwareImage, LoadsFilesWhole)
{
    testsupport::ScopedConfigDir dir;
    const std::filesystem::path file = dir.Path() / "probe.bin";
    const std::string bytes = Image({}, kDataRecords);
    std::ofstream(file, std::ios::binary) << bytes;
    const std::u16string path = platform::Utf8ToUtf16(file.string());
    CFirmwareImage image;
    ASSERT_EQ(image.LoadFile(path.c_str()), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.GetData()), image.GetSize()), bytes);

    // A file that fails validation stays loaded for the caller to look at.
    std::ofstream(file, std::ios::binary) << bytes.substr(0, 40);
    EXPECT_EQ(image.LoadFile(path.c_str()), E_FAIL);
    EXPECT_EQ(image.GetSize(), 40u);
    EXPECT_EQ(image.LoadFile(nullptr), E_FAIL);
    EXPECT_EQ(image.LoadFile(platform::Utf8ToUtf16((dir.Path() / "absent.bin").string()).c_str()), E_FAIL);
    std::filesystem::resize_file(file, FIRMWARE_FILE_SIZE_LIMIT + 1ull); // sparse: costs no disk
    EXPECT_EQ(image.LoadFile(path.c_str()), E_OUTOFMEMORY);
}
