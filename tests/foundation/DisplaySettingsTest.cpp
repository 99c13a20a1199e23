#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/DisplaySettings.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/support/TestEnvironment.h"

using platform::Hive;
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
std::u16string Text(const CWideString& s)
{
    return s.IsEmpty() ? u"" : std::u16string(s);
}

class DisplaySettingsTest : public testing::Test
{
protected:
    DisplaySettingsTest() { ResetDisplaySettingsForTests(); }
    ~DisplaySettingsTest() override { ResetDisplaySettingsForTests(); }

    testsupport::ScopedConfigDir m_config;
    testsupport::ScopedEnv m_zone{"TZ", testsupport::kCentralEurope};
    testsupport::ScopedEnv m_locale{"LC_ALL", "C"};
};

const SYSTEMTIME kLateMarch{2024, 3, 0, 31, 23, 30, 0, 0}; // UTC; 01:30 on 1 April in Central Europe

} // namespace

TEST_F(DisplaySettingsTest, WorkingFolderDefaultsToTheDocumentsFolderAndIsCreated)
{
    const fs::path expected = platform::DocumentsDir() / "Fieldmere Data";
    fs::remove_all(expected);
    const CWideString folder = GetWorkingFolder();
    EXPECT_EQ(Narrow(folder), expected.string());
    EXPECT_TRUE(fs::is_directory(expected));

    const CWideString translate = GetTranslateFolder();
    EXPECT_EQ(Narrow(translate), (expected / "Translate").string());
    EXPECT_TRUE(fs::is_directory(expected / "Translate"));
}

TEST_F(DisplaySettingsTest, WorkingFolderTakesTheFirstStoredFolderThatExists)
{
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

TEST_F(DisplaySettingsTest, TimesAreShownInLocalTimeUnlessTheUserWorksInUtc)
{
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"04/01/24");
    EXPECT_EQ(Text(FormatDisplayDateTime(kLateMarch)), u"04/01/24 01:30:00");

    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"IgnoreDST", 1));
    EXPECT_EQ(Text(FormatDisplayTime(kLateMarch)), u"00:30:00");

    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"UseUTC", 1));
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"03/31/24");
    EXPECT_EQ(Text(FormatDisplayTime(kLateMarch)), u"23:30:00");
}

TEST_F(DisplaySettingsTest, CustomPatternsApplyOnlyWhenSetAndNotEmpty)
{
    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"UseUTC", 1));
    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"UseCustomDateFormat", 1));
    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSettingsKey, u"CustomDateFormat", u""));
    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSettingsKey, u"CustomTimeFormat", u"h:mm tt"));
    EXPECT_EQ(Text(FormatDisplayDateTime(kLateMarch)), u"03/31/24 11:30 PM");

    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSettingsKey, u"CustomDateFormat", u"dd.MM.yyyy"));
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"31.03.2024");

    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"UseCustomDateFormat", 0));
    EXPECT_EQ(Text(FormatDisplayDate(kLateMarch)), u"03/31/24");
}

TEST_F(DisplaySettingsTest, ALastReadValueStandsInForAMissingOne)
{
    EXPECT_FALSE(GetUseUTC());
    EXPECT_TRUE(GetCustomDateFormat().IsEmpty());
    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"UseUTC", 2));
    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSettingsKey, u"CustomDateFormat", u"yyyy"));
    EXPECT_TRUE(GetUseUTC());
    EXPECT_EQ(Text(GetCustomDateFormat()), u"yyyy");

    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSettingsKey, u"CustomDateFormat", u""));
    EXPECT_EQ(Text(GetCustomDateFormat()), u"yyyy");
    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kSettingsKey, u"UseUTC", u"0")); // not a DWORD
    EXPECT_TRUE(GetUseUTC());
    ASSERT_TRUE(settings::DeleteKey(Hive::CurrentUser, kSuiteKey));
    EXPECT_TRUE(GetUseUTC());
    EXPECT_EQ(Text(GetCustomDateFormat()), u"yyyy");

    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kSettingsKey, u"UseUTC", 0));
    EXPECT_FALSE(GetUseUTC());
}
