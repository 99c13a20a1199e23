// The one request/reply form every framing decodes to and encodes from: slave address, function
// code and the data that follows it, without the checksum.
#pragma once

#include <cstdint>
#include <vector>

namespace probesim
{

enum class FramingMode
{
    Rtu,
    Ascii
};

// Exception codes of the standard, and the one the device uses while it cannot take a request.
enum class ExceptionCode : uint8_t
{
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    SlaveDeviceFailure = 4,
    SlaveDeviceBusy = 6,
};

inline constexpr uint8_t kBroadcastAddress = 0;
inline constexpr uint8_t kExceptionFlag = 0x80;

struct Adu
{
    uint8_t address = 0;
    uint8_t function = 0;
    std::vector<uint8_t> data;

    friend bool operator==(const Adu&, const Adu&) = default;
};

} // namespace probesim
