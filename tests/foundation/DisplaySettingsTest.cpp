#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/DateTimeFormat.h"
#include "foundation/DisplaySettings.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/foundation/WideText.h"
#include "tests/support/TestEnvironment.h"

using platform::Hive;
using testsupport::Text;

namespace settings = platform::settings;
namespace fs = std::filesystem;

namespace
{

constexpr const char16_t* kSuiteKey = u"Software\\Norvane\\Fieldmere";
constexpr const char16_t* kSettingsKey = u"Software\\Norvane\\Fieldmere\\SystemSettings";

std::string Narrow(const CWideString& text)
{
    return platform::Utf16ToUtf8(static_cast<const char16_t*>(text));
}
std::u16string Wide(const fs::path& path)
{
    return platform::Utf8ToUtf16(path.string());
}

class DisplaySettingsTest : public testing::Test
{
protected:
    DisplaySettingsTest() { ResetDisplaySettingsForTests(); }
    ~DisplaySettingsTest() override { ResetDisplaySettingsForTests(); }

    static bool SetDword(const char16_t* name, DWORD value)
    {
        return settings::SetDword(Hive::CurrentUser, kSettingsKey, name, value);
    }
    static bool SetString(const char16_t* name, const char16_t* value)
    {
        return settings::SetString(Hive::CurrentUser, kSettingsKey, name, value);
    }

    testsupport::ScopedConfigDir m_config;
    testsupport::ScopedEnv m_zone{"TZ", testsupport::kCentralEurope};
    testsupport::ScopedEnv m_locale{"LC_ALL", "C"};
};

const SYSTEMTIME kLateMarch{2024, 3, 0, 31, 23, 30, 0, 0}; // UTC; 01:30 on 1 April in Central Europe
const SYSTEMTIME kAfternoon{2024, 3, 2, 5, 14, 7, 9, 42};
const SYSTEMTIME kMorning{2024, 11, 6, 9, 8, 5, 3, 7};

std::u16string Pattern(const char16_t* pattern, const SYSTEMTIME& time)
{
    return Text(FormatDateTimePattern(pattern, time));
}

} // namespace

TEST_F(DisplaySettingsTest, PatternsWithAndWithoutLeadingZerosAndOtherCharactersCopied)
{
    EXPECT_EQ(Pattern(u"yyyy-MM-dd HH:mm:ss.ms", kAfternoon), u"2024-03-05 14:07:09.042");
    EXPECT_EQ(Pattern(u"dd.MM.yy", kMorning), u"09.11.24");
    EXPECT_EQ(Pattern(u"hh:mm tt", kAfternoon), u"02:07 PM");
    EXPECT_EQ(Pattern(u"d/M/yyyy H:m:s", kMorning), u"9/11/2024 8:5:3");
    // h alone makes a 12-hour time that ends with the designator, no blank between.
    EXPECT_EQ(Pattern(u"h:mm", kMorning), u"8:05AM");
    // Month names and minutes do not clash.
    EXPECT_EQ(Pattern(u"MMMM d, yyyy", kAfternoon), u"March 5, 2024");
    EXPECT_EQ(Pattern(u"MMM-dd HH:mm", kMorning), u"Nov-09 08:05");
    EXPECT_EQ(Pattern(u"M m", kMorning), u"11 5");
    // A '%' of the user's is text, not a directive.
    EXPECT_EQ(Pattern(u"%Y [yyyy] 100%", kAfternoon), u"%Y [2024] 100%");
    EXPECT_EQ(Pattern(u"%%n%", kAfternoon), u"%%n%");
    EXPECT_EQ(Pattern(nullptr, kAfternoon), u"");
    // The user locale's own formats.
    EXPECT_EQ(Text(FormatDate(kAfternoon)), u"03/05/24");
    EXPECT_EQ(Text(FormatDateTime(kMorning)), u"11/09/24 08:05:03");
}

TEST_F(DisplaySettingsTest, WorkingFolderIsTheFirstStoredFolderThatExistsOrTheCreatedDefault)
{
    const fs::path expected = platform::DocumentsDir() / "Fieldmere Data";
    fs::remove_all(expected);
    EXPECT_EQ(Narrow(GetWorkingFolder()), expected.string());
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(Narrow(GetTranslateFolder()), (expected / "Translate").string());
    EXPECT_TRUE(fs::is_directory(expected / "Translate"));

    const fs::path user = m_config.Path() / "user-data";
    const fs::path machine = m_config.Path() / "machine-data";
    fs::create_directories(user);
    fs::create_directories(machine);
    ASSERT_TRUE(
        settings::SetString(Hive::CurrentUser, kSuiteKey, u"WorkingDir", Wide(m_config.Path() / "gone")));
    ASSERT_TRUE(settings::SetString(Hive::LocalMachine, kSuiteKey, u"WorkingDir", Wide(machine) + u"/"));
    EXPECT_EQ(Narrow(GetWorkingFolder()), machine.string());
    EXPECT_FALSE(fs::exists(m_config.Path() / "gone")); // a stale setting creates nothing

    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSuiteKey, u"WorkingDir", Wide(user)));
    EXPECT_EQ(Narrow(GetWorkingFolder()), user.string());
}

TEST_F(DisplaySettingsTest, TimesAreShownInLocalTimeOrUtcWithCustomPatternsWhenSet)
{
    EXPECT_EQ(Text(FormatDisplayDateTime(kLateMarch)), u"04/01/24 01:30:00");
    ASSERT_TRUE(SetDword(u"IgnoreDST", 1));
    EXPECT_EQ(Text(FormatDisplayTime(kLateMarch)), u"00:30:00");
    ASSERT_TRUE(SetDword(u"UseUTC", 1));
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"03/31/24");
    EXPECT_EQ(Text(FormatDisplayTime(kLateMarch)), u"23:30:00");

    ASSERT_TRUE(SetDword(u"UseUTC", 1));
    ASSERT_TRUE(SetDword(u"UseCustomDateFormat", 1));
    ASSERT_TRUE(SetString(u"CustomDateFormat", u""));
    ASSERT_TRUE(SetString(u"CustomTimeFormat", u"h:mm tt %p"));
    EXPECT_EQ(Text(FormatDisplayDateTime(kLateMarch)), u"03/31/24 11:30 PM %p");
    ASSERT_TRUE(SetString(u"CustomDateFormat", u"dd.MM.yyyy %d"));
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"31.03.2024 %d");
    ASSERT_TRUE(SetDword(u"UseCustomDateFormat", 0));
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"03/31/24");
}

TEST_F(DisplaySettingsTest, ALastReadValueStandsInForAMissingOne)
{
    EXPECT_FALSE(GetUseUTC());
    ASSERT_TRUE(SetDword(u"UseUTC", 2));
    ASSERT_TRUE(SetString(u"CustomDateFormat", u"yyyy"));
    EXPECT_TRUE(GetUseUTC());
    EXPECT_EQ(Text(GetCustomDateFormat()), u"yyyy");

    ASSERT_TRUE(SetString(u"CustomDateFormat", u""));
    ASSERT_TRUE(SetString(u"UseUTC", u"0")); // not a DWORD
    EXPECT_TRUE(GetUseUTC());
    EXPECT_EQ(Text(GetCustomDateFormat()), u"yyyy");
    ASSERT_TRUE(settings::DeleteKey(Hive::CurrentUser, kSuiteKey));
    EXPECT_TRUE(GetUseUTC());
    EXPECT_EQ(Text(GetCustomDateFormat()), u"yyyy");

    ASSERT_TRUE(SetDword(u"UseUTC", 0));
    EXPECT_FALSE(GetUseUTC());
}
