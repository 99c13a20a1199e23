#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/DisplaySettings.h"
#include "foundation/SystemStrings.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/support/TestEnvironment.h"

namespace
{

std::u16string Text(StringId id)
{
    const CWideString text = GetSystemString(id);
    return text.IsEmpty() ? std::u16string() : std::u16string(text);
}

// An override file as a translator's editor saves it: UTF-16 little-endian with the byte-order mark.
std::string Utf16File(const std::u16string& text, bool withMark = true)
{
    std::string bytes = withMark ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t unit : text)
    {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// A fresh table and settings store for each test, and the built-in texts back afterwards.
class SystemStrings : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(SetSystemStringTable(g_SystemStrings_English), S_OK); }
    void TearDown() override { SetSystemStringTable(g_SystemStrings_English); }

    std::u16string WriteFile(const std::string& bytes, const char* name = "SystemStringTable.txt")
    {
        const std::filesystem::path path = m_config.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return platform::Utf8ToUtf16(path.string());
    }

    HRESULT Override(const std::u16string& text, bool withMark = true)
    {
        return ReadSystemStringOverrides(WriteFile(Utf16File(text, withMark)).c_str());
    }

    testsupport::ScopedConfigDir m_config;
};

} // namespace

TEST(SystemStringTableData, HoldsEveryIdOnceInTheDocumentedSlotOrder)
{
    std::vector<StringId> expected;
    auto run = [&expected](StringId first, StringId last)
    {
        for (StringId id = first; id <= last; ++id)
            expected.push_back(id);
    };
    run(10000, 10251);
    run(10616, 10617);
    run(10252, 10297);
    run(10618, 10619);
    run(10298, 10615);
    run(10620, 10744);
    run(10798, 10800);
    run(10745, 10753);
    run(10777, 10796);
    run(10754, 10776);
    run(10797, 10797);
    run(10801, 10805);
    ASSERT_EQ(expected.size(), SYSTEM_STRING_COUNT);

    std::set<StringId> seen;
    for (uint32_t slot = 0; slot < SYSTEM_STRING_COUNT; ++slot)
    {
        const SystemStringEntry& entry = g_SystemStrings_English[slot];
        EXPECT_EQ(entry.id, expected[slot]) << "slot " << slot;
        EXPECT_TRUE(seen.insert(entry.id).second) << entry.id;
        EXPECT_FALSE(entry.text.IsEmpty()) << entry.id;
    }
    EXPECT_EQ(*seen.begin(), 10000u);
    EXPECT_EQ(*seen.rbegin(), 10805u);
}

// Runs in a fresh process (the "threadsafe" style re-executes the binary), where nobody has loaded
// the table yet: threads that ask at the same moment all get the loaded texts.
TEST(SystemStringsFirstUse, TheFirstCallsLoadTheTableAndWaitForIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<int> right{0};
            std::vector<std::thread> threads;
            for (int i = 0; i < 8; ++i)
                threads.emplace_back([&right] { right += Text(10045) == u"Unknown" ? 1 : 0; });
            for (std::thread& thread : threads)
                thread.join();
            std::error_code ignored;
            std::filesystem::remove_all(testsupport::ProcessTempDir(), ignored);
            std::_Exit(right == 8 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(SystemStrings, GivesTheTextsCharacterForCharacter)
{
    EXPECT_EQ(Text(10000), u"Date");
    EXPECT_EQ(Text(10045), u"Unknown");
    EXPECT_EQ(Text(10251), u"Pressure/Temp PSIG (52m/173ft)");
    EXPECT_EQ(Text(10616), u"pH");
    EXPECT_EQ(Text(10617), u"ORP");
    EXPECT_EQ(Text(10328), u"Partial Pressure Oxygen");
    EXPECT_EQ(Text(10805), u"Cond");
    EXPECT_EQ(Text(10797), u"BGA PE calibration.");
    // Combining macron over the digit, micro sign (not Greek mu), degree sign, en dash.
    EXPECT_EQ(Text(10320), u"Nitrate (NO3\u0304 - N)");
    EXPECT_EQ(Text(10321), u"Ammonium (NH4\u0304 - N)");
    EXPECT_EQ(Text(10352), u"Nitrate (NO3\u0304 - N)");
    EXPECT_EQ(Text(10353), u"Ammonium (NH4+ - N)");
    EXPECT_EQ(Text(10385), u"\u00B5S/cm");
    EXPECT_EQ(Text(10457), u"\u00B5M/L");
    EXPECT_EQ(Text(10371), u"millimeters of Mercury (0\u00B0C)");
    EXPECT_EQ(Text(10701), u"Chlorophyll A \u2013 Blue");
    // The one trailing blank and the doubled blanks are the table's own.
    EXPECT_EQ(Text(10707), u"Fine Oil ");
    EXPECT_EQ(Text(10720), u"Fine Oil");
    EXPECT_EQ(Text(10238), u"Pressure/Temp  PSIA (30m/100ft)");
    EXPECT_EQ(Text(10745), u"???");
}

TEST_F(SystemStrings, GivesAnEmptyTextOutsideTheTable)
{
    for (StringId id : {0u, 9999u, 10806u, 0xFFFFFFFFu})
    {
        const CWideString text = GetSystemString(id);
        EXPECT_TRUE(text.IsEmpty()) << id;
        EXPECT_NE(static_cast<const char16_t*>(text), nullptr) << "usable as a C string";
    }
    ClearSystemStringTable();
    EXPECT_TRUE(GetSystemString(10045).IsEmpty());
}

TEST_F(SystemStrings, ReadersSeeWholeTextsWhileTheTableIsReplaced)
{
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
    {
        readers.emplace_back(
            [&]
            {
                while (!stop)
                {
                    if (Text(10045) != u"Unknown" || Text(10707) != u"Fine Oil ")
                        ++wrong;
                }
            });
    }
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(SetSystemStringTable(g_SystemStrings_English), S_OK);
    stop = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(SystemStrings, OverrideLinesReplaceTextsByIdAndIgnoreUnknownIds)
{
    ASSERT_EQ(Override(u"10045\tUnbekannt\r\n"
                       u"\r\n"
                       u"   10046\tFehler   \r\n"
                       u"10047\tSo\tzusammen\n"
                       u"10048\\tno tab\n"
                       u"10049 \t\tLeer davor\n"
                       u"9999\tnowhere\n"
                       u"10806\tnowhere\n"
                       u"-10050\tnowhere\n"
                       u"abc\tnowhere\n"
                       u"10805\tLast line without a line feed"),
              S_OK);
    EXPECT_EQ(Text(10045), u"Unbekannt");
    EXPECT_EQ(Text(10046), u"Fehler");        // the line is trimmed
    EXPECT_EQ(Text(10047), u"Sozusammen");    // fields joined without a separator
    EXPECT_EQ(Text(10048), u"Minimum Value"); // no TAB, no override
    EXPECT_EQ(Text(10049), u"Leer davor");    // an empty field adds nothing
    EXPECT_EQ(Text(10050), u"None");
    EXPECT_EQ(Text(10805), u"Last line without a line feed");
    EXPECT_TRUE(GetSystemString(9999).IsEmpty());
    EXPECT_TRUE(GetSystemString(10806).IsEmpty());
}

TEST_F(SystemStrings, OverrideTextsTurnEscapesIntoCharacters)
{
    ASSERT_EQ(Override(u"10045\tone\\ntwo\\tthree\\r\\\"four\\\"\n"), S_OK);
    EXPECT_EQ(Text(10045), u"one\ntwo\tthree\r\"four\"");
}

TEST_F(SystemStrings, AFileWithoutTheByteOrderMarkChangesNothing)
{
    EXPECT_EQ(Override(u"10045\tUnbekannt\n", false), S_OK);
    EXPECT_EQ(Text(10045), u"Unknown");
    // Neither is big-endian UTF-16 or UTF-8 text.
    EXPECT_EQ(
        ReadSystemStringOverrides(WriteFile("\xFE\xFF" + Utf16File(u"10045\tUnbekannt\n", false)).c_str()),
        S_OK);
    EXPECT_EQ(Text(10045), u"Unknown");
    EXPECT_EQ(ReadSystemStringOverrides(WriteFile("10045\tUnbekannt\n").c_str()), S_OK);
    EXPECT_EQ(Text(10045), u"Unknown");
    EXPECT_EQ(ReadSystemStringOverrides(WriteFile("").c_str()), S_OK);
    EXPECT_EQ(ReadSystemStringOverrides(WriteFile("\xFF").c_str()), S_OK);
    EXPECT_EQ(Override(u""), S_OK);
}

TEST_F(SystemStrings, OverridesNeedAnExistingFileAndALoadedTable)
{
    EXPECT_EQ(ReadSystemStringOverrides(nullptr), E_FAIL);
    EXPECT_EQ(ReadSystemStringOverrides(u"/nonexistent/SystemStringTable.txt"), E_FAIL);
    const std::u16string path = WriteFile(Utf16File(u"10045\tUnbekannt\n"));
    ClearSystemStringTable();
    EXPECT_EQ(ReadSystemStringOverrides(path.c_str()), E_FAIL);
}

TEST_F(SystemStrings, LoadingAppliesTheFileOfTheTranslateFolder)
{
    const std::filesystem::path working = m_config.Path() / "Working Data";
    std::filesystem::create_directories(working / "Translate");
    ASSERT_TRUE(platform::settings::SetString(platform::Hive::CurrentUser, u"Software\\Norvane\\Fieldmere",
                                              u"WorkingDir", platform::Utf8ToUtf16(working.string())));
    testsupport::ScriptedMessageBox boxes;

    EXPECT_EQ(LoadSystemStringTable(), S_OK);
    EXPECT_EQ(Text(10045), u"Unknown");

    std::ofstream(working / "Translate" / "SystemStringTable.txt", std::ios::binary)
        << Utf16File(u"10045\tInconnu\r\n10093\tUnit\u00E9\r\n");
    EXPECT_EQ(LoadSystemStringTable(), S_OK);
    EXPECT_EQ(Text(10045), u"Inconnu");
    EXPECT_EQ(Text(10093), u"Unit\u00E9");

    // Loading again starts from the built-in texts.
    std::filesystem::remove(working / "Translate" / "SystemStringTable.txt");
    EXPECT_EQ(LoadSystemStringTable(), S_OK);
    EXPECT_EQ(Text(10045), u"Unknown");
    EXPECT_TRUE(boxes.Shown_().empty());
}
