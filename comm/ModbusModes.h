// The three framings of a Modbus line and how long a frame is in each. Requests and decoded replies
// are always held in RTU form (address, PDU, CRC-16); the other framings are views of that form.
#pragma once

#include <cstdint>

inline constexpr uint32_t MODBUS_MODE_RTU = 0;
inline constexpr uint32_t MODBUS_MODE_ASCII = 1;
inline constexpr uint32_t MODBUS_MODE_TCP = 2;

constexpr bool IsValidModbusMode(uint32_t mode)
{
    return mode == MODBUS_MODE_RTU || mode == MODBUS_MODE_ASCII || mode == MODBUS_MODE_TCP;
}

// Line bytes of a frame whose RTU form is rtuLength bytes: ASCII is ':', two characters per byte
// without the CRC, two LRC characters and CR LF; TCP trades the CRC for the six-byte header in
// front of the unit identifier. 0 for an unknown mode.
constexpr uint32_t FrameLengthForMode(uint32_t rtuLength, uint32_t mode)
{
    switch (mode)
    {
    case MODBUS_MODE_RTU:
        return rtuLength;
    case MODBUS_MODE_ASCII:
        return 2 * rtuLength + 1;
    case MODBUS_MODE_TCP:
        return rtuLength + 4;
    default:
        return 0;
    }
}
