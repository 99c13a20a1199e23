#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/SystemStrings.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/foundation/WideText.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using testsupport::Show;

std::u16string Text(StringId id)
{
    return testsupport::Text(GetSystemString(id));
}

// An override file as a translator's editor saves it: UTF-16 little-endian with the byte-order mark.
std::string Utf16File(const std::u16string& text, bool withMark = true)
{
    std::string bytes = withMark ? "\xFF\xFE" : "";
    for (char16_t unit : text)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

// A fresh table and settings store for each test, and the built-in texts back afterwards.
class SystemStrings : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(SetSystemStringTable(g_SystemStrings_English), S_OK); }
    void TearDown() override { SetSystemStringTable(g_SystemStrings_English); }

    std::u16string WriteFile(const std::string& bytes)
    {
        const std::filesystem::path path = m_config.Path() / "SystemStringTable.txt";
        std::ofstream(path, std::ios::binary) << bytes;
        return platform::Utf8ToUtf16(path.string());
    }

    HRESULT Override(const std::string& bytes) { return ReadSystemStringOverrides(WriteFile(bytes).c_str()); }

    testsupport::ScopedConfigDir m_config;
};

} // namespace

TEST(SystemStringTableData, HoldsEveryIdOnceInTheDocumentedSlotOrder)
{
    ASSERT_EQ(SYSTEM_STRING_COUNT, 806u);
    std::vector<StringId> expected;
    const std::pair<StringId, StringId> runs[] = {
        {10000, 10251}, {10616, 10617}, {10252, 10297}, {10618, 10619}, {10298, 10615}, {10620, 10744},
        {10798, 10800}, {10745, 10753}, {10777, 10796}, {10754, 10776}, {10797, 10797}, {10801, 10805}};
    for (const auto& [first, last] : runs)
        for (StringId id = first; id <= last; ++id)
            expected.push_back(id);
    ASSERT_EQ(expected.size(), SYSTEM_STRING_COUNT);

    int trailingBlanks = 0;
    for (uint32_t slot = 0; slot < SYSTEM_STRING_COUNT; ++slot)
    {
        const SystemStringEntry& entry = g_SystemStrings_English[slot];
        EXPECT_EQ(entry.id, expected[slot]) << "slot " << slot;
        const std::u16string text = testsupport::Text(entry.text);
        ASSERT_FALSE(text.empty()) << entry.id;
        trailingBlanks += text.back() == u' ' ? 1 : 0;
    }
    EXPECT_EQ(trailingBlanks, 1);
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
    EXPECT_EQ(Text(10616), u"pH");
    EXPECT_EQ(Text(10797), u"BGA PE calibration.");
    // Combining macron over the digit, micro sign (not Greek mu), degree sign, en dash.
    EXPECT_EQ(Text(10320), u"Nitrate (NO3\u0304 - N)");
    EXPECT_EQ(Text(10353), u"Ammonium (NH4+ - N)");
    EXPECT_EQ(Text(10385), u"\u00B5S/cm");
    EXPECT_EQ(Text(10371), u"millimeters of Mercury (0\u00B0C)");
    EXPECT_EQ(Text(10701), u"Chlorophyll A \u2013 Blue");
    // The one trailing blank and the doubled blanks are the table's own.
    EXPECT_EQ(Text(10707), u"Fine Oil ");
    EXPECT_EQ(Text(10238), u"Pressure/Temp  PSIA (30m/100ft)");
    for (StringId id : {9999u, 10806u})
        EXPECT_EQ(Show(GetSystemString(id)), u"") << "empty, and usable as a C string: " << id;
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
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(SetSystemStringTable(g_SystemStrings_English), S_OK);
    stop = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(SystemStrings, OverrideLinesReplaceTextsByIdWithTheByteOrderMarkAndALoadedTable)
{
    // Neither UTF-16 without the mark, big-endian UTF-16 nor UTF-8 text changes anything.
    const std::string noMark = Utf16File(u"10045\tUnbekannt\n", false);
    for (const std::string& bytes :
         {noMark, "\xFE\xFF" + noMark, std::string("10045\tUnbekannt\n"), std::string("\xFF")})
        EXPECT_EQ(Override(bytes), S_OK);
    EXPECT_EQ(Text(10045), u"Unknown");

    ASSERT_EQ(Override(Utf16File(u"10045\tUnbekannt\r\n"
                                 u"\r\n"
                                 u"   10046\tFehler   \r\n"
                                 u"10047\tSo\tzusammen\n"
                                 u"10048\\tno tab\n"
                                 u"10049 \t\tLeer davor\n"
                                 u"10051\tone\\ntwo\\tthree\\r\\\"four\\\"\n"
                                 u"9999\tnowhere\n"
                                 u"10806\tnowhere\n"
                                 u"-10050\tnowhere\n"
                                 u"abc\tnowhere\n"
                                 u"10805\tLast line without a line feed")),
              S_OK);
    EXPECT_EQ(Text(10045), u"Unbekannt");
    EXPECT_EQ(Text(10046), u"Fehler");        // the line is trimmed
    EXPECT_EQ(Text(10047), u"Sozusammen");    // fields joined without a separator
    EXPECT_EQ(Text(10048), u"Minimum Value"); // no TAB, no override
    EXPECT_EQ(Text(10049), u"Leer davor");    // an empty field adds nothing
    EXPECT_EQ(Text(10050), u"None");
    EXPECT_EQ(Text(10051), u"one\ntwo\tthree\r\"four\"");
    EXPECT_EQ(Text(10805), u"Last line without a line feed");
    EXPECT_TRUE(GetSystemString(9999).IsEmpty());
    EXPECT_TRUE(GetSystemString(10806).IsEmpty());

    EXPECT_EQ(ReadSystemStringOverrides(nullptr), E_FAIL);
    EXPECT_EQ(ReadSystemStringOverrides(u"/nonexistent/SystemStringTable.txt"), E_FAIL);
    const std::u16string path = WriteFile(Utf16File(u"10045\tUnbekannt\n"));
    ClearSystemStringTable();
    EXPECT_TRUE(GetSystemString(10045).IsEmpty());
    EXPECT_EQ(ReadSystemStringOverrides(path.c_str()), E_FAIL);
}

TEST_F(SystemStrings, LoadingAppliesTheFileOfTheTranslateFolder)
{
    const std::filesystem::path working = m_config.Path() / "Working Data";
    std::filesystem::create_directories(working / "Translate");
    ASSERT_TRUE(platform::settings::SetString(platform::Hive::CurrentUser, u"Software\\Norvane\\Fieldmere",
                                              u"WorkingDir", platform::Utf8ToUtf16(working.string())));
    testsupport::ScriptedMessageBox boxes;

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
