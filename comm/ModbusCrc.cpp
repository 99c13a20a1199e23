#include "comm/ModbusCrc.h"

#include <cstdint>

namespace
{

// One table step replaces eight shift-and-xor rounds; built from the polynomial at compile time so
// that no hand-typed constant can be wrong.
constexpr std::array<uint16_t, 256> MakeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (uint32_t index = 0; index < 256; ++index)
    {
        uint32_t crc = index;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[index] = static_cast<uint16_t>(crc);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

} // namespace

std::array<BYTE, 2> ComputeModbusCrc16(const BYTE* data, size_t length)
{
    uint16_t crc = 0xFFFF;
    if (data != nullptr)
    {
        for (size_t i = 0; i < length; ++i)
            crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu]);
    }
    return {static_cast<BYTE>(crc & 0xFFu), static_cast<BYTE>(crc >> 8)};
}

BOOL AppendModbusCrc16(CByteBuffer& buffer)
{
    const std::array<BYTE, 2> crc = ComputeModbusCrc16(buffer.GetData(), buffer.GetLength());
    return buffer.Append(static_cast<uint32_t>(crc.size()), crc.data());
}
