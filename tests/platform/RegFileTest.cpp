// The text format of registry exports: what the export tool writes, what people write by hand,
// every value type through a write and a read, and malformed text refused with its line.
#include <ctime>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/CaseFold.h"
#include "platform/SettingsStore.h"

namespace
{

using namespace platform;
using regfile::Document;
using regfile::Parse;
using regfile::Serialize;
using namespace std::string_literals;

Document MustParse(std::string_view text)
{
    std::string error;
    auto doc = Parse(text, &error);
    EXPECT_TRUE(doc.has_value()) << error;
    return doc.value_or(Document{});
}

TEST(CaseFoldTest, FoldsTheWholeBasicPlaneWithoutTheLocale)
{
    EXPECT_TRUE(EqualsIgnoreCase(u"ÄÖÜ Grüße", u"äöü GRÜßE"));
    EXPECT_TRUE(EqualsIgnoreCase(u"ΣΊΣΥΦΟΣ", u"σίσυφος")); // final sigma folds like sigma
    EXPECT_TRUE(EqualsIgnoreCase(u"ПРИБОР", u"прибор"));
    EXPECT_TRUE(EqualsIgnoreCase(u"\u212A\u00B5\u1E9E", u"k\u03BC\u00DF")); // Kelvin, micro, capital sharp s
    // Simple folding maps one unit to one unit: no "ss" for sharp s, no Turkish dotless i.
    EXPECT_FALSE(EqualsIgnoreCase(u"STRASSE", u"straße"));
    EXPECT_FALSE(EqualsIgnoreCase(u"\u0131", u"i"));
    EXPECT_FALSE(EqualsIgnoreCase(u"\U00010400", u"\U00010428")); // surrogates are left alone
    EXPECT_EQ(FoldCase(u"MaxParams\u00C9"), u"maxparams\u00E9");
}

TEST(RegFileTest, ReadsAndWritesWhatTheExportToolWrites)
{
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\Norvane\\Tarnwick Software\\Communication]\n"
                             "\"MaxParams\"=dword:00000005\n"
                             "\"ParamsDefault\"=\"19200,8,E,1,RTU,1\"\n"
                             "@=\"say \\\"C:\\\\x\\\"\"\n"
                             "\"Bytes\"=hex:00,ab,10\n";
    Document doc;
    doc.keys.push_back({u"Software\\Norvane\\Tarnwick Software\\Communication",
                        {{u"MaxParams", RegValue::FromDword(5)},
                         {u"ParamsDefault", RegValue::FromString(u"19200,8,E,1,RTU,1")},
                         {u"", RegValue::FromString(u"say \"C:\\x\"")},
                         {u"Bytes", RegValue::FromBinary({0x00, 0xAB, 0x10})}}});
    EXPECT_EQ(Serialize(doc, u"HKEY_CURRENT_USER"), text);
    const Document back = MustParse(text);
    EXPECT_EQ(back.hiveName, u"HKEY_CURRENT_USER");
    ASSERT_EQ(back.keys.size(), 1u);
    EXPECT_EQ(back.keys[0].path, doc.keys[0].path);
    EXPECT_EQ(back.keys[0].values, doc.keys[0].values);
}

TEST(RegFileTest, EveryValueTypeSurvivesWriteAndRead)
{
    std::vector<uint8_t> longBlob(300);
    for (size_t i = 0; i < longBlob.size(); ++i)
        longBlob[i] = static_cast<uint8_t>(i * 7);
    RegValue expand = RegValue::FromString(u"%HOME%\\Fieldmere Data");
    expand.type = RegType::ExpandString;
    Document doc;
    doc.hiveName = u"HKEY_LOCAL_MACHINE";
    doc.keys.push_back({u"", {{u"at root", RegValue::FromDword(1)}}});
    doc.keys.push_back({u"Types\\All",
                        {{u"sz", RegValue::FromString(u"Grüße \"quoted\" back\\slash")},
                         {u"sz empty", RegValue::FromString(u"")},
                         {u"sz lines", RegValue::FromString(u"one\r\ntwo\0three"s)},
                         {u"sz lone surrogate", RegValue::FromString(std::u16string(1, char16_t(0xD800)))},
                         {u"expand", expand},
                         {u"binary", RegValue::FromBinary(longBlob)},
                         {u"binary empty", RegValue::FromBinary({})},
                         {u"dword", RegValue::FromDword(0xFFFFFFFF)},
                         {u"qword", RegValue::FromQword(0x0123456789ABCDEFull)},
                         {u"multi", RegValue::FromMultiString({u"a", u"", u"b c"})},
                         {u"multi empty", RegValue::FromMultiString({})},
                         {u"multi one empty", RegValue::FromMultiString({u""})},
                         {u"name \"with\" \\ and ]", RegValue::FromString(u"x")}}});
    doc.keys.push_back({u"Types\\Empty key", {}});
    const std::string text = Serialize(doc, doc.hiveName);

    // Long hex lists are continued so that no line passes 80 columns.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
    const Document back = MustParse(text);
    EXPECT_EQ(back.hiveName, doc.hiveName);
    ASSERT_EQ(back.keys.size(), doc.keys.size());
    for (size_t k = 0; k < doc.keys.size(); ++k)
    {
        EXPECT_EQ(back.keys[k].path, doc.keys[k].path);
        EXPECT_EQ(back.keys[k].values, doc.keys[k].values) << text;
    }
}

TEST(RegFileTest, HandWrittenFilesAreReadAsMeant)
{
    const Document doc =
        MustParse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
                  "; settings of the bench\n"
                  "[HKEY_CURRENT_USER\\\\Software\\A\\]\n"
                  "  \"Path\" = \"C:\\temp\"  \n"
                  "\"Blob\"=hex:1,  02 ,\\\n"
                  "     ff,\\\n"
                  "\n"
                  "\"Small\"=dword:1F\n"
                  "\"Four\"=hex(4):78,56,34,12\n"
                  "\"Multi\"=hex(7):41,00,00,00,42,00\n"
                  "\"Drop\"=\"2\"\n"
                  "[hkey_current_user\\software\\a]\n"
                  "\"PATH\"=\"D:\\\\\"\n"
                  "\"DROP\"=-\n"
                  "[HKEY_CURRENT_USER\\A\\B]\n[HKEY_CURRENT_USER\\A\\B\\C]\n[HKEY_CURRENT_USER\\A\\BC]\n"
                  "[-HKEY_CURRENT_USER\\a\\b]\n");
    ASSERT_EQ(doc.keys.size(), 2u);
    EXPECT_EQ(doc.keys[0].path, u"Software\\A");
    EXPECT_EQ(doc.keys[1].path, u"A\\BC"); // a sibling that only starts with the same letters stays
    // The same key and value given again are merged, the later data winning in place; an unknown
    // escape keeps its backslash, so that a typed "C:\temp" means what it says; deletions apply to
    // what came before.
    EXPECT_EQ(doc.keys[0].values, (std::vector<std::pair<std::u16string, RegValue>>{
                                      {u"Path", RegValue::FromString(u"D:\\")},
                                      {u"Blob", RegValue::FromBinary({0x01, 0x02, 0xFF})},
                                      {u"Small", RegValue::FromDword(0x1F)},
                                      {u"Four", RegValue::FromDword(0x12345678)},
                                      {u"Multi", RegValue::FromMultiString({u"A", u"B"})}}));
    EXPECT_EQ(MustParse("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"p\"=\"C:\\temp\"\n")
                  .keys[0]
                  .values[0]
                  .second,
              RegValue::FromString(u"C:\\temp"));
}

// Deleted keys and values are taken out only at the end of the text, so what a deletion takes must
// be exactly what it names.
TEST(RegFileTest, ADeletionTakesTheKeyAndItsSubkeysAndNothingThatOnlyBeginsLikeIt)
{
    const Document doc = MustParse("Windows Registry Editor Version 5.00\n"
                                   "[HKEY_CURRENT_USER\\A]\n"
                                   "\"v1\"=dword:1\n\"v2\"=dword:2\n\"V1\"=-\n\"v1\"=dword:3\n"
                                   "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=dword:1\n"
                                   "[HKEY_CURRENT_USER\\A\\B\\C\\D]\n"
                                   "[HKEY_CURRENT_USER\\A\\B1]\n"
                                   "[HKEY_CURRENT_USER\\A\\B[]\n"
                                   "[HKEY_CURRENT_USER\\A\\B]x]\n"
                                   "[HKEY_CURRENT_USER\\A\\BC]\n"
                                   "[HKEY_CURRENT_USER\\a\\b\\e]\n"
                                   "[-HKEY_CURRENT_USER\\a\\b]\n"
                                   "[HKEY_CURRENT_USER\\A\\B]\n\"y\"=dword:2\n");
    std::vector<std::u16string> paths;
    for (const auto& key : doc.keys)
        paths.push_back(key.path);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"A", u"A\\B1", u"A\\B[", u"A\\B]x", u"A\\BC", u"A\\B"}));
    EXPECT_EQ(doc.keys.front().values,
              (std::vector<std::pair<std::u16string, RegValue>>{{u"v2", RegValue::FromDword(2)},
                                                                {u"v1", RegValue::FromDword(3)}}));
    EXPECT_EQ(doc.keys.back().values,
              (std::vector<std::pair<std::u16string, RegValue>>{{u"y", RegValue::FromDword(2)}}));

    const Document emptied =
        MustParse("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER]\n\"r\"=\"s\"\n"
                  "[HKEY_CURRENT_USER\\A]\n[-HKEY_CURRENT_USER]\n[HKEY_CURRENT_USER\\Z]\n");
    ASSERT_EQ(emptied.keys.size(), 1u);
    EXPECT_EQ(emptied.keys[0].path, u"Z");
}

// Each deletion once cost a pass over every key or value before it: a file of a few megabytes took
// minutes. The bound leaves a wide margin over the linear time on a slow machine.
TEST(RegFileTest, ManyDeletionsAreReadInTimeLinearInTheFile)
{
    std::string keys;
    std::string deletions;
    std::string values = "[HKEY_CURRENT_USER\\Values]\n";
    for (int i = 0; i < 10000; ++i)
    {
        const std::string name = "Key" + std::to_string(i);
        keys += "[HKEY_CURRENT_USER\\Software\\" + name + "]\n";
        deletions += "[-HKEY_CURRENT_USER\\Software\\" + name + "]\n";
        values += "\"" + name + "\"=dword:1\n\"" + name + "\"=-\n";
    }
    const auto cpuSeconds = []
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    };
    const double start = cpuSeconds();
    const Document doc = MustParse("Windows Registry Editor Version 5.00\n" + keys + deletions + values);
    EXPECT_LT(cpuSeconds() - start, 10.0);
    ASSERT_EQ(doc.keys.size(), 1u);
    EXPECT_TRUE(doc.keys[0].values.empty());
}

TEST(RegFileTest, KeysAreReadUpToTheRegistrysBoundsAndRefusedBeyondThem)
{
    // `levels` names of `name` below the hive.
    const auto keyLine = [](const char* mark, size_t levels, const std::string& name)
    {
        std::string line = std::string(mark) + "HKEY_CURRENT_USER";
        for (size_t i = 0; i < levels; ++i)
            line += "\\" + name;
        return line + "]\n";
    };
    const std::string header = "Windows Registry Editor Version 5.00\n";
    std::string nonAscii; // the bounds count UTF-16 units, not bytes
    for (int i = 0; i < 255; ++i)
        nonAscii += "\xC3\xBC";
    for (const std::string& line : {keyLine("[", 512, "k"), keyLine("[", 1, nonAscii),
                                    keyLine("[", 128, std::string(255, 'k')), keyLine("[-", 512, "k")})
    {
        const Document doc = MustParse(header + line);
        const Document again = MustParse(Serialize(doc, u"HKEY_CURRENT_USER"));
        ASSERT_EQ(again.keys.size(), doc.keys.size());
        for (size_t k = 0; k < doc.keys.size(); ++k)
            EXPECT_EQ(again.keys[k].path, doc.keys[k].path);
    }
    const std::pair<std::string, std::string> beyond[] = {
        {keyLine("[", 513, "k"), "line 2: a key more than 512 levels deep"},
        {keyLine("[-", 513, "k"), "line 2: a key more than 512 levels deep"},
        {keyLine("[", 1, nonAscii + "k"), "line 2: a key name longer than 255 characters"},
        {keyLine("[", 129, std::string(254, 'k')), "line 2: a key path longer than 32767 characters"},
    };
    for (const auto& [line, expected] : beyond)
    {
        std::string error;
        EXPECT_FALSE(Parse(header + line, &error).has_value()) << expected;
        EXPECT_EQ(error, expected);
    }
}

TEST(RegFileTest, MalformedTextIsRefusedWithTheLine)
{
    const std::string header = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n";
    const std::pair<std::string, std::string> cases[] = {
        {"REGEDIT4\n", "line 1: REGEDIT4"},
        {"Windows Registry Editor Version 5.00\n\"x\"=\"y\"\n", "line 2: a value outside any key"},
        {header + "\"x\"=\"no end\n", "line 3: a quoted text without its closing quote"},
        {header + "\"x\"=dword:123456789\n", "line 3: a dword"},
        {header + "\"x\"=hex(4):01,02\n", "line 3: hex(4)"},
        {header + "\"x\"=hex:1,,2\n", "line 3: hex data must be bytes"},
        {header + "[HKEY_LOCAL_MACHINE\\B]\n", "line 3: keys of more than one hive"},
        {header + "[-HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n", "line 4: a value outside any key"},
        // Written back, it would be a deletion.
        {header + "[\\-HKEY_CURRENT_USER\\A]\n", "line 3: a hive name must not begin with '-'"},
        {"\xFF\xFE\x41", "odd number of bytes"},
        {std::string("\xFF\xFE\x00\xD8", 4), "ill-formed UTF-16"},
        {"\xFE\xFF", "big-endian"},
        {header + "\"\xC3\x28\"=\"x\"\n", "neither UTF-8 nor UTF-16"},
        {header + std::string("\"a\0b\"=\"x\"\n", 10), "zero character"},
    };
    for (const auto& [text, expected] : cases)
    {
        std::string error;
        EXPECT_FALSE(Parse(text, &error).has_value()) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << "got \"" << error << "\" for " << text;
    }
    // Empty text (or only blanks and comments) is an empty document, not an error.
    EXPECT_TRUE(MustParse("").keys.empty());
    EXPECT_TRUE(MustParse("\n ; nothing\n").keys.empty());
}

} // namespace
