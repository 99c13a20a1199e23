#include "tools/probe-sim/Checksums.h"

namespace probesim
{

uint16_t Crc16Step(uint16_t crc, uint8_t byte)
{
    // Bitwise on purpose: the production side uses the two lookup tables, so the two cannot share
    // a wrong table entry.
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    return crc;
}

uint16_t Crc16(std::span<const uint8_t> bytes)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes)
        crc = Crc16Step(crc, byte);
    return crc;
}

uint8_t Lrc(std::span<const uint8_t> bytes)
{
    uint8_t sum = 0;
    for (uint8_t byte : bytes)
        sum = static_cast<uint8_t>(sum + byte);
    return static_cast<uint8_t>(-sum);
}

} // namespace probesim
