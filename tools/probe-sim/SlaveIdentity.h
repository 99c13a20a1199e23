// The identity the instrument reports with Report Slave ID (function 17), and its 23-byte record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace probesim
{

inline constexpr uint8_t kRunIndicatorApplication = 255; // any other value: boot code running

struct SlaveIdentity
{
    uint8_t runIndicator = kRunIndicatorApplication;
    uint16_t firmwareVersion = 100; // hundredths
    uint16_t reserved = 0;
    uint16_t hardwareVersion = 1;
    uint16_t registerMapVersion = 3;
    uint16_t maxPacketSize = 1024;
    uint16_t deviceType = 0;
    uint32_t maxBaudId = 6; // baud capability code + 5; 6 = 19200 baud
    uint32_t serialNumber = 0;

    friend bool operator==(const SlaveIdentity&, const SlaveIdentity&) = default;
};

inline constexpr size_t kSlaveIdRecordSize = 23;

// The reply data after the byte count, all fields big-endian. A maximum baud id outside
// 5..65540 has no capability code and throws std::out_of_range.
std::array<uint8_t, kSlaveIdRecordSize> EncodeSlaveIdRecord(const SlaveIdentity& identity);

} // namespace probesim
