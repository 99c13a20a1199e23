#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

#include <gtest/gtest.h>

#include "platform/Numbers.h"

namespace
{

using namespace platform;

// Switches LC_NUMERIC to a locale with a decimal comma where the machine has one, so that the
// tests would notice any use of the process locale.
class CommaLocale
{
public:
    CommaLocale()
    {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
            if (std::setlocale(LC_NUMERIC, name))
                return;
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
};

TEST(NumbersTest, FormatDoubleIsShortestAndReadsBack)
{
    CommaLocale comma;
    EXPECT_EQ(FormatDouble(1.5), "1.5");
    EXPECT_EQ(FormatDouble(0.001), "0.001");
    EXPECT_EQ(FormatDouble(0.1), "0.1");
    EXPECT_EQ(FormatDouble(1e20), "1e+20");
    EXPECT_EQ(FormatDouble(-2.0), "-2");
    for (double value : {0.1 + 0.2, 1.0 / 3.0, 6.02214076e23, 5e-324, -1.7976931348623157e308})
        EXPECT_EQ(ParseDouble(FormatDouble(value)), value) << FormatDouble(value);
}

TEST(NumbersTest, FormatFixedRoundsLikePrintfInTheCLocale)
{
    for (double value : {2.345, 1.005, 0.5, 1.5, 2.5, -0.0049, 123456.789, 1e21})
        for (int decimals : {0, 1, 2, 6})
        {
            char expected[400];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
            EXPECT_EQ(FormatFixed(value, decimals), expected) << value << " " << decimals;
        }
    CommaLocale comma;
    EXPECT_EQ(FormatFixed(3.14159, 3), "3.142");
    EXPECT_EQ(FormatFixed(1.0, -1), "1.000000"); // printf's missing precision
    EXPECT_EQ(FormatFixed(1e308, 2).size(), 312u);
}

TEST(NumbersTest, ParseDoubleTakesWholeTextsOnly)
{
    CommaLocale comma;
    EXPECT_EQ(ParseDouble(" 1.5\t"), 1.5);
    EXPECT_EQ(ParseDouble("+2"), 2.0);
    EXPECT_EQ(ParseDouble("-0.25"), -0.25);
    EXPECT_EQ(ParseDouble("1e3"), 1000.0);
    for (const char* bad : {"", "  ", "1,5", "1.5x", "x1", "1 2", "+-1", "++1", "- 1", "+", "nan", "inf",
                            "-infinity", "1e400", "0x10"})
        EXPECT_FALSE(ParseDouble(bad).has_value()) << bad;
}

TEST(NumbersTest, ParseIntegersWithSignsBasesAndLimits)
{
    EXPECT_EQ(ParseInt(" -42 "), -42);
    EXPECT_EQ(ParseInt("+7"), 7);
    EXPECT_EQ(ParseInt("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ParseInt("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_FALSE(ParseInt("9223372036854775808"));
    EXPECT_FALSE(ParseInt("-9223372036854775809"));
    EXPECT_EQ(ParseInt("1F", 16), 31);
    EXPECT_EQ(ParseInt("0x1f", 16), 31);
    EXPECT_EQ(ParseInt("-0X10", 16), -16);
    EXPECT_EQ(ParseInt("777", 8), 511);
    for (const char* bad : {"", "--1", "+-1", "-+1", "1.0", "12a", "0x", "4 2", "- 1"})
        EXPECT_FALSE(ParseInt(bad)) << bad;
    EXPECT_FALSE(ParseInt("0x10")); // the prefix belongs to base 16 only
    EXPECT_FALSE(ParseInt("10", 1));
    EXPECT_FALSE(ParseInt("10", 37));

    EXPECT_EQ(ParseUInt("18446744073709551615"), std::numeric_limits<uint64_t>::max());
    EXPECT_FALSE(ParseUInt("18446744073709551616"));
    EXPECT_EQ(ParseUInt("+5"), 5u);
    // strtoul would wrap this around to a huge number.
    EXPECT_FALSE(ParseUInt("-1"));
    EXPECT_EQ(ParseUInt("FFFFFFFF", 16), 0xFFFFFFFFu);
}

} // namespace
