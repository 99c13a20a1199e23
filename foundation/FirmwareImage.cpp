#include "foundation/FirmwareImage.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "foundation/ByteBuffer.h"
#include "platform/HexDigits.h"
#include "platform/Utf.h"

namespace
{

// The header record ":" LL "0000" "F0|F1" and its five fields need at least this much.
constexpr uint32_t kMinimumImageSize = 36;
// The header fields take 24 digits, i.e. 12 data bytes.
constexpr uint32_t kMinimumHeaderDataBytes = 12;
constexpr uint32_t kBinaryBlockSize = 48;

// Every position and count comes from the file, so every read is checked against its size here.
class ImageText
{
public:
    ImageText(const uint8_t* data, uint32_t size) : m_data(data), m_size(size) {}

    bool Has(uint32_t at, uint32_t count) const { return at <= m_size && count <= m_size - at; }
    bool CharIs(uint32_t at, char c) const { return Has(at, 1) && m_data[at] == static_cast<uint8_t>(c); }

    // digits hexadecimal digits of either case from at; false for a short file or a non-digit.
    bool Hex(uint32_t at, uint32_t digits, uint32_t& value) const
    {
        if (!Has(at, digits))
            return false;
        value = 0;
        for (uint32_t i = 0; i < digits; ++i)
        {
            const int digit = platform::HexDigitValue(m_data[at + i]);
            if (digit < 0)
                return false;
            value = value << 4 | static_cast<uint32_t>(digit);
        }
        return true;
    }

    // Position of the first line feed at or after from; false when there is none.
    bool FindLineFeed(uint32_t from, uint32_t& at) const
    {
        if (from >= m_size)
            return false;
        const void* found = std::memchr(m_data + from, '\n', m_size - from);
        if (found == nullptr)
            return false;
        at = static_cast<uint32_t>(static_cast<const uint8_t*>(found) - m_data);
        return true;
    }

private:
    const uint8_t* m_data;
    uint32_t m_size;
};

// The record from ':' at start to the line feed at lineFeed: an even number of hex digits whose
// byte sum, negated, is the upper-case checksum in front of the CR.
bool IsRecordValid(const ImageText& text, uint32_t start, uint32_t lineFeed)
{
    // ':' + checksum + CR in front of the line feed at the least.
    if (lineFeed < start + 4 || !text.CharIs(lineFeed - 1, '\r'))
        return false;
    const uint32_t checksumAt = lineFeed - 3;
    const uint32_t digits = checksumAt - (start + 1);
    if (digits % 2 != 0)
        return false;
    uint8_t sum = 0;
    for (uint32_t at = start + 1; at < checksumAt; at += 2)
    {
        uint32_t byte = 0;
        if (!text.Hex(at, 2, byte))
            return false;
        sum = static_cast<uint8_t>(sum + byte);
    }
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", static_cast<uint8_t>(-sum));
    return text.CharIs(checksumAt, expected[0]) && text.CharIs(checksumAt + 1, expected[1]);
}

} // namespace

void CFirmwareImage::ResetHeader()
{
    m_nDeviceTypeId = -1;
    m_nFirmwareVersion = -1;
    m_nLowestHardwareVersion = -1;
    m_nHighestHardwareVersion = -1;
    m_nRecordCount = -1;
}

void CFirmwareImage::Free()
{
    m_Image.Allocate(0);
    ResetHeader();
}

HRESULT CFirmwareImage::LoadFile(const char16_t* path)
{
    if (path == nullptr || path[0] == 0)
        return E_FAIL;
    const std::filesystem::path file(platform::Utf16ToUtf8(path));
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return E_FAIL;
    ResetHeader();
    const HRESULT hr = m_Image.LoadFromFile(file);
    if (Failed(hr))
        return hr == E_OUTOFMEMORY ? E_OUTOFMEMORY : E_FAIL;
    return Validate();
}

HRESULT CFirmwareImage::LoadBytes(const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr && size != 0)
        return E_FAIL;
    if (size > FIRMWARE_FILE_SIZE_LIMIT)
        return E_OUTOFMEMORY;
    Free();
    if (size != 0 && !m_Image.Append(static_cast<uint32_t>(size), bytes))
        return E_OUTOFMEMORY;
    return Validate();
}

HRESULT CFirmwareImage::Validate()
{
    const uint8_t* data = m_Image.GetData();
    const uint32_t size = m_Image.GetLength();
    if (data == nullptr || size < kMinimumImageSize)
        return E_FAIL;
    m_nRecordCount = 0;
    const ImageText text(data, size);

    // The header record: ":" LL "0000" "F0" or "F1", five fields, checksum, CR LF.
    uint32_t dataBytes = 0;
    if (!text.CharIs(0, ':') || !text.Hex(1, 2, dataBytes) || dataBytes < kMinimumHeaderDataBytes)
        return E_FAIL;
    const uint32_t headerEnd = 11 + 2 * dataBytes;
    if (!text.CharIs(headerEnd, '\r') || !text.CharIs(headerEnd + 1, '\n'))
        return E_FAIL;
    if (std::memcmp(data + 3, "0000", 4) != 0 || !text.CharIs(7, 'F'))
        return E_FAIL;
    const bool binaryForm = text.CharIs(8, '1');
    if (!binaryForm && !text.CharIs(8, '0'))
        return E_FAIL;

    uint32_t field = 0;
    if (!text.Hex(9, 4, field))
        return E_FAIL;
    m_nDeviceTypeId = static_cast<int32_t>(field);
    if (m_nDeviceTypeId < 1 || !text.Hex(13, 4, field))
        return E_FAIL;
    m_nFirmwareVersion = static_cast<int32_t>(field);
    if (m_nFirmwareVersion < 1 || !text.Hex(17, 4, field))
        return E_FAIL;
    m_nLowestHardwareVersion = static_cast<int32_t>(field);
    if (!text.Hex(21, 4, field))
        return E_FAIL;
    m_nHighestHardwareVersion = static_cast<int32_t>(field);
    if (m_nHighestHardwareVersion < m_nLowestHardwareVersion || !text.Hex(25, 8, field) || field != size)
        return E_FAIL;

    // Every record, the header included; in the binary form only the header is a record.
    uint32_t start = 0;
    while (start < size)
    {
        ++m_nRecordCount;
        if (binaryForm && m_nRecordCount == 2)
            break;
        uint32_t lineFeed = 0;
        if (!text.CharIs(start, ':') || !text.FindLineFeed(start + 1, lineFeed) ||
            !IsRecordValid(text, start, lineFeed))
            return E_FAIL;
        start = lineFeed + 1;
    }
    if (binaryForm && (size - start) % kBinaryBlockSize != 0)
        return E_FAIL;
    return S_OK;
}

void sFirmwareFileInfo::Clear()
{
    path.SetEmpty();
    deviceTypeId = 0;
    firmwareVersion = 0;
    lowestHardwareVersion = 0;
    highestHardwareVersion = 0;
}
