// The number rules of the windows: formatting to significant digits, cleaning typed texts, the
// edit control's keystroke filters and its range clamping.
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "ui/NumericText.h"

namespace
{

std::u16string Text(const CWideString& text)
{
    return text.IsEmpty() ? std::u16string() : std::u16string(static_cast<const char16_t*>(text));
}

struct FormatCase
{
    UINT digits;
    double value;
    const char16_t* expected;
};

void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << "FormatValue(" << c.digits << ", " << c.value << ")";
}

class FormatValueTest : public testing::TestWithParam<FormatCase>
{
};

TEST_P(FormatValueTest, GivesTheSignificantDigits)
{
    EXPECT_EQ(Text(FormatValue(GetParam().digits, GetParam().value)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, FormatValueTest,
    testing::Values(
        // A large integer part is cut, not rounded, and filled with zeros.
        FormatCase{3, 1234567, u"1230000"}, FormatCase{2, 999, u"990"}, FormatCase{3, -1234567, u"-1230000"},
        // Beyond 32 bits the integer part still formats as the value.
        FormatCase{3, 5e9, u"5000000000"}, FormatCase{4, 123456789012.0, u"123400000000"},
        FormatCase{6, 1e20, u"100000000000000000000"},
        // Decimals fill the digits left after the integer part, rounded.
        FormatCase{4, 12.3456, u"12.35"}, FormatCase{3, 0.123456, u"0.123"}, FormatCase{3, -12.5, u"-12.5"},
        FormatCase{6, 1013.25, u"1013.25"}, FormatCase{3, 999.7, u"1000"},
        FormatCase{5, 0.00123456, u"0.00123"},
        // Below the last digit shown it is zero, without a sign.
        FormatCase{3, -0.0004, u"0"}, FormatCase{3, 0.0, u"0"}, FormatCase{3, -0.0, u"0"},
        FormatCase{3, 0.0006, u"0"}, FormatCase{3, 0.0016, u"0.002"},
        // Not numbers.
        FormatCase{3, std::numeric_limits<double>::infinity(), u"inf"},
        FormatCase{3, -std::numeric_limits<double>::infinity(), u"-inf"}));

// The digits of the integer part are counted on the value as it is, not as it is rounded: a power of
// ten has one more than the value just below it, and a value that rounds up into the next power
// keeps the decimals of the one below.
INSTANTIATE_TEST_SUITE_P(
    PowersOfTen, FormatValueTest,
    testing::Values(
        // Exactly a power of ten.
        FormatCase{3, 1, u"1.00"}, FormatCase{3, 10, u"10.0"}, FormatCase{3, 100, u"100"},
        FormatCase{3, 1000, u"1000"}, FormatCase{4, 1000, u"1000"}, FormatCase{5, 1000, u"1000.0"},
        FormatCase{1, 1, u"1"}, FormatCase{2, 10, u"10"}, FormatCase{3, -1, u"-1.00"},
        FormatCase{3, -10, u"-10.0"}, FormatCase{3, -100, u"-100"}, FormatCase{3, -1000, u"-1000"},
        FormatCase{5, -1000, u"-1000.0"},
        // Just below, without and with a carry into the next digit.
        FormatCase{3, 0.999, u"0.999"}, FormatCase{3, 9.99, u"9.99"}, FormatCase{3, 99.9, u"99.9"},
        FormatCase{3, 999, u"999"}, FormatCase{3, 999.4, u"999"}, FormatCase{3, 0.9996, u"1.000"},
        FormatCase{5, 0.99999, u"0.99999"}, FormatCase{4, 0.99999, u"1.0000"},
        FormatCase{5, 9.99995, u"10.0000"}, FormatCase{5, 99.9996, u"100.000"}, FormatCase{3, 999.6, u"1000"},
        FormatCase{3, -0.9996, u"-1.000"}, FormatCase{3, -9.9996, u"-10.00"},
        FormatCase{5, -99.9996, u"-100.000"},
        // The last digit shown: 10^-digits is shown, anything below it is zero.
        FormatCase{3, 0.001, u"0.001"}, FormatCase{3, -0.001, u"-0.001"}, FormatCase{3, 0.00099999, u"0"},
        FormatCase{1, 0.1, u"0.1"}, FormatCase{1, -0.0999, u"0"}, FormatCase{1, 9.6, u"10"}));

TEST(FormatValue, ANotANumberKeepsItsNameAndOutOfRangeDigitCountsAreHeldToTheNearest)
{
    EXPECT_EQ(Text(FormatValue(3, std::nan(""))), u"nan");
    EXPECT_EQ(Text(FormatValue(0, 7.4)), u"7");
    EXPECT_EQ(Text(FormatValue(40, 0.1)), u"0.10000000000000001");
}

TEST(CleanNumericText, KeepsANumberInTheMakingAndOtherwiseThePreviousText)
{
    const CWideString previous(u" 12 ");
    EXPECT_EQ(Text(CleanNumericText(previous, u" 123 ", FALSE, FALSE, 8)), u"123");
    EXPECT_EQ(Text(CleanNumericText(previous, u"", FALSE, FALSE, 8)), u"");
    EXPECT_EQ(Text(CleanNumericText(previous, u"12a", FALSE, FALSE, 8)), u"12");
    // Ten digits fit a limit of ten, eleven do not.
    EXPECT_EQ(Text(CleanNumericText(previous, u"1234567890", FALSE, FALSE, 10)), u"1234567890");
    EXPECT_EQ(Text(CleanNumericText(previous, u"12345678901", FALSE, FALSE, 10)), u"12");
    // The sign and the separator take positions too.
    EXPECT_EQ(Text(CleanNumericText(previous, u"-1.345678", TRUE, TRUE, 8)), u"12");
    EXPECT_EQ(Text(CleanNumericText(previous, u"-1.34567", TRUE, TRUE, 8)), u"-1.34567");
    // A minus only first and only when allowed; one separator only when allowed.
    EXPECT_EQ(Text(CleanNumericText(previous, u"-5", FALSE, TRUE, 8)), u"12");
    EXPECT_EQ(Text(CleanNumericText(previous, u"5-", TRUE, TRUE, 8)), u"12");
    EXPECT_EQ(Text(CleanNumericText(previous, u"1.5", TRUE, FALSE, 8)), u"12");
    EXPECT_EQ(Text(CleanNumericText(previous, u"1.2.3", TRUE, TRUE, 8)), u"12");
    // The separator is '.', whatever the user's locale writes.
    EXPECT_EQ(Text(CleanNumericText(previous, u"1,5", TRUE, TRUE, 8)), u"12");
}

TEST(IsValueInRange, TakesFiniteValuesWithinInclusiveBounds)
{
    EXPECT_TRUE(IsValueInRange(5, 5, 5));
    EXPECT_FALSE(
        IsValueInRange(std::nanf(""), -std::numeric_limits<float>::max(), std::numeric_limits<float>::max()));
    EXPECT_FALSE(
        IsValueInRange(std::numeric_limits<float>::infinity(), 0, std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(IsValueInRange(4.99f, 5, 6));
}

struct FilterCase
{
    const char16_t* typed;
    const char16_t* kept;
};

TEST(FilterIntegerText, KeepsDigitsAndOneLeadingSign)
{
    for (const FilterCase& c :
         {FilterCase{u"1a2", u"12"}, FilterCase{u"--5", u"-5"}, FilterCase{u"  42  ", u"42"},
          FilterCase{u"4-2", u"42"}, FilterCase{u"1.5", u"15"}})
    {
        std::u16string text = c.typed;
        EXPECT_TRUE(FilterIntegerText(text));
        EXPECT_EQ(text, c.kept);
    }
    for (const char16_t* kept : {u"-123", u"+7"})
    {
        std::u16string text = kept;
        EXPECT_FALSE(FilterIntegerText(text));
        EXPECT_EQ(text, kept);
    }
}

TEST(FilterRealText, KeepsWhatCanStandInADecimalNumber)
{
    for (const FilterCase& c :
         {FilterCase{u"1.2.3", u"1.23"}, FilterCase{u"e5", u"5"}, FilterCase{u"1e5e", u"1e5"},
          FilterCase{u"1e5-", u"1e5"}, FilterCase{u"1e5.3.", u"1e5.3"}, FilterCase{u"--1", u"-1"},
          FilterCase{u" 3,5 ", u"35"}, FilterCase{u"1e+-5", u"1e+5"}})
    {
        std::u16string text = c.typed;
        EXPECT_TRUE(FilterRealText(text))
            << std::string(c.typed, c.typed + std::char_traits<char16_t>::length(c.typed));
        EXPECT_EQ(text, c.kept);
    }
    // The first separator stays wherever it stands, after the exponent too.
    for (const char16_t* kept : {u"1e5", u"1e-5", u".e5", u"-1.5E+3", u"+.5", u"1e5.3"})
    {
        std::u16string text = kept;
        EXPECT_FALSE(FilterRealText(text));
        EXPECT_EQ(text, kept);
    }
}

TEST(ParseText, TakesOnlyWholeNumbers)
{
    EXPECT_EQ(ParseIntegerText(u"247"), 247);
    EXPECT_EQ(ParseIntegerText(u"+8"), 8);
    EXPECT_EQ(ParseIntegerText(u"-0"), 0);
    for (const char16_t* refused : {u"", u"-", u"12a", u"1.5", u" 1", u"0x10"})
        EXPECT_FALSE(ParseIntegerText(refused).has_value());
    // Beyond the 32-bit range the nearer limit, as the Windows conversion gives it.
    EXPECT_EQ(ParseIntegerText(u"99999999999999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseIntegerText(u"-2147483649"), std::numeric_limits<int32_t>::min());

    EXPECT_EQ(ParseRealText(u"1.5e3"), 1500.0);
    EXPECT_EQ(ParseRealText(u".5"), 0.5);
    EXPECT_EQ(ParseRealText(u"-2."), -2.0);
    for (const char16_t* refused :
         {u"", u".", u"-", u"1e", u"1e+", u"e5", u"1.2.3", u"inf", u"nan", u"0x1p3", u"1,5"})
        EXPECT_FALSE(ParseRealText(refused).has_value());
    EXPECT_EQ(ParseRealText(u"1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseRealText(u"1e-999"), 0.0);
}

TEST(LeadingValue, ReadsTheLongestNumberAtTheStartAsTheSystemsConversionsDo)
{
    EXPECT_EQ(LeadingIntegerValue(u"12a"), 12);
    EXPECT_EQ(LeadingIntegerValue(u"-"), 0);
    EXPECT_EQ(LeadingIntegerValue(u"+7x"), 7);
    EXPECT_EQ(LeadingIntegerValue(u"x7"), 0);
    EXPECT_EQ(LeadingIntegerValue(u"-99999999999"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(LeadingRealValue(u"1e5.3"), 1e5);
    EXPECT_EQ(LeadingRealValue(u"1e"), 1.0);
    EXPECT_EQ(LeadingRealValue(u"2.5e+"), 2.5);
    EXPECT_EQ(LeadingRealValue(u"-.5e1z"), -5.0);
    for (const char16_t* none : {u"", u".", u"-", u"+.", u"e5", u"inf", u"nan"})
        EXPECT_EQ(LeadingRealValue(none), 0.0);
    EXPECT_EQ(LeadingRealValue(u"0x10"), 0.0) << "no hexadecimal";
}

TEST(NumericEditRules, ClampAValueOutsideTheRangeOfTheFirstModeWithARange)
{
    sNumericEditRules address;
    address.integerMode = TRUE;
    address.integerRangeOn = TRUE;
    address.integerMin = 1;
    address.integerMax = 247;
    EXPECT_EQ(address.ClampToRange(u"300"), u"247");
    EXPECT_EQ(address.ClampToRange(u"0"), u"1");
    EXPECT_EQ(address.ClampToRange(u"99999999999"), u"247");
    EXPECT_FALSE(address.ClampToRange(u"17").has_value());
    // An empty text is left alone; a sign alone reads as 0 and is pulled to the bound at once.
    EXPECT_FALSE(address.ClampToRange(u"").has_value());
    EXPECT_EQ(address.ClampToRange(u"-"), u"1");
    EXPECT_EQ(address.ClampToRange(u"+"), u"1");
    EXPECT_EQ(address.ClampToRange(u"-5"), u"1");

    sNumericEditRules salinity;
    salinity.floatMode = TRUE;
    salinity.floatRangeOn = TRUE;
    salinity.floatMin = 0;
    salinity.floatMax = 42.5f;
    EXPECT_EQ(salinity.ClampToRange(u"50"), u"42.500000");
    EXPECT_EQ(salinity.ClampToRange(u"-1e-3"), u"0.000000");
    // The leading number decides: "1e" is 1, "1e5.3" is 1e5, "." is 0.
    EXPECT_FALSE(salinity.ClampToRange(u"1e").has_value());
    EXPECT_EQ(salinity.ClampToRange(u"1e5.3"), u"42.500000");
    EXPECT_FALSE(salinity.ClampToRange(u".").has_value());
    sNumericEditRules gain = salinity;
    gain.floatMin = 0.5f;
    EXPECT_EQ(gain.ClampToRange(u"."), u"0.500000");
    EXPECT_EQ(gain.ClampToRange(u"-"), u"0.500000");

    sNumericEditRules elevation;
    elevation.doubleMode = TRUE;
    elevation.doubleRangeOn = TRUE;
    elevation.doubleMin = -400;
    elevation.doubleMax = 5500;
    EXPECT_EQ(elevation.ClampToRange(u"1e9"), u"5500.000000000000");

    // The integer mode comes first; without its range the float range decides.
    sNumericEditRules both = salinity;
    both.integerMode = TRUE;
    EXPECT_EQ(both.ClampToRange(u"50"), u"42.500000");
    sNumericEditRules rangeOnly;
    rangeOnly.integerRangeOn = TRUE;
    rangeOnly.integerMax = 3;
    EXPECT_FALSE(rangeOnly.ClampToRange(u"5").has_value());
}

} // namespace
