#include "foundation/Codec.h"

#include <bit>

#include "foundation/BufferWriter.h"

namespace
{

uint32_t BigEndian32(const BYTE* b)
{
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

uint16_t BigEndian16(const BYTE* b)
{
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

} // namespace

uint32_t DecodeULong(const BYTE* bytes, BOOL highWordFirst)
{
    if (bytes == nullptr)
        return 0;
    if (highWordFirst)
        return BigEndian32(bytes);
    return uint32_t(BigEndian16(bytes + 2)) << 16 | BigEndian16(bytes);
}

float DecodeFloat(const BYTE* bytes, BOOL highWordFirst)
{
    return std::bit_cast<float>(DecodeULong(bytes, highWordFirst));
}

double DecodeDouble(const BYTE* bytes, BOOL highWordFirst)
{
    if (bytes == nullptr)
        return 0.0;
    uint64_t bits = 0;
    if (highWordFirst)
    {
        bits = uint64_t(BigEndian32(bytes)) << 32 | BigEndian32(bytes + 4);
    }
    else
    {
        for (int word = 3; word >= 0; --word)
            bits = bits << 16 | BigEndian16(bytes + 2 * word);
    }
    return std::bit_cast<double>(bits);
}

GUID DecodeGuid(const BYTE* bytes, BOOL highWordFirst)
{
    GUID guid;
    if (bytes == nullptr)
        return guid;
    guid.Data1 = DecodeULong(bytes, highWordFirst);
    guid.Data2 = BigEndian16(bytes + 4);
    guid.Data3 = BigEndian16(bytes + 6);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return guid;
}

void EncodeULong(uint32_t value, BOOL highWordFirst, BYTE bytes[4])
{
    const uint16_t high = static_cast<uint16_t>(value >> 16);
    const uint16_t low = static_cast<uint16_t>(value);
    const uint16_t first = highWordFirst ? high : low;
    const uint16_t second = highWordFirst ? low : high;
    bytes[0] = static_cast<BYTE>(first >> 8);
    bytes[1] = static_cast<BYTE>(first);
    bytes[2] = static_cast<BYTE>(second >> 8);
    bytes[3] = static_cast<BYTE>(second);
}

CByteBuffer GuidToBytes(const GUID& guid)
{
    CByteBuffer bytes(16);
    CBufferWriter writer(&bytes);
    writer.m_bHighWordFirst = 1;
    writer.WriteULong(guid.Data1);
    const BYTE tail[12] = {static_cast<BYTE>(guid.Data2 >> 8),
                           static_cast<BYTE>(guid.Data2),
                           static_cast<BYTE>(guid.Data3 >> 8),
                           static_cast<BYTE>(guid.Data3),
                           guid.Data4[0],
                           guid.Data4[1],
                           guid.Data4[2],
                           guid.Data4[3],
                           guid.Data4[4],
                           guid.Data4[5],
                           guid.Data4[6],
                           guid.Data4[7]};
    bytes.Append(sizeof(tail), tail);
    return bytes;
}
