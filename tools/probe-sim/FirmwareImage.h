// Firmware images as the boot code takes them (the image file, sent byte for byte): hex records
// ":" LL AAAA TT data CC CR LF, where CC is the two's complement of the byte sum of LL, AAAA, TT and
// the data. The first record is the header: address 0000, type F0 (hex records follow) or F1
// (binary blocks of 48 bytes follow), at least 12 data bytes that begin with the device type, the
// firmware version, the lowest and the highest hardware version (u16 each) and the size of the
// whole image (u32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace probesim
{

inline constexpr size_t kBinaryImageBlock = 48;

struct ImageHeader
{
    uint16_t deviceType = 0;
    uint16_t firmwareVersion = 0;
    uint16_t lowestHardware = 0;
    uint16_t highestHardware = 0;
    uint32_t size = 0;
    bool binary = false;    // F1: binary blocks follow the header record
    size_t recordBytes = 0; // of the header record, CR LF included

    friend bool operator==(const ImageHeader&, const ImageHeader&) = default;
};

// The length of the well-formed record at the start of bytes (through its LF); nullopt with the
// reason otherwise. record, when given, receives the record's bytes from LL to the data's end.
std::optional<size_t> CheckRecord(std::span<const uint8_t> bytes, std::string& problem,
                                  std::vector<uint8_t>* record = nullptr);
// The header record at the start of an image.
std::optional<ImageHeader> ReadImageHeader(std::span<const uint8_t> bytes, std::string& problem);
// Whether bytes are nothing but whole, well-formed records.
bool AreWholeRecords(std::span<const uint8_t> bytes, std::string& problem);

// An image for tests: a header and either `records` data records of `recordBytes` bytes each
// (text form) or `blocks` binary blocks of 48 bytes; the header's size is the image's.
struct ImageContent
{
    uint16_t deviceType = 12;
    uint16_t firmwareVersion = 200;
    uint16_t lowestHardware = 0;
    uint16_t highestHardware = 0xFFFF;
    bool binary = false;
    unsigned records = 8;
    uint8_t recordBytes = 16;
    unsigned blocks = 8;
};

std::vector<uint8_t> BuildFirmwareImage(const ImageContent& content);

} // namespace probesim
