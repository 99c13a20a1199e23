// Connection strings, their most-recently-used list in the profile and the strings a search tries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace apptest
{
namespace
{

constexpr ULONG kUntouched = 99;
constexpr USHORT kUntouchedAddress = 999;

struct ParseCase
{
    const char16_t* text;
    BOOL result;
    std::vector<ULONG> ids; // baud, data bits, parity, stop bits, mode as far as written
    USHORT address;
};

void PrintTo(const ParseCase& parseCase, std::ostream* os)
{
    *os << ::testing::PrintToString(std::u16string(parseCase.text));
}

class ConnectionStringParse : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ConnectionStringParse, WritesTheFieldsUpToTheFirstBadOne)
{
    std::vector<ULONG> ids(5, kUntouched);
    USHORT address = kUntouchedAddress;
    EXPECT_EQ(ParseConnectionString(GetParam().text, ids[0], ids[1], ids[2], ids[3], ids[4], address),
              GetParam().result);
    std::vector<ULONG> wanted = GetParam().ids;
    wanted.resize(5, kUntouched);
    EXPECT_EQ(ids, wanted);
    EXPECT_EQ(address, GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConnectionStringParse,
    ::testing::Values(ParseCase{u"19200,8,e,1,rtu,1", TRUE, {6, 1, 0, 0, 0}, 1},
                      ParseCase{u" 57600 , 7 , N , 2 , Ascii , 247,extra", TRUE, {8, 0, 2, 1, 1}, 247},
                      ParseCase{u"38400,8,O,1,RTU,12abc", TRUE, {7, 1, 1, 0, 0}, 12},
                      ParseCase{u"4800,8,E,1,RTU,1", FALSE, {}, kUntouchedAddress},
                      ParseCase{u"19200,8,X,1,RTU,1", FALSE, {6, 1}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU,248", FALSE, {6, 1, 0, 0, 0}, 248},
                      // Narrowed to 16 bits first, these would pass as address 1.
                      ParseCase{u"19200,8,E,1,RTU,65537", FALSE, {6, 1, 0, 0, 0}, kUntouchedAddress},
                      ParseCase{
                          u"19200,8,E,1,RTU,9999999999999999999", FALSE, {6, 1, 0, 0, 0}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU,-1", FALSE, {6, 1, 0, 0, 0}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU", FALSE, {}, kUntouchedAddress}));

TEST(ConnectionString, EverySettingComesBackFromItsText)
{
    for (ULONG baud = 5; baud <= 8; ++baud)
        for (ULONG dataBits = 0; dataBits <= 1; ++dataBits)
            for (ULONG parity = 0; parity <= 2; ++parity)
                for (ULONG mode = 0; mode <= 1; ++mode)
                {
                    sCommSettings parsed;
                    ASSERT_TRUE(ParseConnectionString(
                        FormatConnectionString(baud, dataBits, parity, 1, mode, 9), parsed));
                    EXPECT_EQ(parsed, (sCommSettings{baud, dataBits, parity, 1, mode, 9, 1}));
                }
}

std::vector<std::u16string> StoredList()
{
    std::vector<std::u16string> texts;
    for (int i = 0; i < 10; ++i)
        if (CWideString text =
                GetProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(i), nullptr);
            !text.IsEmpty())
            texts.push_back(Text(text));
    return texts;
}

void StoreList(const std::vector<const char16_t*>& texts)
{
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 5);
    for (size_t i = 0; i < texts.size(); ++i)
        WriteProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(static_cast<int>(i)),
                           texts[i]);
}

TEST(ConnectionStringList, MovesAStringToTheFrontDropsTheOldestAndSurvivesABadStore)
{
    testsupport::ScopedConfigDir config;
    StoreList({u"9600,8,E,1,RTU,1", u"9600,8,E,1,RTU,2", u"9600,8,E,1,RTU,3", u"9600,8,E,1,RTU,4"});
    EXPECT_TRUE(StoreConnectionString(5, 1, 0, 0, 0, 3));
    EXPECT_EQ(StoredList(), (std::vector<std::u16string>{u"9600,8,E,1,RTU,3", u"9600,8,E,1,RTU,1",
                                                         u"9600,8,E,1,RTU,2", u"9600,8,E,1,RTU,4"}));
    // Settings without a text, stored first, would end every search at entry 0.
    EXPECT_FALSE(StoreConnectionString(6, 1, 0, 0, 0, 248));
    EXPECT_FALSE(StoreConnectionString(6, 1, 3, 0, 0, 1));
    EXPECT_EQ(StoredList().size(), 4u);
    EXPECT_TRUE(StoreConnectionString(5, 1, 0, 0, 0, 5));
    EXPECT_TRUE(StoreConnectionString(5, 1, 0, 0, 0, 6));
    EXPECT_EQ(StoredList(),
              (std::vector<std::u16string>{u"9600,8,E,1,RTU,6", u"9600,8,E,1,RTU,5", u"9600,8,E,1,RTU,3",
                                           u"9600,8,E,1,RTU,1", u"9600,8,E,1,RTU,2"}));
    // A hand-edited size cannot make a store walk for ever.
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0x7FFFFFFF);
    EXPECT_EQ(GetMaxStoredConnectionStrings(), MAX_STORED_CONNECTION_STRINGS);
}

// A list the settings file has no room for is told once and kept as it was: taking the old entries
// out first, then failing to write them back, would have lost it.
TEST(ConnectionStringList, AStoreTheSettingsFileCannotTakeKeepsTheOldListAndIsToldOnce)
{
    testsupport::ScopedConfigDir config;
    StoreList({u"9600,8,E,1,RTU,1", u"9600,8,E,1,RTU,2", u"9600,8,E,1,RTU,3", u"9600,8,E,1,RTU,4"});
    const std::filesystem::path file = config.Path() / "user.reg";
    // Filled to a few bytes below the size bound (1 MiB here, for speed).
    testsupport::FillUserHiveTo(file, 8);
    std::ifstream in(file, std::ios::binary);
    const std::string before{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    testsupport::ScriptedMessageBox boxes;
    EXPECT_TRUE(StoreConnectionString(8, 1, 0, 0, 0, 247));
    ASSERT_EQ(boxes.Shown_().size(), 1u);
    EXPECT_NE(boxes.Shown_()[0].text.find(platform::Utf8ToUtf16(file.string())), std::u16string::npos);
    EXPECT_NE(boxes.Shown_()[0].text.find(u"The change was not saved to the settings file"),
              std::u16string::npos);
    std::ifstream after(file, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(after), std::istreambuf_iterator<char>()) ==
                before);
    EXPECT_EQ(StoredList(), (std::vector<std::u16string>{u"9600,8,E,1,RTU,1", u"9600,8,E,1,RTU,2",
                                                         u"9600,8,E,1,RTU,3", u"9600,8,E,1,RTU,4"}));
}

TEST(ConnectionStringList, TheSearchTriesStoredStringsThenTheDefaultOnce)
{
    testsupport::ScopedConfigDir config;
    const auto searched = []
    {
        std::vector<std::u16string> texts;
        for (const CWideString& text : GetSearchConnectionStrings())
            texts.push_back(Text(text));
        return texts;
    };
    EXPECT_EQ(searched(), std::vector<std::u16string>{u"19200,8,E,1,RTU,1"});
    // The walk ends at the first empty entry; a default equal to a stored string comes only once.
    StoreList({u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1", u"", u"57600,8,E,1,RTU,1"});
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"38400,8,E,1,RTU,1");
    EXPECT_EQ(searched(), (std::vector<std::u16string>{u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1"}));
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"19200,8,E,1,RTU,7");
    EXPECT_EQ(searched().back(), u"19200,8,E,1,RTU,7");
}

} // namespace
} // namespace apptest
