#include <bit>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "foundation/BufferReader.h"
#include "foundation/BufferWriter.h"
#include "foundation/Codec.h"
#include "foundation/ResultCodes.h"

namespace
{

using V = std::vector<uint8_t>;

CByteBuffer Buffer(const V& bytes)
{
    return testsupport::ToBuffer(bytes);
}

V Bytes(const CByteBuffer& buffer)
{
    return testsupport::FromBuffer(buffer);
}

template <typename Write>
V Written(uint32_t highWordFirst, Write write)
{
    CByteBuffer buffer;
    CBufferWriter writer(&buffer);
    writer.m_bHighWordFirst = highWordFirst;
    write(writer);
    return Bytes(buffer);
}

std::u16string Show(const CWideString& s)
{
    const char16_t* text = s;
    return text == nullptr ? u"<null>" : std::u16string(text);
}

} // namespace

TEST(BufferCodec, U32WordOrders)
{
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteULong(0x11223344); }), (V{0x11, 0x22, 0x33, 0x44}));
    const V lowFirst = Written(0, [](CBufferWriter& w) { w.WriteULong(0x11223344); });
    EXPECT_EQ(lowFirst, (V{0x33, 0x44, 0x11, 0x22}));

    CBufferReader sameOrder(Buffer(lowFirst));
    sameOrder.m_bHighWordFirst = 0;
    uint32_t value = 0;
    EXPECT_EQ(sameOrder.ReadULong(value), S_OK);
    EXPECT_EQ(value, 0x11223344u);

    CBufferReader otherOrder(Buffer(lowFirst));
    EXPECT_EQ(otherOrder.ReadULong(value), S_OK);
    EXPECT_EQ(value, 0x33441122u);
}

TEST(BufferCodec, FloatWordOrders)
{
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteFloat(1.0f); }), (V{0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(Written(0, [](CBufferWriter& w) { w.WriteFloat(1.0f); }), (V{0x00, 0x00, 0x3F, 0x80}));

    for (uint32_t flag : {0u, 1u})
    {
        CBufferReader reader(Buffer(Written(flag, [](CBufferWriter& w) { w.WriteFloat(-273.15f); })));
        reader.m_bHighWordFirst = flag;
        float value = 0;
        EXPECT_EQ(reader.ReadFloat(value), S_OK);
        EXPECT_EQ(value, -273.15f) << "flag " << flag;
    }
}

TEST(BufferCodec, DoubleWordOrders)
{
    const double value = std::bit_cast<double>(0x0102030405060708ull);
    const V highFirst = {1, 2, 3, 4, 5, 6, 7, 8};
    const V lowFirst = {7, 8, 5, 6, 3, 4, 1, 2};
    EXPECT_EQ(std::bit_cast<uint64_t>(DecodeDouble(highFirst.data(), TRUE)), 0x0102030405060708ull);
    EXPECT_EQ(std::bit_cast<uint64_t>(DecodeDouble(lowFirst.data(), FALSE)), 0x0102030405060708ull);

    CBufferReader reader(Buffer(lowFirst));
    reader.m_bHighWordFirst = 0;
    double read = 0;
    EXPECT_EQ(reader.ReadDouble(read), S_OK);
    EXPECT_EQ(std::bit_cast<uint64_t>(read), std::bit_cast<uint64_t>(value));
    EXPECT_EQ(reader.GetPosition(), 8u);
}

TEST(BufferCodec, GuidBytesAndDecoding)
{
    GUID guid;
    guid.Data1 = 0x11223344;
    guid.Data2 = 0x5566;
    guid.Data3 = 0x7788;
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<uint8_t>(0xA0 + i);
    const CByteBuffer bytes = GuidToBytes(guid);
    EXPECT_EQ(bytes.GetCapacity(), 16u);
    const V expected = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                        0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
    EXPECT_EQ(Bytes(bytes), expected);
    EXPECT_EQ(DecodeGuid(bytes.GetData(), TRUE), guid);

    // Only Data1 follows the word order.
    const GUID swapped = DecodeGuid(bytes.GetData(), FALSE);
    EXPECT_EQ(swapped.Data1, 0x33441122u);
    EXPECT_EQ(swapped.Data2, 0x5566);

    CBufferReader reader(bytes);
    GUID read;
    EXPECT_EQ(reader.ReadGuid(read), S_OK);
    EXPECT_EQ(read, guid);
}

TEST(BufferCodec, DecodersGiveZeroForNull)
{
    EXPECT_EQ(DecodeULong(nullptr, TRUE), 0u);
    EXPECT_EQ(DecodeFloat(nullptr, TRUE), 0.0f);
    EXPECT_EQ(DecodeDouble(nullptr, FALSE), 0.0);
    EXPECT_EQ(DecodeGuid(nullptr, TRUE), GUID{});
}

TEST(BufferReader, ReadingPastTheEndFailsAndMovesNothing)
{
    CBufferReader reader(Buffer({0x12, 0x34, 0x56}));
    uint16_t word = 0;
    EXPECT_EQ(reader.ReadUShort(word), S_OK);
    EXPECT_EQ(word, 0x1234);
    word = 0xFFFF;
    EXPECT_EQ(reader.ReadUShort(word), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(word, 0);
    EXPECT_EQ(reader.GetPosition(), 2u);
    uint8_t byte = 0;
    EXPECT_EQ(reader.ReadByte(byte), S_OK);
    EXPECT_EQ(byte, 0x56);
    EXPECT_EQ(reader.ReadByte(byte), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(reader.GetPosition(), 3u);
}

TEST(BufferReader, EveryWiderReadChecksTheRemainingBytes)
{
    CBufferReader reader(Buffer({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    uint32_t u32 = 1;
    float f = 1;
    double d = 1;
    GUID guid;
    guid.Data1 = 1;
    EXPECT_EQ(reader.ReadGuid(guid), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(guid, GUID{});
    uint8_t skip = 0;
    for (int i = 0; i < 8; ++i)
        reader.ReadByte(skip);
    EXPECT_EQ(reader.ReadDouble(d), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(reader.ReadULong(u32), S_OK);
    EXPECT_EQ(reader.ReadFloat(f), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(reader.ReadULong(u32), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(u32, 0u);
    EXPECT_EQ(reader.GetPosition(), 12u);

    CBufferReader empty{CByteBuffer()};
    int16_t s16 = 1;
    EXPECT_EQ(empty.ReadShort(s16), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(s16, 0);
}

TEST(BufferReader, SignedShortAndItsOwnCopyOfTheBytes)
{
    CByteBuffer source = Buffer({0xFF, 0xFE});
    CBufferReader reader(source);
    source.GetData()[0] = 0x00;
    int16_t value = 0;
    EXPECT_EQ(reader.ReadShort(value), S_OK);
    EXPECT_EQ(value, -2);
}

TEST(BufferReader, StringsDropZeroUnits)
{
    CBufferReader reader(Buffer({0x00, 0x41, 0x00, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x43}));
    CWideString text(u"old");
    EXPECT_EQ(reader.ReadString(4, text), S_OK);
    EXPECT_EQ(Show(text), u"AB");
    EXPECT_EQ(reader.GetPosition(), 8u);

    EXPECT_EQ(reader.ReadString(0, text), S_OK);
    EXPECT_EQ(Show(text), u"<null>");
    EXPECT_EQ(reader.GetPosition(), 8u);

    text = u"old";
    EXPECT_EQ(reader.ReadString(2, text), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(Show(text), u"<null>");
    EXPECT_EQ(reader.GetPosition(), 8u);

    CBufferReader zeros(Buffer({0, 0, 0, 0x20, 0xAC, 0, 0xD8, 0x3D}));
    EXPECT_EQ(zeros.ReadString(4, text), S_OK);
    EXPECT_EQ(text.GetLength(), 3u);
    EXPECT_EQ(static_cast<const char16_t*>(text)[0], u' ');
    EXPECT_EQ(static_cast<const char16_t*>(text)[1], 0xAC00);
}

TEST(BufferWriter, StringsAreExactlyNUnits)
{
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(u"ABC", 2); }), (V{0, 0x41, 0, 0x42}));
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(nullptr, 2); }), (V{0, 0, 0, 0}));
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(u"\u20AC", 3); }), (V{0x20, 0xAC, 0, 0, 0, 0}));
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(u"A", 0); }), V{});

    CBufferWriter nowhere(nullptr);
    EXPECT_FALSE(nowhere.WriteULong(1));
}

TEST(BufferWriter, WrittenValuesReadBackInBothOrders)
{
    for (uint32_t flag : {0u, 1u})
    {
        CByteBuffer buffer;
        CBufferWriter writer(&buffer);
        writer.m_bHighWordFirst = flag;
        writer.WriteULong(0xCAFEF00D);
        writer.WriteFloat(0.1f);
        writer.WriteString(u"Probe", 8);

        CBufferReader reader(buffer);
        reader.m_bHighWordFirst = flag;
        uint32_t u = 0;
        float f = 0;
        CWideString text;
        EXPECT_EQ(reader.ReadULong(u), S_OK);
        EXPECT_EQ(reader.ReadFloat(f), S_OK);
        EXPECT_EQ(reader.ReadString(8, text), S_OK);
        EXPECT_EQ(u, 0xCAFEF00Du);
        EXPECT_EQ(f, 0.1f);
        EXPECT_EQ(Show(text), u"Probe");
        EXPECT_EQ(reader.GetPosition(), buffer.GetLength());
    }
}
