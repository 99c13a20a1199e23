#include <bit>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "tests/foundation/WideText.h"
#include "tests/support/Bytes.h"

#include "foundation/BufferReader.h"
#include "foundation/BufferWriter.h"
#include "foundation/ByteDump.h"
#include "foundation/Codec.h"
#include "foundation/IPv4Address.h"
#include "foundation/ResultCodes.h"

namespace
{

using V = std::vector<uint8_t>;
using testsupport::FromBuffer;
using testsupport::Show;
using testsupport::ToBuffer;

template <typename Write>
V Written(uint32_t highWordFirst, Write write)
{
    CByteBuffer buffer;
    CBufferWriter writer(&buffer);
    writer.m_bHighWordFirst = highWordFirst;
    write(writer);
    return FromBuffer(buffer);
}

} // namespace

TEST(BufferCodec, WordOrdersOfU32FloatDoubleAndGuid)
{
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteULong(0x11223344); }), (V{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(Written(0, [](CBufferWriter& w) { w.WriteULong(0x11223344); }), (V{0x33, 0x44, 0x11, 0x22}));
    EXPECT_EQ(Written(0, [](CBufferWriter& w) { w.WriteFloat(1.0f); }), (V{0x00, 0x00, 0x3F, 0x80}));

    CBufferReader doubles(ToBuffer({7, 8, 5, 6, 3, 4, 1, 2}));
    doubles.m_bHighWordFirst = 0;
    double d = 0;
    EXPECT_EQ(doubles.ReadDouble(d), S_OK);
    EXPECT_EQ(std::bit_cast<uint64_t>(d), 0x0102030405060708ull);

    EXPECT_EQ(DecodeDouble(nullptr, FALSE), 0.0);

    for (uint32_t flag : {0u, 1u})
    {
        CByteBuffer buffer;
        CBufferWriter writer(&buffer);
        writer.m_bHighWordFirst = flag;
        writer.WriteULong(0xCAFEF00D);
        writer.WriteFloat(-273.15f);
        writer.WriteString(u"Probe", 8);

        CBufferReader reader(buffer);
        reader.m_bHighWordFirst = flag;
        uint32_t u = 0;
        float f = 0;
        CWideString text;
        EXPECT_TRUE(reader.ReadULong(u) == S_OK && reader.ReadFloat(f) == S_OK &&
                    reader.ReadString(8, text) == S_OK);
        EXPECT_EQ(u, 0xCAFEF00Du);
        EXPECT_EQ(f, -273.15f);
        EXPECT_EQ(Show(text), u"Probe");
        EXPECT_EQ(reader.GetPosition(), buffer.GetLength());
    }

    const GUID guid{0x11223344, 0x5566, 0x7788, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}};
    const CByteBuffer bytes = GuidToBytes(guid);
    EXPECT_EQ(FromBuffer(bytes), (V{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xA0, 0xA1, 0xA2, 0xA3,
                                    0xA4, 0xA5, 0xA6, 0xA7}));
    const GUID swapped = DecodeGuid(bytes.GetData(), FALSE);
    EXPECT_EQ(swapped.Data1, 0x33441122u);
    EXPECT_EQ(swapped.Data2, 0x5566);

    CBufferReader reader(bytes);
    GUID read;
    EXPECT_EQ(reader.ReadGuid(read), S_OK);
    EXPECT_EQ(read, guid);
}

TEST(BufferReader, ReadingPastTheEndFailsZeroesTheValueAndMovesNothing)
{
    CBufferReader reader(ToBuffer({0x12, 0x34, 0x56}));
    uint16_t word = 0;
    EXPECT_EQ(reader.ReadUShort(word), S_OK);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(reader.ReadUShort(word), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(word, 0);
    EXPECT_EQ(reader.GetPosition(), 2u);
    uint8_t byte = 0;
    EXPECT_EQ(reader.ReadByte(byte), S_OK);
    EXPECT_EQ(reader.ReadByte(byte), E_BUFFER_EXTRACTION_OVERRUN);

    // Every wider read checks the bytes that remain, one short of its size.
    CBufferReader wide(ToBuffer(V(15, 1)));
    GUID guid;
    guid.Data1 = 1;
    EXPECT_EQ(wide.ReadGuid(guid), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(guid, GUID{});
    for (int i = 0; i < 8; ++i)
        wide.ReadByte(byte);
    double d = 1;
    EXPECT_EQ(wide.ReadDouble(d), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(d, 0.0);
    uint32_t u32 = 1;
    EXPECT_EQ(wide.ReadULong(u32), S_OK);
    float f = 1;
    EXPECT_EQ(wide.ReadFloat(f), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(wide.ReadULong(u32), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(wide.GetPosition(), 12u);

    // The reader holds its own copy of the bytes.
    int16_t s16 = 0;
    CByteBuffer source = ToBuffer({0xFF, 0xFE});
    CBufferReader copying(source);
    source.GetData()[0] = 0x00;
    EXPECT_EQ(copying.ReadShort(s16), S_OK);
    EXPECT_EQ(s16, -2);
}

TEST(BufferCodecStrings, ReadDropsZeroUnitsAndWriteGivesExactlyNUnits)
{
    CBufferReader reader(ToBuffer({0x00, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00, 0x43}));
    CWideString text(u"old");
    EXPECT_EQ(reader.ReadString(4, text), S_OK);
    EXPECT_EQ(Show(text), u"AB");
    EXPECT_EQ(reader.GetPosition(), 8u);
    EXPECT_EQ(reader.ReadString(0, text), S_OK);
    EXPECT_EQ(Show(text), u"<null>");
    text = u"old";
    EXPECT_EQ(reader.ReadString(2, text), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(Show(text), u"<null>");
    EXPECT_EQ(reader.GetPosition(), 8u);

    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(u"ABC", 2); }), (V{0, 0x41, 0, 0x42}));
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(nullptr, 2); }), (V{0, 0, 0, 0}));
    EXPECT_EQ(Written(1, [](CBufferWriter& w) { w.WriteString(u"\u20AC", 3); }), (V{0x20, 0xAC, 0, 0, 0, 0}));
    CBufferWriter nowhere(nullptr);
    EXPECT_FALSE(nowhere.WriteULong(1));
}

TEST(IPv4Address, ParsesFourDecimalPartsAndRefusesAnythingElse)
{
    BYTE address[4] = {};
    ASSERT_TRUE(ParseIPv4Address(u"192.168.0.1", address));
    EXPECT_EQ(address[0], 0xC0);
    EXPECT_EQ(address[3], 0x01);
    EXPECT_TRUE(ParseIPv4Address(u"10.0.0.255.", address)) << "one trailing dot is tolerated";
    EXPECT_EQ(Show(FormatIPv4Address(address)), u"10.0.0.255");

    const char16_t* const refused[] = {u"1.2.3",     u"1.2.3.4.5",  u"1..3.4",  u".1.2.3",
                                       u"1.2.3.256", u"1.2.3.0004", u"1.2.a.4", u"1.2.3.-4",
                                       u"1.2.3.4..", u"",           nullptr};
    for (size_t i = 0; i < std::size(refused); ++i)
    {
        BYTE bytes[4] = {9, 9, 9, 9};
        EXPECT_FALSE(ParseIPv4Address(refused[i], bytes)) << "case " << i;
        EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0);
    }
}

TEST(ByteDump, HexInGroupsAndLinesAndPrintableWithControlNames)
{
    EXPECT_EQ(Show(FormatHexDump(ToBuffer({1, 2, 3, 4, 5}))), u"01 02 03 04  05 ");
    std::u16string expected;
    for (int i = 1; i <= 33; ++i)
        expected += i % 32 == 0 ? u"AB \n" : i % 4 == 0 ? u"AB  " : u"AB ";
    EXPECT_EQ(Show(FormatHexDump(ToBuffer(std::vector<uint8_t>(33, 0xAB)))), expected);
    EXPECT_EQ(Show(FormatHexDump(CByteBuffer(4))), u"") << "only the bytes that hold data";
    EXPECT_EQ(Show(FormatPrintableDump(ToBuffer({':', '0', '1', 0x0D, 0x0A, 0x00, 0x7F, '~'}))),
              u":01<CR> <LF><00><7F>~ ");
}
