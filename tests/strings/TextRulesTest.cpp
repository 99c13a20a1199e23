// What every text of a table must be: short, printable, in the Basic Multilingual Plane, and never
// mistakable for a format except where a percent sign is the label itself.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/strings/TranslatedTables.h"

namespace stringstest
{
namespace
{

constexpr size_t kMaxLength = 67;

// The line and paragraph separators break a line as a control character would.
bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool IsSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

class TextRules : public testing::TestWithParam<TranslatedTable>
{
};

TEST_P(TextRules, TextsAreShortPrintableAndInTheBasicPlane)
{
    for (uint32_t slot = 0; slot < kFilledSlots; ++slot)
    {
        const SystemStringEntry& entry = GetParam().entries[slot];
        const std::u16string text = entry.text.IsEmpty() ? u"" : std::u16string(entry.text);
        EXPECT_LE(text.size(), kMaxLength) << entry.id << ": " << Utf8(text);
        for (char16_t c : text)
            EXPECT_FALSE(IsControl(c) || IsSurrogate(c))
                << entry.id << " holds U+" << std::hex << static_cast<int>(c) << ": " << Utf8(text);
    }
}

// The saturation labels and the percent unit keep their sign; no other text has one.
TEST_P(TextRules, APercentSignStandsOnlyInThePercentLabels)
{
    std::set<StringId> withSign = {10319, 10351, 10401, 10463, 10660};
    if (GetParam().entries == g_SystemStrings_Spanish)
        withSign.erase(10319);
    for (StringId id = kFirstId; id <= kLastTranslatedId; ++id)
    {
        const std::u16string text = TextOf(GetParam().entries, id);
        EXPECT_EQ(text.find(u'%') != std::u16string::npos, withSign.contains(id)) << id << ": " << Utf8(text);
    }
}

INSTANTIATE_TEST_SUITE_P(AllTables, TextRules, testing::ValuesIn(kTranslatedTables), TableName);

} // namespace
} // namespace stringstest
