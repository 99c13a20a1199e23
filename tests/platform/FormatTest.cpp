// Locale-free numbers and printf-style formats: the same results in a locale with a decimal comma,
// the Windows wide formatter's conventions, and its refusals and length limit.
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Format.h"
#include "platform/Numbers.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using namespace platform;

std::u16string Wide(size_t maxUnits, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string out = u"<unchanged>";
    if (!FormatWideV(out, maxUnits, format, args))
        out = u"<refused>";
    va_end(args);
    return out;
}

template <typename... Args>
std::u16string W(const char16_t* format, Args... args)
{
    return Wide(4096, format, args...);
}

// A locale whose decimal point is a comma, compiled once into the test's own folder, so that a
// dependence on the process locale shows on any machine.
class InCommaLocale : public testing::Test
{
protected:
    void SetUp() override
    {
        static const bool built = []
        {
            const auto dir = testsupport::ProcessTempDir() / "locales";
            std::filesystem::create_directories(dir);
            std::ofstream(dir / "comma.def")
                << "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
                   "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n";
            const std::string command = "localedef -c -i '" + (dir / "comma.def").string() + "' -f UTF-8 '" +
                                        (dir / "xx_XX.UTF-8").string() + "' >/dev/null 2>&1";
            setenv("LOCPATH", dir.c_str(), 1);
            return std::system(command.c_str()) != -1;
        }();
        if (!built || std::setlocale(LC_NUMERIC, "xx_XX.UTF-8") == nullptr)
            GTEST_SKIP() << "no locale with a decimal comma could be built";
        char probe[16];
        std::snprintf(probe, sizeof(probe), "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5"); // the process locale really is in effect
    }
    void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
};

TEST_F(InCommaLocale, FormatsKeepThePoint)
{
    EXPECT_EQ(Format("%.2f|%g|%e", 1.5, 0.25, 1e10), "1.50|0.25|1.000000e+10");
    EXPECT_EQ(W(u"%.2f|%g", 1.5, 0.25), u"1.50|0.25");
}

TEST_F(InCommaLocale, NumbersAreShortestOrRoundLikePrintfInTheCLocale)
{
    std::setlocale(LC_NUMERIC, "C"); // for printf's own results, then the comma again
    std::vector<std::string> expected;
    char text[400];
    for (double value : {2.345, 1.005, 0.5, 1.5, 2.5, -0.0049, 123456.789, 1e21})
        for (int decimals : {0, 1, 2, 6})
            expected.emplace_back(text, std::snprintf(text, sizeof text, "%.*f", decimals, value));
    ASSERT_NE(std::setlocale(LC_NUMERIC, "xx_XX.UTF-8"), nullptr);
    auto next = expected.begin();
    for (double value : {2.345, 1.005, 0.5, 1.5, 2.5, -0.0049, 123456.789, 1e21})
        for (int decimals : {0, 1, 2, 6})
            EXPECT_EQ(FormatFixed(value, decimals), *next++) << value << " " << decimals;
    EXPECT_EQ(FormatFixed(3.14159, 3), "3.142");
    EXPECT_EQ(FormatFixed(1.0, -1), "1.000000"); // printf's missing precision
    EXPECT_EQ(FormatFixed(1e308, 2).size(), 312u);
    EXPECT_EQ(FormatDouble(1.5), "1.5");
    EXPECT_EQ(FormatDouble(0.1), "0.1");
    EXPECT_EQ(FormatDouble(1e20), "1e+20");
    EXPECT_EQ(FormatDouble(-2.0), "-2");
    for (double value : {0.1 + 0.2, 1.0 / 3.0, 6.02214076e23, 5e-324, -1.7976931348623157e308})
        EXPECT_EQ(ParseDouble(FormatDouble(value)), value) << FormatDouble(value);
}

TEST_F(InCommaLocale, ParseDoubleTakesWholeTextsOnly)
{
    EXPECT_EQ(ParseDouble(" 1.5\t"), 1.5);
    EXPECT_EQ(ParseDouble("-0.25e1"), -2.5);
    for (const char* bad : {"", "  ", "1,5", "1.5x", "x1", "1 2", "+-1", "++1", "- 1", "+", "nan", "inf",
                            "-infinity", "1e400", "0x10"})
        EXPECT_FALSE(ParseDouble(bad).has_value()) << bad;
}

TEST(NumbersTest, ParseIntegersWithSignsBasesAndLimits)
{
    EXPECT_EQ(ParseInt(" -42 "), -42);
    EXPECT_EQ(ParseInt("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ParseInt("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_FALSE(ParseInt("9223372036854775808"));
    EXPECT_FALSE(ParseInt("-9223372036854775809"));
    EXPECT_EQ(ParseInt("0x1f", 16), 31);
    EXPECT_EQ(ParseInt("-0X10", 16), -16);
    EXPECT_EQ(ParseInt("777", 8), 511);
    for (const char* bad : {"", "--1", "+-1", "-+1", "1.0", "12a", "0x", "4 2", "- 1"})
        EXPECT_FALSE(ParseInt(bad)) << bad;
    EXPECT_FALSE(ParseInt("0x10")); // the prefix belongs to base 16 only
    EXPECT_FALSE(ParseInt("10", 37));

    EXPECT_EQ(ParseUInt("18446744073709551615"), std::numeric_limits<uint64_t>::max());
    EXPECT_FALSE(ParseUInt("18446744073709551616"));
    // strtoul would wrap this around to a huge number.
    EXPECT_FALSE(ParseUInt("-1"));
    EXPECT_EQ(ParseUInt("FFFFFFFF", 16), 0xFFFFFFFFu);
}

TEST(FormatWide, TextArgumentsFollowTheWindowsWideConventions)
{
    const std::string longText(1000, 'x');
    EXPECT_EQ(Format("[%s]", longText.c_str()), "[" + longText + "]"); // narrow text of any length
    EXPECT_EQ(W(u"%s|%ls|%ws", u"one", u"two", u"three"), u"one|two|three");
    // Upper-case S and the h prefix take UTF-8 text.
    EXPECT_EQ(W(u"%S|%hs|%lS", "Gr\303\274\303\237e", "a", u"wide"), u"Gr\u00FC\u00DFe|a|wide");
    EXPECT_EQ(W(u"%s|%S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
              u"(null)|(null)");
    EXPECT_EQ(W(u"%c%C%hc%lc", int(u'\u20AC'), int('A'), int('b'), int(u'z')), u"\u20ACAbz");
    EXPECT_EQ(W(u"%C", 0xE9), u"\uFFFD"); // a lone byte above 0x7F is no UTF-8
    EXPECT_EQ(W(u"100%%"), u"100%");
    EXPECT_EQ(W(u"[%5s][%-5s][%.2s][%3c]", u"ab", u"ab", u"abcdef", int(u'x')), u"[   ab][ab   ][ab][  x]");
    EXPECT_EQ(W(u"[%05s]", u"ab"), u"[000ab]"); // the Windows formatter pads text with zeros too
    // A precision cut never leaves half a UTF-8 sequence behind, and bounds the read of text
    // without a terminator.
    EXPECT_EQ(W(u"[%.2S][%.3S]", "a\xC3\xA9", "a\xC3\xA9"), u"[a][a\u00E9]");
    const char narrow[3] = {'a', 'b', 'c'};
    const char16_t wide[2] = {u'x', u'y'};
    EXPECT_EQ(W(u"%.3S|%.2s", narrow, wide), u"abc|xy");
}

TEST(FormatWide, NumbersFollowTheWindowsConventions)
{
    // l is 32 bits as a Windows long; ll and I64 are 64 bits; h truncates to 16 bits.
    EXPECT_EQ(W(u"%d|%i|%u|%ld|%lu", -5, 42, 4000000000u, int32_t(-1), uint32_t(0xFFFFFFFF)),
              u"-5|42|4000000000|-1|4294967295");
    EXPECT_EQ(W(u"%lld|%I64u", INT64_MIN, UINT64_MAX), u"-9223372036854775808|18446744073709551615");
    EXPECT_EQ(W(u"%I32d|%hd|%hu|%hhx", 7, 70000, 70000, 0x1FF), u"7|4464|4464|ff");
    EXPECT_EQ(W(u"%Iu|%Ix", SIZE_MAX, size_t(255)), u"18446744073709551615|ff");
    EXPECT_EQ(W(u"%x|%X|%o|%#x|%08X", 255u, 255u, 8u, 255u, 0x1234u), u"ff|FF|10|0xff|00001234");
    EXPECT_EQ(W(u"[%-5d][%05d][%+d][% d][%.3d]", 42, 42, 42, 42, 5), u"[42   ][00042][+42][ 42][005]");
    EXPECT_EQ(W(u"[%*d][%*d]", 4, 7, -4, 7), u"[   7][7   ]");               // negative width: left-aligned
    EXPECT_EQ(W(u"[%.*f][%.*f]", 2, 3.14159, -1, 1.0), u"[3.14][1.000000]"); // negative: none
    EXPECT_EQ(W(u"%f|%e|%E|%g|%G", 1.5, 1.5, 1.5, 1e-5, 1e20),
              u"1.500000|1.500000e+00|1.500000E+00|1e-05|1E+20");
    EXPECT_EQ(W(u"%lf|%a|%g", 2.0, 1.0, static_cast<double>(1.1f)), u"2.000000|0x1p+0|1.1");
    EXPECT_EQ(W(u"%p", reinterpret_cast<void*>(0xABCDEF)), u"0000000000ABCDEF");
}

TEST(FormatWide, RefusalsAndResultsLongerThanTheLimitLeaveTheOutputUntouched)
{
    int written = 0;
    EXPECT_EQ(W(u"a%n", &written), u"<refused>");
    EXPECT_EQ(written, 0);
    EXPECT_EQ(W(u"%k", 1), u"<refused>");
    EXPECT_EQ(W(u"50%"), u"<refused>");
    EXPECT_EQ(W(u"%Lf", 1.0), u"<refused>");
    EXPECT_EQ(W(u"%I64s", u"x"), u"<refused>");
    EXPECT_EQ(Wide(10, nullptr), u"<refused>");

    EXPECT_EQ(Wide(5, u"%s", u"12345"), u"12345");
    EXPECT_EQ(Wide(5, u"%s", u"123456"), u"<refused>");
    EXPECT_EQ(Wide(5, u"12%d", 3456), u"<refused>");
    EXPECT_EQ(Wide(5, u"%6s", u"a"), u"<refused>");
    // Widths and precisions far beyond the limit are refused without being worked through.
    EXPECT_EQ(Wide(100, u"%999999999d", 1), u"<refused>");
    EXPECT_EQ(Wide(100, u"%.999999999f", 1.0), u"<refused>");
    EXPECT_EQ(Wide(100, u"%99999999999999999999d", 1), u"<refused>");
    // A huge %g precision only caps significant digits, so the short result still fits.
    EXPECT_EQ(Wide(100, u"%.999999999g", 0.5), u"0.5");
}

} // namespace
