#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "foundation/ByteDump.h"
#include "foundation/IPv4Address.h"
#include "foundation/StringTools.h"

namespace
{

std::u16string Show(const CWideString& s)
{
    const char16_t* text = s;
    return text == nullptr ? u"<null>" : std::u16string(text);
}

CByteBuffer Buffer(const std::vector<uint8_t>& bytes)
{
    return testsupport::ToBuffer(bytes);
}

} // namespace

TEST(SplitStringInto, EmptyTokensCountExceptATrailingOne)
{
    CDynArray<CWideString> tokens;
    tokens.Add(CWideString(u"stale"));
    ASSERT_EQ(SplitStringInto(u"a;;b;", u';', tokens), 3u);
    EXPECT_EQ(Show(tokens[0]), u"a");
    EXPECT_EQ(Show(tokens[1]), u"<null>");
    EXPECT_EQ(Show(tokens[2]), u"b");

    EXPECT_EQ(SplitStringInto(u";", u';', tokens), 1u);
    EXPECT_EQ(SplitStringInto(u"whole", u';', tokens), 1u);
    EXPECT_EQ(Show(tokens[0]), u"whole");
    EXPECT_EQ(SplitStringInto(u"", u';', tokens), 0u);
    EXPECT_EQ(SplitStringInto(nullptr, u';', tokens), 0u);
    EXPECT_EQ(SplitStringInto(u"a;b", 0, tokens), 0u);
    EXPECT_EQ(tokens.GetCount(), 0u);
}

TEST(IPv4Address, ParsesFourDecimalParts)
{
    BYTE address[4] = {};
    ASSERT_TRUE(ParseIPv4Address(u"192.168.0.1", address));
    EXPECT_EQ(address[0], 0xC0);
    EXPECT_EQ(address[1], 0xA8);
    EXPECT_EQ(address[2], 0x00);
    EXPECT_EQ(address[3], 0x01);
    EXPECT_TRUE(ParseIPv4Address(u"10.0.0.255.", address)) << "one trailing dot is tolerated";
    EXPECT_EQ(Show(FormatIPv4Address(address)), u"10.0.0.255");
}

TEST(IPv4Address, RefusesAnythingElseAndClearsTheBytes)
{
    const char16_t* const refused[] = {u"1.2.3",     u"1.2.3.4.5",  u"1..3.4",  u".1.2.3",
                                       u"1.2.3.256", u"1.2.3.0004", u"1.2.a.4", u"1.2.3.-4",
                                       u"1.2.3.4..", u"",           nullptr};
    for (size_t i = 0; i < std::size(refused); ++i)
    {
        BYTE address[4] = {9, 9, 9, 9};
        EXPECT_FALSE(ParseIPv4Address(refused[i], address)) << "case " << i;
        EXPECT_EQ(address[0] | address[1] | address[2] | address[3], 0);
    }
}

TEST(ByteDump, HexGroupsOfFourAndLinesOfThirtyTwo)
{
    EXPECT_EQ(Show(FormatHexDump(Buffer({1, 2, 3, 4, 5}))), u"01 02 03 04  05 ");
    std::vector<uint8_t> line(33, 0xAB);
    std::u16string expected;
    for (int i = 1; i <= 33; ++i)
        expected += i % 32 == 0 ? u"AB \n" : i % 4 == 0 ? u"AB  " : u"AB ";
    EXPECT_EQ(Show(FormatHexDump(Buffer(line))), expected);
    EXPECT_EQ(Show(FormatHexDump(CByteBuffer(4))), u"") << "only the bytes that hold data";
}

TEST(ByteDump, PrintableShowsControlsByName)
{
    EXPECT_EQ(Show(FormatPrintableDump(Buffer({':', '0', '1', 0x0D, 0x0A, 0x00, 0x7F, '~'}))),
              u":01<CR> <LF><00><7F>~ ");
}
