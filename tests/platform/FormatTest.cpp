#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/Format.h"
#include "tests/support/TestEnvironment.h"

namespace
{

std::u16string Wide(size_t maxUnits, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string out = u"<unchanged>";
    if (!platform::FormatWideV(out, maxUnits, format, args))
        out = u"<refused>";
    va_end(args);
    return out;
}

template <typename... Args>
std::u16string W(const char16_t* format, Args... args)
{
    return Wide(4096, format, args...);
}

// Compiles a locale whose decimal point is a comma into the test's own folder, so that a
// dependence on the process locale shows on any machine.
bool UseCommaDecimalLocale()
{
    const auto dir = testsupport::ProcessTempDir() / "locales";
    const auto source = dir / "comma.def";
    std::filesystem::create_directories(dir);
    std::ofstream(source)
        << "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
           "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n";
    const std::string command = "localedef -c -i '" + source.string() + "' -f UTF-8 '" +
                                (dir / "xx_XX.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1)
        return false;
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
}

class FormatInCommaLocale : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!UseCommaDecimalLocale())
            GTEST_SKIP() << "no locale with a decimal comma could be built";
        char probe[16];
        std::snprintf(probe, sizeof(probe), "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5"); // the process locale really is in effect
    }
    void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
};

} // namespace

TEST_F(FormatInCommaLocale, NumbersKeepThePoint)
{
    EXPECT_EQ(platform::Format("%.2f|%g|%e", 1.5, 0.25, 1e10), "1.50|0.25|1.000000e+10");
    EXPECT_EQ(W(u"%.2f|%g", 1.5, 0.25), u"1.50|0.25");
}

TEST(Format, NarrowTextOfAnyLength)
{
    const std::string longText(1000, 'x');
    EXPECT_EQ(platform::Format("[%s]", longText.c_str()), "[" + longText + "]");
    EXPECT_EQ(platform::Format("%d-%u-%08X", -7, 7u, 0xBEEFu), "-7-7-0000BEEF");
}

TEST(FormatWide, TextArgumentsFollowTheWindowsWideConventions)
{
    EXPECT_EQ(W(u"%s|%ls|%ws", u"one", u"two", u"three"), u"one|two|three");
    // Upper-case S and the h prefix take UTF-8 text.
    EXPECT_EQ(W(u"%S|%hs|%hS",
                "Gr\xC3\xBC\xC3\x9F"
                "e",
                "a", "b"),
              u"Gr\u00FC\u00DFe|a|b");
    EXPECT_EQ(W(u"%lS", u"wide"), u"wide");
    EXPECT_EQ(W(u"%s|%S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
              u"(null)|(null)");
    EXPECT_EQ(W(u"%c%C%hc%lc", int(u'\u20AC'), int('A'), int('b'), int(u'z')), u"\u20ACAbz");
    EXPECT_EQ(W(u"%C", 0xE9), u"\uFFFD"); // a lone byte above 0x7F is no UTF-8
    EXPECT_EQ(W(u"100%%"), u"100%");
}

TEST(FormatWide, TextWidthPrecisionAndPadding)
{
    EXPECT_EQ(W(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcdef"), u"[   ab][ab   ][ab]");
    EXPECT_EQ(W(u"[%05s]", u"ab"), u"[000ab]"); // the Windows formatter pads text with zeros too
    EXPECT_EQ(W(u"[%3c]", int(u'x')), u"[  x]");
    // A precision cut never leaves half a UTF-8 sequence behind.
    EXPECT_EQ(W(u"[%.2S]", "a\xC3\xA9"), u"[a]");
    EXPECT_EQ(W(u"[%.3S]", "a\xC3\xA9"), u"[a\u00E9]");
}

TEST(FormatWide, PrecisionBoundsTheReadOfUnterminatedText)
{
    const char narrow[3] = {'a', 'b', 'c'};
    const char16_t wide[2] = {u'x', u'y'};
    EXPECT_EQ(W(u"%.3S|%.2s", narrow, wide), u"abc|xy");
}

TEST(FormatWide, IntegerSizesAreTheWindowsOnes)
{
    EXPECT_EQ(W(u"%d|%i|%u", -5, 42, 4000000000u), u"-5|42|4000000000");
    // l is 32 bits as a Windows long; ll and I64 are 64 bits; h truncates to 16 bits.
    EXPECT_EQ(W(u"%ld|%lu", int32_t(-1), uint32_t(0xFFFFFFFF)), u"-1|4294967295");
    EXPECT_EQ(W(u"%lld|%I64u", INT64_MIN, UINT64_MAX), u"-9223372036854775808|18446744073709551615");
    EXPECT_EQ(W(u"%I32d|%hd|%hu|%hhx", 7, 70000, 70000, 0x1FF), u"7|4464|4464|ff");
    EXPECT_EQ(W(u"%Iu|%Ix", SIZE_MAX, size_t(255)), u"18446744073709551615|ff");
    EXPECT_EQ(W(u"%x|%X|%o|%#x|%08X", 255u, 255u, 8u, 255u, 0x1234u), u"ff|FF|10|0xff|00001234");
}

TEST(FormatWide, FlagsAndStarArguments)
{
    EXPECT_EQ(W(u"[%-5d][%05d][%+d][% d]", 42, 42, 42, 42), u"[42   ][00042][+42][ 42]");
    EXPECT_EQ(W(u"[%*d][%*d]", 4, 7, -4, 7), u"[   7][7   ]");               // negative width: left-aligned
    EXPECT_EQ(W(u"[%.*f][%.*f]", 2, 3.14159, -1, 1.0), u"[3.14][1.000000]"); // negative: none
    EXPECT_EQ(W(u"[%.3d]", 5), u"[005]");
}

TEST(FormatWide, FloatingConversions)
{
    EXPECT_EQ(W(u"%f|%e|%E|%g|%G", 1.5, 1.5, 1.5, 1e-5, 1e20),
              u"1.500000|1.500000e+00|1.500000E+00|1e-05|1E+20");
    EXPECT_EQ(W(u"%lf|%a", 2.0, 1.0), u"2.000000|0x1p+0");
    EXPECT_EQ(W(u"%g", static_cast<double>(1.1f)), u"1.1");
}

TEST(FormatWide, PointerIsFullWidthUpperCaseHex)
{
    EXPECT_EQ(W(u"%p", reinterpret_cast<void*>(0xABCDEF)), u"0000000000ABCDEF");
}

TEST(FormatWide, RefusalsLeaveTheOutputUntouched)
{
    int written = 0;
    EXPECT_EQ(W(u"a%n", &written), u"<refused>");
    EXPECT_EQ(written, 0);
    EXPECT_EQ(W(u"%k", 1), u"<refused>");
    EXPECT_EQ(W(u"50%"), u"<refused>");
    EXPECT_EQ(W(u"%Lf", 1.0), u"<refused>");
    EXPECT_EQ(W(u"%I64s", u"x"), u"<refused>");
    EXPECT_EQ(Wide(10, nullptr), u"<refused>");
}

TEST(FormatWide, ResultLongerThanTheLimitIsRefused)
{
    EXPECT_EQ(Wide(5, u"%s", u"12345"), u"12345");
    EXPECT_EQ(Wide(5, u"%s", u"123456"), u"<refused>");
    EXPECT_EQ(Wide(5, u"12%d", 3456), u"<refused>");
    EXPECT_EQ(Wide(5, u"123456"), u"<refused>");
    EXPECT_EQ(Wide(5, u"%6s", u"a"), u"<refused>");
    // Widths and precisions far beyond the limit are refused without being worked through.
    EXPECT_EQ(Wide(100, u"%999999999d", 1), u"<refused>");
    EXPECT_EQ(Wide(100, u"%.999999999f", 1.0), u"<refused>");
    EXPECT_EQ(Wide(100, u"%99999999999999999999d", 1), u"<refused>");
    // A huge %g precision only caps significant digits, so the short result still fits.
    EXPECT_EQ(Wide(100, u"%.999999999g", 0.5), u"0.5");
}
