// The two checksums of the serial framings, written here independently of the production code so
// that a shared mistake cannot pass both sides.
#pragma once

#include <cstdint>
#include <span>

namespace probesim
{

// CRC-16 as the RTU framing uses it (reflected polynomial 0xA001, start 0xFFFF, no final XOR); on
// the wire the low byte goes first.
uint16_t Crc16(std::span<const uint8_t> bytes);
// One byte more into a running CRC-16 (start with 0xFFFF).
uint16_t Crc16Step(uint16_t crc, uint8_t byte);

// Two's complement of the byte sum modulo 256, as the ASCII framing uses it.
uint8_t Lrc(std::span<const uint8_t> bytes);

} // namespace probesim
