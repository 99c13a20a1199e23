#include "comm/ModbusCrc.h"

#include <cstdint>

namespace
{

constexpr size_t kSlices = 8;
using CrcTables = std::array<std::array<uint16_t, 256>, kSlices>;

// Slice-by-8: tables[k][b] is the CRC change that byte b causes when k more bytes follow it, so
// eight bytes cost eight independent look-ups instead of a chain of eight. tables[0] is the usual
// one-step table, built from the polynomial; every table is made at compile time so that no
// hand-typed constant can be wrong.
constexpr CrcTables MakeCrcTables()
{
    CrcTables tables{};
    for (uint32_t index = 0; index < 256; ++index)
    {
        uint32_t crc = index;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        tables[0][index] = static_cast<uint16_t>(crc);
    }
    for (size_t k = 1; k < kSlices; ++k)
        for (uint32_t index = 0; index < 256; ++index)
        {
            const uint16_t previous = tables[k - 1][index];
            tables[k][index] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFFu]);
        }
    return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

} // namespace

std::array<BYTE, 2> ComputeModbusCrc16(const BYTE* data, size_t length)
{
    uint16_t crc = 0xFFFF;
    if (data != nullptr)
    {
        const auto& t = kCrcTables;
        for (; length >= kSlices; length -= kSlices, data += kSlices)
        {
            // The register is only 16 bits wide: it meets the first two bytes, the other six enter
            // as they are.
            const uint32_t first = crc ^ (data[0] | static_cast<uint32_t>(data[1]) << 8);
            crc =
                static_cast<uint16_t>(t[7][first & 0xFFu] ^ t[6][first >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^
                                      t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]]);
        }
        for (size_t i = 0; i < length; ++i)
            crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFFu]);
    }
    return {static_cast<BYTE>(crc & 0xFFu), static_cast<BYTE>(crc >> 8)};
}

BOOL AppendModbusCrc16(CByteBuffer& buffer)
{
    const std::array<BYTE, 2> crc = ComputeModbusCrc16(buffer.GetData(), buffer.GetLength());
    return buffer.Append(static_cast<uint32_t>(crc.size()), crc.data());
}
