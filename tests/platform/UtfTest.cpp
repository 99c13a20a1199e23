#include <gtest/gtest.h>

#include "platform/Utf.h"

using platform::Utf16Length;
using platform::Utf16ToUtf8;
using platform::Utf16ToUtf8Strict;
using platform::Utf8ToUtf16;
using platform::Utf8ToUtf16Strict;

TEST(Utf, WellFormedTextRoundTripsThroughEveryEncodingLength)
{
    // One, two, three and four UTF-8 bytes; the last needs a surrogate pair; a zero is text.
    const std::string utf8("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\0b", 12);
    const std::u16string utf16(u"A\u00E9\u20AC\U0001F600\0b", 7);
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(Utf8ToUtf16Strict(utf8), utf16);
    EXPECT_EQ(Utf16ToUtf8Strict(utf16), utf8);
    EXPECT_EQ(Utf16Length(nullptr), 0u);
    EXPECT_EQ(Utf16Length(u"\U0001F600z"), 3u);
}

TEST(Utf, StrictRefusesIllFormedInput)
{
    for (const char* bad : {
             "\xC0\xAF",         // overlong '/'
             "\xE0\x80\x80",     // overlong zero
             "\xED\xA0\x80",     // encoded surrogate
             "\xF4\x90\x80\x80", // above U+10FFFF
             "\xE2\x82",         // truncated
             "\x80",             // stray continuation
             "\xFF",             // never a lead byte
         })
        EXPECT_FALSE(Utf8ToUtf16Strict(bad).has_value()) << testing::PrintToString(std::string(bad));
    const char16_t reversed[] = {0xDE00, 0xD83D};
    for (std::u16string_view bad : {std::u16string_view(reversed, 1), std::u16string_view(reversed + 1, 1),
                                    std::u16string_view(reversed, 2)})
        EXPECT_FALSE(Utf16ToUtf8Strict(bad).has_value());
}

TEST(Utf, LenientReplacesEachBrokenSequenceOnceAndKeepsTheRest)
{
    // A truncated sequence costs one U+FFFD; the next character is decoded on its own.
    EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98"
                          "x"),
              u"\uFFFDx");
    // Bytes that can begin nothing valid are replaced one by one.
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("ok\xFF"), u"ok\uFFFD");
    const char16_t lone[] = {u'x', 0xD83D, u'y', 0xDE00};
    EXPECT_EQ(Utf16ToUtf8(std::u16string_view(lone, 4)), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}
