#include <string>

#include <gtest/gtest.h>

#include "foundation/DateTimeFormat.h"
#include "tests/foundation/ScopedEnvironment.h"

namespace
{

const SYSTEMTIME kAfternoon{2024, 3, 2, 5, 14, 7, 9, 42};
const SYSTEMTIME kMorning{2024, 11, 6, 9, 8, 5, 3, 7};

std::u16string Pattern(const char16_t* pattern, const SYSTEMTIME& time)
{
    const CWideString text = FormatDateTimePattern(pattern, time);
    return text.IsEmpty() ? u"" : std::u16string(text);
}

class DateTimeFormatTest : public testing::Test
{
    testsupport::ScopedEnv m_locale{"LC_ALL", "C"};
};

} // namespace

TEST_F(DateTimeFormatTest, PatternsWithLeadingZeros)
{
    EXPECT_EQ(Pattern(u"yyyy-MM-dd HH:mm:ss.ms", kAfternoon), u"2024-03-05 14:07:09.042");
    EXPECT_EQ(Pattern(u"YYYY/MM/DD", kAfternoon), u"2024/03/05");
    EXPECT_EQ(Pattern(u"dd.MM.yy", kMorning), u"09.11.24");
    EXPECT_EQ(Pattern(u"hh:mm tt", kAfternoon), u"02:07 PM");
}

TEST_F(DateTimeFormatTest, OneLetterTokensDropTheLeadingZero)
{
    EXPECT_EQ(Pattern(u"d/M/yyyy H:m:s", kMorning), u"9/11/2024 8:5:3");
    EXPECT_EQ(Pattern(u"D.M.", kAfternoon), u"5.3.");
    // h alone makes a 12-hour time that ends with the designator, no blank between.
    EXPECT_EQ(Pattern(u"h:mm", kAfternoon), u"2:07PM");
    EXPECT_EQ(Pattern(u"h:mm", kMorning), u"8:05AM");
}

TEST_F(DateTimeFormatTest, MonthNamesAndMinutesDoNotClash)
{
    EXPECT_EQ(Pattern(u"MMMM d, yyyy", kAfternoon), u"March 5, 2024");
    EXPECT_EQ(Pattern(u"MMM-dd HH:mm", kMorning), u"Nov-09 08:05");
    EXPECT_EQ(Pattern(u"M m", kMorning), u"11 5");
}

TEST_F(DateTimeFormatTest, OtherCharactersAreCopied)
{
    // A '%' of the user's is text, not a directive of the formatter.
    EXPECT_EQ(Pattern(u"%Y [yyyy] 100%", kAfternoon), u"%Y [2024] 100%");
    EXPECT_EQ(Pattern(u"", kAfternoon), u"");
    EXPECT_EQ(Pattern(nullptr, kAfternoon), u"");
}

TEST_F(DateTimeFormatTest, DefaultFormatsOfTheUserLocale)
{
    EXPECT_EQ(std::u16string(FormatDate(kAfternoon)), u"03/05/24");
    EXPECT_EQ(std::u16string(FormatTime(kAfternoon)), u"14:07:09");
    EXPECT_EQ(std::u16string(FormatDateTime(kMorning)), u"11/09/24 08:05:03");
}
