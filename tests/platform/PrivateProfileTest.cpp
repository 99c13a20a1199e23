// The INI reader behind the skin file, held to the rules of the Windows private-profile functions
// that skin files are written for.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/PrivateProfile.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using platform::CPrivateProfile;

CPrivateProfile Parsed(const std::string& text)
{
    CPrivateProfile profile;
    profile.Parse(text);
    return profile;
}

TEST(PrivateProfile, NamesCompareWithoutCaseAndValuesAreTrimmedAndUnquoted)
{
    const CPrivateProfile profile = Parsed("; skin of the service program\r\n"
                                           "[MainWindow]\r\n"
                                           "  Title =  \"  Oxygen Service \"  \r\n"
                                           "BackgroundImage='back.bmp'\r\n"
                                           "Mixed=\"half'\r\n"
                                           "  ; IconImage=commented.ico\r\n"
                                           "[ Names ]\n"
                                           "VOXPro=Probe \"One\"\n");
    EXPECT_EQ(profile.GetString(u"mainwindow", u"TITLE", u"x"), u"  Oxygen Service ");
    EXPECT_EQ(profile.GetString(u"MainWindow", u"BackgroundImage", u""), u"back.bmp");
    // Quotes go only in matching pairs around the whole value.
    EXPECT_EQ(profile.GetString(u"MainWindow", u"Mixed", u""), u"\"half'");
    EXPECT_EQ(profile.GetString(u"Names", u"voxpro", u""), u"Probe \"One\"");
    // Comment lines hold no keys; a missing section or key gives the default.
    EXPECT_EQ(profile.GetString(u"MainWindow", u"IconImage", u"none"), u"none");
    EXPECT_EQ(profile.GetString(u"Other", u"Title", u"none"), u"none");
}

TEST(PrivateProfile, TheFirstOccurrenceWinsAndStrayLinesAreIgnored)
{
    const CPrivateProfile profile = Parsed("Orphan=before any section\n"
                                           "[TabBitmaps]\n"
                                           "Normal=first.bmp\n"
                                           "a line without an equals sign\n"
                                           "Normal=second.bmp\n"
                                           "[tabbitmaps]\n"
                                           "Normal=third.bmp\n"
                                           "Hover=hover.bmp\n"
                                           "[Unclosed\n"
                                           "Key=value");
    EXPECT_EQ(profile.GetString(u"TabBitmaps", u"Normal", u""), u"first.bmp");
    // A repeated section adds its keys.
    EXPECT_EQ(profile.GetString(u"TabBitmaps", u"Hover", u""), u"hover.bmp");
    EXPECT_EQ(profile.GetString(u"", u"Orphan", u"none"), u"none");
    EXPECT_EQ(profile.GetString(u"Unclosed", u"Key", u""), u"value");
}

TEST(PrivateProfile, IntegersAreTheLeadingSignedDecimalAndEmptyValuesTakeTheDefault)
{
    const CPrivateProfile profile = Parsed("[C]\nRed=300\nGreen=-5\nBlue=12abc\nText=abc\nEmpty=\n"
                                           "Plus=+7\nHex=0x10\nHuge=99999999999\nTiny=-99999999999\n");
    EXPECT_EQ(profile.GetInt(u"C", u"Red", -1), 300);
    EXPECT_EQ(profile.GetInt(u"C", u"Green", -1), -5);
    EXPECT_EQ(profile.GetInt(u"C", u"Blue", -1), 12);
    EXPECT_EQ(profile.GetInt(u"C", u"Text", -1), 0);
    EXPECT_EQ(profile.GetInt(u"C", u"Empty", -1), -1);
    EXPECT_EQ(profile.GetInt(u"C", u"Missing", -1), -1);
    EXPECT_EQ(profile.GetInt(u"C", u"Plus", -1), 7);
    EXPECT_EQ(profile.GetInt(u"C", u"Hex", -1), 0);
    EXPECT_EQ(profile.GetInt(u"C", u"Huge", -1), 2147483647);
    EXPECT_EQ(profile.GetInt(u"C", u"Tiny", -1), -2147483647 - 1);
}

TEST(PrivateProfile, ValuesAreCutAtTheLengthOfTheCallersBuffer)
{
    const std::string longValue(1500, 'x');
    const CPrivateProfile profile = Parsed("[S]\nLong=" + longValue + "\n");
    EXPECT_EQ(profile.GetString(u"S", u"Long", u"").size(), CPrivateProfile::kMaxValueUnits);
    // A cut never splits a character in two: U+1F600 takes two code units.
    std::string emoji =
        "[S]\nSmile=" + std::string(CPrivateProfile::kMaxValueUnits - 1, 'y') + "\xF0\x9F\x98\x80";
    const std::u16string cut = Parsed(emoji).GetString(u"S", u"Smile", u"");
    EXPECT_EQ(cut, std::u16string(CPrivateProfile::kMaxValueUnits - 1, u'y'));
}

TEST(PrivateProfile, ReadsUtf16AndUtf8FilesAndRefusesMissingOnes)
{
    testsupport::ScopedConfigDir dir;
    const auto utf16 = dir.Path() / "wide.ini";
    {
        std::ofstream out(utf16, std::ios::binary);
        const std::u16string text = u"[Names]\r\nVOXPro=Sonde \u00C4\r\n";
        out.put(static_cast<char>(0xFF)).put(static_cast<char>(0xFE));
        for (char16_t unit : text)
            out.put(static_cast<char>(unit & 0xFF)).put(static_cast<char>(unit >> 8));
    }
    CPrivateProfile profile;
    ASSERT_TRUE(profile.Load(utf16));
    EXPECT_EQ(profile.GetString(u"Names", u"VOXPro", u""), u"Sonde \u00C4");

    const auto utf8 = dir.Path() / "bom.ini";
    std::ofstream(utf8, std::ios::binary) << "\xEF\xBB\xBF[Names]\nVOXBrawn=Sonde \xC3\x96\n";
    ASSERT_TRUE(profile.Load(utf8));
    EXPECT_EQ(profile.GetString(u"Names", u"VOXBrawn", u""), u"Sonde \u00D6");
    // Bytes that are not UTF-8 cost only their own character.
    EXPECT_EQ(Parsed("[N]\nA=caf\xE9!\n").GetString(u"N", u"A", u""), u"caf\uFFFD!");

    EXPECT_FALSE(profile.Load(dir.Path() / "missing.ini"));
    EXPECT_EQ(profile.GetString(u"Names", u"VOXBrawn", u"gone"), u"gone");
    EXPECT_FALSE(profile.Load(dir.Path()));
}

} // namespace
