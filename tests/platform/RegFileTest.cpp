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
    EXPECT_TRUE(EqualsIgnoreCase(u"Software\\NORVANE", u"software\\norvane"));
    EXPECT_TRUE(EqualsIgnoreCase(u"ÄÖÜ Grüße", u"äöü GRÜßE"));
    EXPECT_TRUE(EqualsIgnoreCase(u"ΣΊΣΥΦΟΣ", u"σίσυφος")); // final sigma folds like sigma
    EXPECT_TRUE(EqualsIgnoreCase(u"ПРИБОР", u"прибор"));
    EXPECT_TRUE(EqualsIgnoreCase(u"\u212A", u"k"));                  // Kelvin sign
    EXPECT_TRUE(EqualsIgnoreCase(u"\u00B5", u"\u03BC"));             // micro sign and mu
    EXPECT_TRUE(EqualsIgnoreCase(u"\u1E9E", u"\u00DF"));             // capital and small sharp s
    EXPECT_TRUE(EqualsIgnoreCase(u"\u0100\u0102", u"\u0101\u0103")); // alternating pairs
    // Simple folding maps one unit to one unit: no "ss" for sharp s, no Turkish dotless i.
    EXPECT_FALSE(EqualsIgnoreCase(u"STRASSE", u"straße"));
    EXPECT_FALSE(EqualsIgnoreCase(u"\u0131", u"i"));
    EXPECT_FALSE(EqualsIgnoreCase(u"a", u"ab"));
    // Surrogates are left alone.
    EXPECT_FALSE(EqualsIgnoreCase(u"\U00010400", u"\U00010428"));
    EXPECT_EQ(FoldCase(u"MaxParams\u00C9"), u"maxparams\u00E9");
}

TEST(RegFileTest, ReadsAnExportWithTypedValues)
{
    const Document doc =
        MustParse("Windows Registry Editor Version 5.00\r\n"
                  "\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Norvane\\Tarnwick Software\\Communication]\r\n"
                  "\"MaxParams\"=dword:00000005\r\n"
                  "\"ParamsDefault\"=\"19200,8,E,1,RTU,1\"\r\n"
                  "@=\"default\"\r\n");
    EXPECT_EQ(doc.hiveName, u"HKEY_CURRENT_USER");
    ASSERT_EQ(doc.keys.size(), 1u);
    EXPECT_EQ(doc.keys[0].path, u"Software\\Norvane\\Tarnwick Software\\Communication");
    ASSERT_EQ(doc.keys[0].values.size(), 3u);
    EXPECT_EQ(doc.keys[0].values[0], std::make_pair(std::u16string(u"MaxParams"), RegValue::FromDword(5)));
    EXPECT_EQ(doc.keys[0].values[1],
              std::make_pair(std::u16string(u"ParamsDefault"), RegValue::FromString(u"19200,8,E,1,RTU,1")));
    EXPECT_EQ(doc.keys[0].values[2], std::make_pair(std::u16string(), RegValue::FromString(u"default")));
}

TEST(RegFileTest, WritesWhatTheExportToolWrites)
{
    Document doc;
    doc.keys.push_back({u"Software\\Norvane\\Tarnwick Software\\Communication",
                        {{u"MaxParams", RegValue::FromDword(5)},
                         {u"ParamsDefault", RegValue::FromString(u"19200,8,E,1,RTU,1")},
                         {u"", RegValue::FromString(u"say \"C:\\x\"")},
                         {u"Bytes", RegValue::FromBinary({0x00, 0xAB, 0x10})}}});
    EXPECT_EQ(Serialize(doc, u"HKEY_CURRENT_USER"),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Norvane\\Tarnwick Software\\Communication]\n"
              "\"MaxParams\"=dword:00000005\n"
              "\"ParamsDefault\"=\"19200,8,E,1,RTU,1\"\n"
              "@=\"say \\\"C:\\\\x\\\"\"\n"
              "\"Bytes\"=hex:00,ab,10\n");
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
        ASSERT_EQ(back.keys[k].values.size(), doc.keys[k].values.size());
        for (size_t v = 0; v < doc.keys[k].values.size(); ++v)
            EXPECT_EQ(back.keys[k].values[v], doc.keys[k].values[v]) << text;
    }
}

TEST(RegFileTest, ReadsUtf16WithByteOrderMark)
{
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Wide]\r\n\"Name\"=\"Wert \u00E4\U0001F600\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text)
    {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    const Document doc = MustParse(bytes);
    ASSERT_EQ(doc.keys.size(), 1u);
    EXPECT_EQ(doc.keys[0].values.at(0).second, RegValue::FromString(u"Wert \u00E4\U0001F600"));
}

TEST(RegFileTest, HandWrittenFilesAreReadAsMeant)
{
    const Document doc = MustParse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
                                   "; settings of the bench\n"
                                   "[HKEY_CURRENT_USER\\\\Software\\A\\]\n"
                                   "  \"Path\" = \"C:\\temp\"  \n"
                                   "\"Blob\"=hex:1,  02 ,\\\n"
                                   "     ff,\\\n"
                                   "\n"
                                   "\"Small\"=dword:1F\n"
                                   "\"Four\"=hex(4):78,56,34,12\n"
                                   "\"Multi\"=hex(7):41,00,00,00,42,00\n"
                                   "[hkey_current_user\\software\\a]\n"
                                   "\"PATH\"=\"D:\\\\\"\n");
    ASSERT_EQ(doc.keys.size(), 1u);
    EXPECT_EQ(doc.keys[0].path, u"Software\\A");
    const auto& values = doc.keys[0].values;
    ASSERT_EQ(values.size(), 5u);
    // The same key and value given again are merged, the later data winning in place.
    EXPECT_EQ(values[0].first, u"Path");
    EXPECT_EQ(values[0].second, RegValue::FromString(u"D:\\"));
    EXPECT_EQ(values[1].second, RegValue::FromBinary({0x01, 0x02, 0xFF}));
    EXPECT_EQ(values[2].second, RegValue::FromDword(0x1F));
    EXPECT_EQ(values[3].second, RegValue::FromDword(0x12345678));
    EXPECT_EQ(values[4].second, RegValue::FromMultiString({u"A", u"B"}));

    // An unknown escape keeps its backslash: a typed "C:\temp" means what it says.
    EXPECT_EQ(MustParse("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"p\"=\"C:\\temp\"\n")
                  .keys[0]
                  .values[0]
                  .second,
              RegValue::FromString(u"C:\\temp"));
}

TEST(RegFileTest, DeletionsApplyToWhatCameBefore)
{
    const Document doc =
        MustParse("Windows Registry Editor Version 5.00\n"
                  "[HKEY_CURRENT_USER\\A]\n\"keep\"=\"1\"\n\"drop\"=\"2\"\n@=\"d\"\n"
                  "\"DROP\"=-\n@=-\n"
                  "[HKEY_CURRENT_USER\\A\\B]\n[HKEY_CURRENT_USER\\A\\B\\C]\n[HKEY_CURRENT_USER\\A\\BC]\n"
                  "[-HKEY_CURRENT_USER\\a\\b]\n");
    ASSERT_EQ(doc.keys.size(), 2u);
    EXPECT_EQ(doc.keys[0].path, u"A");
    ASSERT_EQ(doc.keys[0].values.size(), 1u);
    EXPECT_EQ(doc.keys[0].values[0].first, u"keep");
    EXPECT_EQ(doc.keys[1].path, u"A\\BC"); // a sibling that only starts with the same letters stays
}

TEST(RegFileTest, MalformedTextIsRefusedWithTheLine)
{
    const std::string header = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n";
    const struct
    {
        std::string text;
        std::string error;
    } cases[] = {
        {"REGEDIT4\n", "line 1: REGEDIT4"},
        {"[HKEY_CURRENT_USER\\A]\n", "line 1: the first line"},
        {"Windows Registry Editor Version 5.00\n\"x\"=\"y\"\n", "line 2: a value outside any key"},
        {header + "\"x\"=\"no end\n", "line 3: a quoted text without its closing quote"},
        {header + "\"x\"=\"y\" tail\n", "line 3: text after the closing quote"},
        {header + "\"x\"=dword:123456789\n", "line 3: a dword"},
        {header + "\"x\"=dword:12g4\n", "line 3: a dword"},
        {header + "\"x\"=hex(4):01,02\n", "line 3: hex(4)"},
        {header + "\"x\"=hex(b):01\n", "line 3: hex(b)"},
        {header + "\"x\"=hex(1):41\n", "line 3: text data with an odd number"},
        {header + "\"x\"=hex(5):01,00,00,00\n", "line 3: value type hex(5)"},
        {header + "\"x\"=hex:1,,2\n", "line 3: hex data must be bytes"},
        {header + "\"x\"=hex:123\n", "line 3: hex data must be bytes"},
        {header + "\"x\"=hex:01,\\\n", "line 3: hex data continues past the end"},
        {header + "\"x\"=str:1\n", "line 3: unknown kind"},
        {header + "\"x\"\n", "line 3: a value name must be followed by '='"},
        {header + "[HKEY_CURRENT_USER\\B\n", "line 3: a key line must end"},
        {header + "[HKEY_LOCAL_MACHINE\\B]\n", "line 3: keys of more than one hive"},
        {header + "[\\]\n", "line 3: a key line without a key"},
        {header + "junk\n", "line 3: neither a key"},
        {header + "[-HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n", "line 4: a value outside any key"},
        {"\xFF\xFE\x41", "odd number of bytes"},
        {std::string("\xFF\xFE\x00\xD8", 4), "ill-formed UTF-16"},
        {"\xFE\xFF", "big-endian"},
        {header + "\"\xC3\x28\"=\"x\"\n", "neither UTF-8 nor UTF-16"},
        {header + std::string("\"a\0b\"=\"x\"\n", 10), "zero character"},
    };
    for (const auto& c : cases)
    {
        std::string error;
        EXPECT_FALSE(Parse(c.text, &error).has_value()) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << "got \"" << error << "\" for " << c.text;
    }
    // Empty text (or only blanks and comments) is an empty document, not an error.
    EXPECT_TRUE(MustParse("").keys.empty());
    EXPECT_TRUE(MustParse("\n ; nothing\n").keys.empty());
}

} // namespace
