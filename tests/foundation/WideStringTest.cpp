#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "foundation/WideString.h"
#include "tests/foundation/WideText.h"

using testsupport::Show;

TEST(WideString, ConvertsUtf8AndKeepsNullApartFromEmpty)
{
    EXPECT_EQ(AnsiToWide(""), nullptr);
    const std::unique_ptr<char16_t[]> wide(AnsiToWide("\xC2\xB5S/cm"));
    EXPECT_EQ(std::u16string(wide.get()), u"\u00B5S/cm");
    const std::unique_ptr<char[]> narrow(WideToAnsi(u"\u00B0C"));
    EXPECT_EQ(std::string(narrow.get()), "\xC2\xB0"
                                         "C");
    const std::unique_ptr<char16_t[]> joined(WideStrConcat(nullptr, nullptr));
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(joined[0], 0);

    CWideString none;
    CWideString empty(u"");
    EXPECT_TRUE(none.IsEmpty() && empty.IsEmpty());
    EXPECT_EQ(Show(CWideString(none)), u"<null>");
    EXPECT_EQ(Show(CWideString(empty)), u"");
    EXPECT_EQ(none.GetLastIndex(), -1);
}

TEST(WideString, AssignmentsFromTheOwnTextReadItBeforeFreeingIt)
{
    CWideString s(u"hello");
    s = *&s;
    EXPECT_EQ(Show(s), u"hello");
    s = static_cast<const char16_t*>(s) + 2;
    EXPECT_EQ(Show(s), u"llo");
    s.AssignN(static_cast<const char16_t*>(s) + 1, 1);
    EXPECT_EQ(Show(s), u"l");
    s.Insert(0, s);
    EXPECT_EQ(Show(s), u"ll");
    s.Replace(s, u"x");
    EXPECT_EQ(Show(s), u"x");
    EXPECT_TRUE(s.Format(u"%s!", static_cast<const char16_t*>(s)));
    EXPECT_EQ(Show(s), u"x!");

    // AssignN copies at most the text, and needs no terminator within n.
    s.AssignN(u"ab", 10);
    EXPECT_EQ(Show(s), u"ab");
    const char16_t unterminated[2] = {u'x', u'y'};
    s.AssignN(unterminated, 2);
    EXPECT_EQ(Show(s), u"xy");
}

TEST(WideString, EditingClipsAtTheEndsAndReplacingContinuesBehind)
{
    CWideString s;
    s += u'x';
    s += u'\0'; // a zero unit appends nothing
    s += u'y';
    EXPECT_EQ(Show(CWideString(u"ab") + s), u"abxy");

    CWideString abc(u"abcde");
    EXPECT_EQ(abc.Delete(3, 10), 10u);
    EXPECT_EQ(abc.Delete(4, 1), 0u);
    abc.Insert(99, u"!");
    EXPECT_EQ(Show(abc), u"abc");

    CWideString four(u"abcd");
    EXPECT_EQ(four.RemoveRight(4), 4u);
    EXPECT_EQ(Show(four), u"");
    CWideString other(u"abcd");
    EXPECT_EQ(other.RemoveRight(9), 4u);
    EXPECT_EQ(Show(other), u"<null>");

    CWideString padded(u" \t\r\nab c\x01 ");
    EXPECT_EQ(padded.Trim(), 6u);
    EXPECT_EQ(Show(padded), u"ab c");

    const CWideString twice(u"abcabc");
    EXPECT_EQ(twice.Find(u"bc", 2), 4);
    EXPECT_EQ(twice.Find(u"bc", 6), -1);
    EXPECT_EQ(twice.ReverseFind(u'a'), 3);

    // Replacing continues behind the replacement.
    CWideString r(u"aba");
    EXPECT_EQ(r.Replace(u"a", u"aa"), 2u);
    EXPECT_EQ(Show(r), u"aabaa");
    EXPECT_EQ(r.Replace(u"aa", nullptr), 2u);
    EXPECT_EQ(Show(r), u"b");
    EXPECT_EQ(r.Replace(u"", u"x"), 0u);

    CWideString line(u"a;b\nc;");
    EXPECT_EQ(line.ReplaceCharWithSpace(u';'), 2u);
    EXPECT_EQ(Show(line), u"a b\nc ");
}

TEST(WideString, CompareNoCaseFoldsOnlyAToZAndOrdersByTextThenLength)
{
    EXPECT_EQ(CWideString(u"abc").CompareNoCase(u"ABC"), 0);
    EXPECT_EQ(CWideString(u"ABC").CompareNoCase(u"abcd"), -1);
    EXPECT_EQ(CWideString(u"abd").CompareNoCase(u"ABC"), 1);
    EXPECT_EQ(CWideString(u"A").CompareNoCase(u"_"), 1); // folded to lower case, after '_'
    EXPECT_EQ(CWideString(u"\u00E9").CompareNoCase(u"\u00C9"), 1);
    EXPECT_EQ(CWideString(u"\u0436").CompareNoCase(u"\u0416"), 1);
    EXPECT_EQ(CWideString().CompareNoCase(nullptr), 0);
    EXPECT_EQ(CWideString().CompareNoCase(u"a"), -1);
}

TEST(WideStringFormat, FormatsWithTheWideConventionsWithinTheGrowthLimit)
{
    EXPECT_EQ(Show(CWideString(u"%s: %d %S", u"port", 3, "COM")), u"port: 3 COM");
    EXPECT_EQ(Show(CWideString(u"100%")), u"100%"); // a lone text is not a format
    CWideString s(u"old");
    EXPECT_TRUE(s.Format(u"a%cb", 0)); // the text ends at a zero unit
    EXPECT_EQ(Show(s), u"a");
    EXPECT_TRUE(s.Format(u"%s", u""));
    EXPECT_EQ(Show(s), u"<null>");

    // Too long or malformed keeps the old text. The limit: 63 steps of 1024 units.
    const std::u16string longest(64512, u'y');
    EXPECT_TRUE(s.Format(u"%s", longest.c_str()));
    EXPECT_EQ(s.GetLength(), 64512u);
    EXPECT_FALSE(s.Format(u"%sz", longest.c_str()));
    EXPECT_EQ(Show(s), longest);
    EXPECT_FALSE(s.Format(u"%d%", 1));
    EXPECT_EQ(Show(s), longest);
}
