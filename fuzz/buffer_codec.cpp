// Register payloads come from devices, IPv4 texts from people: neither may make the reader move
// past its bytes, lose its place on a failed read, or make a dump or address parse misbehave.
// Input: [word order][count of reads][read codes...][payload].
#include <cstdint>
#include <string>

#include "foundation/BufferReader.h"
#include "foundation/ByteDump.h"
#include "foundation/IPv4Address.h"
#include "fuzz/FuzzCheck.h"

namespace
{

HRESULT ReadOne(CBufferReader& reader, uint8_t code)
{
    uint8_t u8;
    uint16_t u16;
    int16_t i16;
    uint32_t u32;
    float f;
    double d;
    GUID guid;
    CWideString text;
    switch (code % 9)
    {
    case 0:
        return reader.ReadByte(u8);
    case 1:
        return reader.ReadUShort(u16);
    case 2:
        return reader.ReadShort(i16);
    case 3:
        return reader.ReadULong(u32);
    case 4:
        return reader.ReadFloat(f);
    case 5:
        return reader.ReadDouble(d);
    case 6:
        return reader.ReadGuid(guid);
    default:
        return reader.ReadString(static_cast<uint16_t>(code * 3), text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 0x10000)
        return 0;
    const uint32_t highWordFirst = data[0] & 1;
    const size_t reads = data[1];
    if (size < 2 + reads)
        return 0;
    const uint8_t* codes = data + 2;
    const uint8_t* payload = codes + reads;
    const auto payloadSize = static_cast<uint32_t>(size - 2 - reads);

    CByteBuffer buffer;
    buffer.Append(payloadSize, payload);
    CBufferReader reader(buffer);
    reader.m_bHighWordFirst = highWordFirst;
    for (size_t i = 0; i < reads; ++i)
    {
        const uint32_t before = reader.GetPosition();
        if (Failed(ReadOne(reader, codes[i])))
            Check(reader.GetPosition() == before);
        Check(reader.GetPosition() <= payloadSize);
    }

    FormatHexDump(buffer);
    FormatPrintableDump(buffer);

    std::u16string text;
    for (uint32_t i = 0; i + 1 < payloadSize; i += 2)
        text.push_back(static_cast<char16_t>(payload[i] | payload[i + 1] << 8));
    BYTE address[4];
    if (ParseIPv4Address(text.c_str(), address))
    {
        BYTE again[4];
        Check(ParseIPv4Address(FormatIPv4Address(address), again));
        for (int i = 0; i < 4; ++i)
            Check(again[i] == address[i]);
    }
    return 0;
}
