#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "foundation/WideString.h"

namespace
{

// What the string holds, with null told apart from "".
std::u16string Show(const CWideString& s)
{
    const char16_t* text = s;
    return text == nullptr ? u"<null>" : std::u16string(text);
}

} // namespace

TEST(WideStringConversion, Utf8AndUtf16BothWays)
{
    EXPECT_EQ(AnsiToWide(nullptr), nullptr);
    EXPECT_EQ(AnsiToWide(""), nullptr);
    EXPECT_EQ(WideToAnsi(nullptr), nullptr);
    EXPECT_EQ(WideToAnsi(u""), nullptr);

    const std::unique_ptr<char16_t[]> wide(AnsiToWide("\xC2\xB5S/cm"));
    EXPECT_EQ(std::u16string(wide.get()), u"\u00B5S/cm");
    const std::unique_ptr<char[]> narrow(WideToAnsi(u"\u00B0C"));
    EXPECT_EQ(std::string(narrow.get()), "\xC2\xB0"
                                         "C");
}

TEST(WideStringConversion, DupAndConcatAllocateExactly)
{
    EXPECT_EQ(WideStrDup(nullptr), nullptr);
    const std::unique_ptr<char16_t[]> empty(WideStrDup(u""));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    const std::unique_ptr<char16_t[]> none(WideStrConcat(nullptr, nullptr));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none[0], 0);
    const std::unique_ptr<char16_t[]> joined(WideStrConcat(u"ab", nullptr));
    EXPECT_EQ(std::u16string(joined.get()), u"ab");
}

TEST(WideString, NullAndEmptyAreBothEmptyButStayDistinct)
{
    CWideString none;
    CWideString empty(u"");
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(Show(CWideString(none)), u"<null>");
    EXPECT_EQ(Show(CWideString(empty)), u"");
    EXPECT_EQ(none.GetLastIndex(), -1);
    none.SetEmpty();
    EXPECT_EQ(Show(none), u"");
    empty = static_cast<const char16_t*>(nullptr);
    EXPECT_EQ(Show(empty), u"<null>");
}

TEST(WideString, AssignmentsFromTheOwnTextReadItBeforeFreeingIt)
{
    CWideString s(u"hello");
    s = s;
    EXPECT_EQ(Show(s), u"hello");
    s = static_cast<const char16_t*>(s) + 2;
    EXPECT_EQ(Show(s), u"llo");
    s.AssignN(static_cast<const char16_t*>(s) + 1, 1);
    EXPECT_EQ(Show(s), u"l");
    s.Insert(0, s);
    EXPECT_EQ(Show(s), u"ll");
    s.Replace(s, u"x");
    EXPECT_EQ(Show(s), u"x");
}

TEST(WideString, AssignNCopiesAtMostTheText)
{
    CWideString s;
    s.AssignN(u"abcdef", 3);
    EXPECT_EQ(Show(s), u"abc");
    s.AssignN(u"ab", 10);
    EXPECT_EQ(Show(s), u"ab");
    s.AssignN(u"ab", 0);
    EXPECT_EQ(Show(s), u"");
    const char16_t unterminated[2] = {u'x', u'y'};
    s.AssignN(unterminated, 2);
    EXPECT_EQ(Show(s), u"xy");
    s.AssignN(nullptr, 2);
    EXPECT_EQ(Show(s), u"<null>");
}

TEST(WideString, JoiningAndAppending)
{
    const CWideString a(u"ab");
    EXPECT_EQ(Show(a + CWideString(u"cd")), u"abcd");
    EXPECT_EQ(Show(CWideString() + static_cast<const char16_t*>(nullptr)), u"");
    CWideString s;
    s += u'x';
    s += u'\0';
    s += u'y';
    EXPECT_EQ(Show(s), u"xy");
    EXPECT_EQ(s.GetLength(), 2u);
    EXPECT_EQ(s.GetLastIndex(), 1);
}

TEST(WideString, Searching)
{
    const CWideString s(u"abcabc");
    EXPECT_EQ(s.Find(u"bc"), 1);
    EXPECT_EQ(s.Find(u"bc", 2), 4);
    EXPECT_EQ(s.Find(u"bc", 6), -1);
    EXPECT_EQ(s.Find(u"x"), -1);
    EXPECT_EQ(s.Find(nullptr), -1);
    EXPECT_EQ(CWideString().Find(u"a"), -1);
    EXPECT_EQ(s.ReverseFind(u'a'), 3);
    EXPECT_EQ(s.ReverseFind(u'z'), -1);
    EXPECT_EQ(CWideString().ReverseFind(u'a'), -1);
}

TEST(WideString, ReplaceContinuesBehindTheReplacement)
{
    CWideString s(u"aba");
    EXPECT_EQ(s.Replace(u"a", u"aa"), 2u);
    EXPECT_EQ(Show(s), u"aabaa");
    EXPECT_EQ(s.Replace(u"aa", nullptr), 2u);
    EXPECT_EQ(Show(s), u"b");
    EXPECT_EQ(s.Replace(u"", u"x"), 0u);
    EXPECT_EQ(s.Replace(u"b", u"b"), 0u);
    EXPECT_EQ(s.Replace(u"q", u"x"), 0u);
    EXPECT_EQ(Show(s), u"b");

    CWideString line(u"a;b\nc;");
    EXPECT_EQ(line.ReplaceCharWithSpace(u';'), 2u);
    EXPECT_EQ(line.ReplaceCharWithSpace(u'\n'), 1u);
    EXPECT_EQ(Show(line), u"a b c ");
}

TEST(WideString, DeleteInsertAndRemoveRightClipAtTheEnds)
{
    CWideString s(u"abcde");
    EXPECT_EQ(s.Delete(3, 10), 10u);
    EXPECT_EQ(Show(s), u"abc");
    EXPECT_EQ(s.Delete(4, 1), 0u);
    EXPECT_EQ(s.Delete(0, 1), 1u);
    EXPECT_EQ(Show(s), u"bc");

    s.Insert(0, u"<");
    s.Insert(s.GetLength(), u">");
    s.Insert(99, u"!");
    EXPECT_EQ(Show(s), u"<bc>");

    CWideString four(u"abcd");
    EXPECT_EQ(four.RemoveRight(1), 1u);
    EXPECT_EQ(Show(four), u"abc");
    EXPECT_EQ(four.RemoveRight(3), 3u);
    EXPECT_EQ(Show(four), u"");
    CWideString other(u"abcd");
    EXPECT_EQ(other.RemoveRight(9), 4u);
    EXPECT_EQ(Show(other), u"<null>");
    EXPECT_EQ(other.RemoveRight(1), 0u);
}

TEST(WideString, TrimRemovesControlsAndBlanksAtBothEnds)
{
    CWideString s(u" \t\r\nab c\x01 ");
    EXPECT_EQ(s.Trim(), 6u);
    EXPECT_EQ(Show(s), u"ab c");
    EXPECT_EQ(s.Trim(), 0u);
}

TEST(WideString, CompareNoCaseOrdersByTextThenLength)
{
    EXPECT_EQ(CWideString(u"ABC").CompareNoCase(u"abcd"), -1);
    EXPECT_EQ(CWideString(u"abcd").CompareNoCase(u"ABC"), 1);
    EXPECT_EQ(CWideString(u"abc").CompareNoCase(u"ABC"), 0);
    EXPECT_EQ(CWideString(u"abd").CompareNoCase(u"ABC"), 1);
    EXPECT_EQ(CWideString().CompareNoCase(nullptr), 0);
    EXPECT_EQ(CWideString().CompareNoCase(u"a"), -1);
    EXPECT_EQ(CWideString(u"a").CompareNoCase(nullptr), 1);
}

TEST(WideString, RightGivesAnAllocatedText)
{
    const CWideString s(u"abcd");
    EXPECT_EQ(Show(s.Right(2)), u"cd");
    EXPECT_EQ(Show(s.Right(9)), u"abcd");
    EXPECT_EQ(Show(s.Right(0)), u"");
    EXPECT_EQ(Show(CWideString().Right(3)), u"");
}

TEST(WideStringFormat, FormatsWithTheWideConventions)
{
    const CWideString s(u"%s: %d %S", u"port", 3, "COM");
    EXPECT_EQ(Show(s), u"port: 3 COM");
    CWideString copy(u"100%"); // a lone text is not a format
    EXPECT_EQ(Show(copy), u"100%");
    EXPECT_TRUE(copy.Format(u"%s!", static_cast<const char16_t*>(copy)));
    EXPECT_EQ(Show(copy), u"100%!");
}

TEST(WideStringFormat, TooLongOrMalformedKeepsTheOldText)
{
    CWideString s(u"old");
    const std::u16string huge(70000, u'x');
    EXPECT_FALSE(s.Format(u"%s", huge.c_str()));
    EXPECT_EQ(Show(s), u"old");
    EXPECT_FALSE(s.Format(u"%d%", 1));
    EXPECT_EQ(Show(s), u"old");

    // The growth limit: 63 steps of 1024 units.
    const std::u16string longest(CWideString::kMaxFormatUnits, u'y');
    EXPECT_TRUE(s.Format(u"%s", longest.c_str()));
    EXPECT_EQ(s.GetLength(), 64512u);
    EXPECT_FALSE(s.Format(u"%sz", longest.c_str()));
    EXPECT_EQ(s.GetLength(), 64512u);
}

TEST(WideStringFormat, EmptyResultLeavesNull)
{
    CWideString s(u"old");
    EXPECT_TRUE(s.Format(u"%s", u""));
    EXPECT_EQ(Show(s), u"<null>");
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.Format(u"a%cb", 0)); // the text ends at a zero unit
    EXPECT_EQ(Show(s), u"a");
}
