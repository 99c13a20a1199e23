#include "tools/probe-sim/FirmwareImage.h"

#include <algorithm>

#include "platform/HexDigits.h"

namespace probesim
{

namespace
{

constexpr uint8_t kHeaderData = 12;
constexpr uint8_t kTextHeader = 0xF0;
constexpr uint8_t kBinaryHeader = 0xF1;
constexpr size_t kRecordFrame = 5; // LL, AAAA, TT and CC as bytes
constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHex(std::vector<uint8_t>& out, uint8_t byte)
{
    out.push_back(static_cast<uint8_t>(kDigits[byte >> 4]));
    out.push_back(static_cast<uint8_t>(kDigits[byte & 0x0F]));
}

std::vector<uint8_t> Record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> fields = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                   static_cast<uint8_t>(address & 0xFF), type};
    fields.insert(fields.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t byte : fields)
        sum = static_cast<uint8_t>(sum + byte);
    fields.push_back(static_cast<uint8_t>(-sum));
    std::vector<uint8_t> text = {':'};
    for (uint8_t byte : fields)
        AppendHex(text, byte);
    text.push_back('\r');
    text.push_back('\n');
    return text;
}

uint16_t U16(const std::vector<uint8_t>& bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

} // namespace

std::optional<size_t> CheckRecord(std::span<const uint8_t> bytes, std::string& problem,
                                  std::vector<uint8_t>* record)
{
    if (bytes.empty() || bytes[0] != ':')
    {
        problem = "a record does not start with ':'";
        return std::nullopt;
    }
    const auto lf = std::find(bytes.begin(), bytes.end(), '\n');
    if (lf == bytes.end())
    {
        problem = "a record does not end with a line feed";
        return std::nullopt;
    }
    const auto length = static_cast<size_t>(lf - bytes.begin()) + 1;
    if (length < 4 || bytes[length - 2] != '\r')
    {
        problem = "a record does not end with CR LF";
        return std::nullopt;
    }
    const std::span<const uint8_t> hex = bytes.subspan(1, length - 3);
    if (hex.size() % 2 != 0 || hex.size() / 2 < kRecordFrame)
    {
        problem = "a record has a broken length";
        return std::nullopt;
    }
    std::vector<uint8_t> fields;
    for (size_t i = 0; i < hex.size(); i += 2)
    {
        const int high = platform::HexDigitValue(hex[i]);
        const int low = platform::HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
        {
            problem = "a record holds a character that is no hexadecimal digit";
            return std::nullopt;
        }
        fields.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    if (fields[0] != fields.size() - kRecordFrame)
    {
        problem = "a record's byte count does not match its data";
        return std::nullopt;
    }
    uint8_t sum = 0;
    for (uint8_t byte : fields)
        sum = static_cast<uint8_t>(sum + byte);
    if (sum != 0)
    {
        problem = "a record's checksum does not match";
        return std::nullopt;
    }
    if (record)
    {
        fields.pop_back();
        *record = std::move(fields);
    }
    return length;
}

std::optional<ImageHeader> ReadImageHeader(std::span<const uint8_t> bytes, std::string& problem)
{
    std::vector<uint8_t> record;
    const std::optional<size_t> length = CheckRecord(bytes, problem, &record);
    if (!length)
        return std::nullopt;
    const uint8_t type = record[3];
    if (record[1] != 0 || record[2] != 0 || (type != kTextHeader && type != kBinaryHeader) ||
        record[0] < kHeaderData)
    {
        problem = "the first record is no image header";
        return std::nullopt;
    }
    ImageHeader header;
    header.deviceType = U16(record, 4);
    header.firmwareVersion = U16(record, 6);
    header.lowestHardware = U16(record, 8);
    header.highestHardware = U16(record, 10);
    header.size = uint32_t{U16(record, 12)} << 16 | U16(record, 14);
    header.binary = type == kBinaryHeader;
    header.recordBytes = *length;
    if (header.deviceType == 0 || header.firmwareVersion == 0 ||
        header.highestHardware < header.lowestHardware)
    {
        problem = "the image header holds impossible versions";
        return std::nullopt;
    }
    return header;
}

bool AreWholeRecords(std::span<const uint8_t> bytes, std::string& problem)
{
    while (!bytes.empty())
    {
        const std::optional<size_t> length = CheckRecord(bytes, problem);
        if (!length)
            return false;
        bytes = bytes.subspan(*length);
    }
    return true;
}

std::vector<uint8_t> BuildFirmwareImage(const ImageContent& content)
{
    std::vector<uint8_t> body;
    if (content.binary)
    {
        for (size_t i = 0; i < size_t{content.blocks} * kBinaryImageBlock; ++i)
            body.push_back(static_cast<uint8_t>(i * 7 + 3));
    }
    else
    {
        for (unsigned r = 0; r < content.records; ++r)
        {
            std::vector<uint8_t> data;
            for (unsigned i = 0; i < content.recordBytes; ++i)
                data.push_back(static_cast<uint8_t>(r * 31 + i));
            const std::vector<uint8_t> line =
                Record(static_cast<uint16_t>(r * content.recordBytes), 0x00, data);
            body.insert(body.end(), line.begin(), line.end());
        }
    }
    // The header's own length does not depend on the size it carries.
    const size_t headerBytes = 1 + 2 * (kRecordFrame + kHeaderData) + 2;
    const auto size = static_cast<uint32_t>(headerBytes + body.size());
    const std::vector<uint8_t> fields = {static_cast<uint8_t>(content.deviceType >> 8),
                                         static_cast<uint8_t>(content.deviceType),
                                         static_cast<uint8_t>(content.firmwareVersion >> 8),
                                         static_cast<uint8_t>(content.firmwareVersion),
                                         static_cast<uint8_t>(content.lowestHardware >> 8),
                                         static_cast<uint8_t>(content.lowestHardware),
                                         static_cast<uint8_t>(content.highestHardware >> 8),
                                         static_cast<uint8_t>(content.highestHardware),
                                         static_cast<uint8_t>(size >> 24),
                                         static_cast<uint8_t>(size >> 16),
                                         static_cast<uint8_t>(size >> 8),
                                         static_cast<uint8_t>(size)};
    std::vector<uint8_t> image = Record(0, content.binary ? kBinaryHeader : kTextHeader, fields);
    image.insert(image.end(), body.begin(), body.end());
    return image;
}

} // namespace probesim
