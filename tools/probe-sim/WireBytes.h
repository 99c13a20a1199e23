// Big-endian fields of request and reply data; 32-bit values high word first, as the instrument
// sends them. The readers check the length themselves: callers test it first, and a slip throws
// std::out_of_range rather than reading past the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace probesim
{

inline uint16_t ReadU16(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint16_t>(data.at(at) << 8 | data.at(at + 1));
}

inline uint32_t ReadU32(const std::vector<uint8_t>& data, size_t at)
{
    return uint32_t{ReadU16(data, at)} << 16 | ReadU16(data, at + 2);
}

inline void AppendU16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

inline void AppendU32(std::vector<uint8_t>& out, uint32_t value)
{
    AppendU16(out, static_cast<uint16_t>(value >> 16));
    AppendU16(out, static_cast<uint16_t>(value & 0xFFFF));
}

} // namespace probesim
