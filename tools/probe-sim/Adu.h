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

// Exception codes of the standard (busy is the one the device uses while it cannot take a request),
// then the maker's own codes.
enum class ExceptionCode : uint8_t
{
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    SlaveDeviceFailure = 4,
    SlaveDeviceBusy = 6,
    WriteReadOnly = 0x82,         // a write to a read-only register
    IllegalFieldValue = 0x84,     // a value the register does not take
    DeviceCommandSequence = 0x85, // device command register written out of its handshake
    FileCommandSequence = 0x86,   // file command register or file block out of sequence
    InvalidFileCommand = 0x87,
    InvalidFileNumber = 0x88,
    InvalidFileSize = 0x89,
    InvalidFileBlock = 0x8A,
    NoSensor = 0x94,              // a sensor operation on a connection without a sensor
    IncompatibleSensor = 0x95,    // a sensor other than the one the connection was set up for
    SensorWithoutFirmware = 0x96, // a sensor that has no firmware
    InvalidCalibrationResult = 0x97,
    ReadOnlyWhileLogging = 0xA0, // a register that cannot be written while a log runs
    LogMemoryFull = 0xA1,
    LogDirectoryFull = 0xA2,
    LogConfigurationLocked = 0xA3, // a log setup that cannot be edited
    LogCommandSequence = 0xA4,     // the data-log command register out of its handshake
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
