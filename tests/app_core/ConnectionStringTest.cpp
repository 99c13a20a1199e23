// Connection strings, the most-recently-used list in the profile and the strings a search tries.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/connection/AppProfile.h"
#include "app/connection/ConnectionString.h"
#include "platform/SettingsStore.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

constexpr ULONG kUntouched = 99;
constexpr USHORT kUntouchedAddress = 999;

struct Parsed
{
    BOOL result = FALSE;
    ULONG ids[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
    USHORT address = kUntouchedAddress;
};

Parsed Parse(const char16_t* text)
{
    Parsed parsed;
    parsed.result = ParseConnectionString(text, parsed.ids[0], parsed.ids[1], parsed.ids[2], parsed.ids[3],
                                          parsed.ids[4], parsed.address);
    return parsed;
}

struct ParseCase
{
    const char16_t* text;
    BOOL result;
    std::vector<ULONG> ids; // baud, data bits, parity, stop bits, mode
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
    const ParseCase& expected = GetParam();
    const Parsed parsed = Parse(expected.text);
    EXPECT_EQ(parsed.result, expected.result);
    std::vector<ULONG> ids(std::begin(parsed.ids), std::end(parsed.ids));
    std::vector<ULONG> wanted = expected.ids;
    wanted.resize(5, kUntouched);
    EXPECT_EQ(ids, wanted);
    EXPECT_EQ(parsed.address, expected.address);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConnectionStringParse,
    ::testing::Values(ParseCase{u"19200,8,e,1,rtu,1", TRUE, {6, 1, 0, 0, 0}, 1},
                      ParseCase{u" 57600 , 7 , N , 2 , Ascii , 247 ", TRUE, {8, 0, 2, 1, 1}, 247},
                      ParseCase{u"9600,8,O,1,RTU,12,extra", TRUE, {5, 1, 1, 0, 0}, 12},
                      ParseCase{u"38400,8,E,1,RTU,12abc", TRUE, {7, 1, 0, 0, 0}, 12},
                      ParseCase{u"4800,8,E,1,RTU,1", FALSE, {}, kUntouchedAddress},
                      ParseCase{u"19200,8,X,1,RTU,1", FALSE, {6, 1}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU,248", FALSE, {6, 1, 0, 0, 0}, 248},
                      ParseCase{u"19200,8,E,1,RTU,0", FALSE, {6, 1, 0, 0, 0}, 0},
                      // Narrowed to 16 bits first, these would pass as address 1.
                      ParseCase{u"19200,8,E,1,RTU,65537", FALSE, {6, 1, 0, 0, 0}, kUntouchedAddress},
                      ParseCase{
                          u"19200,8,E,1,RTU,9999999999999999999", FALSE, {6, 1, 0, 0, 0}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU,00000000000000000001", FALSE, {}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU,-1", FALSE, {6, 1, 0, 0, 0}, kUntouchedAddress},
                      ParseCase{u"19200,8,E,1,RTU", FALSE, {}, kUntouchedAddress},
                      ParseCase{u"", FALSE, {}, kUntouchedAddress}));

TEST(ConnectionString, EverySettingComesBackFromItsText)
{
    for (ULONG baud = 5; baud <= 8; ++baud)
        for (ULONG dataBits = 0; dataBits <= 1; ++dataBits)
            for (ULONG parity = 0; parity <= 2; ++parity)
                for (ULONG stopBits = 0; stopBits <= 1; ++stopBits)
                    for (ULONG mode = 0; mode <= 1; ++mode)
                    {
                        const CWideString text =
                            FormatConnectionString(baud, dataBits, parity, stopBits, mode, 247);
                        sCommSettings parsed;
                        ASSERT_TRUE(ParseConnectionString(text, parsed))
                            << ::testing::PrintToString(Text(text));
                        EXPECT_EQ(parsed, (sCommSettings{baud, dataBits, parity, stopBits, mode, 247, 1}));
                    }
    EXPECT_EQ(Text(FormatConnectionString(6, 1, 0, 0, 0, 1)), u"19200,8,E,1,RTU,1");
}

class ConnectionStringList : public ::testing::Test
{
protected:
    ConnectionStringList() { WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 5); }

    static void StoreList(const std::vector<const char16_t*>& texts)
    {
        for (size_t i = 0; i < texts.size(); ++i)
            WriteProfileString(PROFILE_SECTION_COMMUNICATION,
                               GetConnectionStringEntryName(static_cast<int>(i)), texts[i]);
    }
    static std::vector<std::u16string> StoredList()
    {
        std::vector<std::u16string> texts;
        for (int i = 0; i < MAX_STORED_CONNECTION_STRINGS; ++i)
        {
            const CWideString text =
                GetProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(i), nullptr);
            if (!text.IsEmpty())
                texts.push_back(Text(text));
        }
        return texts;
    }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(ConnectionStringList, AStoredStringMovesToTheFrontWithoutADuplicate)
{
    StoreList({u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1", u"57600,8,N,1,ASCII,5", u"19200,8,E,1,RTU,2"});
    EXPECT_TRUE(StoreConnectionString(8, 1, 2, 0, 1, 5));
    EXPECT_EQ(StoredList(), (std::vector<std::u16string>{u"57600,8,N,1,ASCII,5", u"9600,8,E,1,RTU,1",
                                                         u"38400,8,E,1,RTU,1", u"19200,8,E,1,RTU,2"}));
}

TEST_F(ConnectionStringList, ASixthStringDropsTheOldest)
{
    StoreList({u"9600,8,E,1,RTU,1", u"9600,8,E,1,RTU,2", u"9600,8,E,1,RTU,3", u"9600,8,E,1,RTU,4",
               u"9600,8,E,1,RTU,5"});
    EXPECT_TRUE(StoreConnectionString(5, 1, 0, 0, 0, 6));
    EXPECT_EQ(StoredList(),
              (std::vector<std::u16string>{u"9600,8,E,1,RTU,6", u"9600,8,E,1,RTU,1", u"9600,8,E,1,RTU,2",
                                           u"9600,8,E,1,RTU,3", u"9600,8,E,1,RTU,4"}));
}

TEST_F(ConnectionStringList, SettingsWithoutATextLeaveTheListAsItWas)
{
    StoreList({u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1"});
    EXPECT_FALSE(StoreConnectionString(6, 1, 0, 0, 0, 248));
    EXPECT_FALSE(StoreConnectionString(6, 1, 0, 0, 0, 0));
    EXPECT_FALSE(StoreConnectionString(4, 1, 0, 0, 0, 1));
    EXPECT_FALSE(StoreConnectionString(6, 1, 3, 0, 0, 1));
    EXPECT_EQ(StoredList(), (std::vector<std::u16string>{u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1"}));
    // And a later store still finds them.
    EXPECT_TRUE(StoreConnectionString(6, 1, 0, 0, 0, 1));
    EXPECT_EQ(StoredList(),
              (std::vector<std::u16string>{u"19200,8,E,1,RTU,1", u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1"}));
}

TEST_F(ConnectionStringList, AHandEditedListSizeIsBounded)
{
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0x7FFFFFFF);
    EXPECT_EQ(GetMaxStoredConnectionStrings(), MAX_STORED_CONNECTION_STRINGS);
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, -3);
    EXPECT_EQ(GetMaxStoredConnectionStrings(), 0);
}

TEST_F(ConnectionStringList, TheSearchTriesStoredStringsThenTheDefaultOnce)
{
    StoreList({u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1", u"", u"57600,8,E,1,RTU,1"});
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"38400,8,E,1,RTU,1");
    std::vector<std::u16string> texts;
    for (const CWideString& text : GetSearchConnectionStrings())
        texts.push_back(Text(text));
    // The walk ends at the first empty entry; the default equals entry 1 and comes only once.
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"9600,8,E,1,RTU,1", u"38400,8,E,1,RTU,1"}));

    WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"19200,8,E,1,RTU,7");
    ASSERT_EQ(GetSearchConnectionStrings().size(), 3u);
    EXPECT_EQ(Text(GetSearchConnectionStrings().back()), u"19200,8,E,1,RTU,7");
}

TEST_F(ConnectionStringList, AnEmptyProfileFallsBackToTheFactoryString)
{
    const std::vector<CWideString> strings = GetSearchConnectionStrings();
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(Text(strings[0]), u"19200,8,E,1,RTU,1");
}

TEST(AppProfile, KeepsValuesBySectionUnderTheApplicationKey)
{
    testsupport::ScopedConfigDir config;
    EXPECT_EQ(GetProfileInt(u"", u"WinPos_x", 17), 17);
    ASSERT_TRUE(WriteProfileInt(u"", u"WinPos_x", -40));
    EXPECT_EQ(GetProfileInt(nullptr, u"WinPos_x", 17), -40);
    EXPECT_EQ(platform::settings::GetDword(platform::Hive::CurrentUser, APP_PROFILE_KEY, u"WinPos_x"),
              static_cast<uint32_t>(-40));

    ASSERT_TRUE(WriteProfileString(u"Communication", u"ParamsDefault", u"9600,8,E,1,RTU,1"));
    // A string is no integer, and the other way round.
    EXPECT_EQ(GetProfileInt(u"Communication", u"ParamsDefault", 3), 3);
    EXPECT_EQ(Text(GetProfileString(u"", u"WinPos_x", u"none")), u"none");
    EXPECT_EQ(Text(GetProfileString(u"communication", u"paramsdefault", nullptr)), u"9600,8,E,1,RTU,1");

    EXPECT_TRUE(WriteProfileString(u"Communication", u"ParamsDefault", nullptr));
    EXPECT_TRUE(GetProfileString(u"Communication", u"ParamsDefault", nullptr).IsEmpty());
    EXPECT_TRUE(WriteProfileString(u"Communication", u"ParamsDefault", nullptr));
}

} // namespace
} // namespace apptest
