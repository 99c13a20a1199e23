// Which ids each table translates and which it leaves in English.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/strings/TranslatedTables.h"

namespace stringstest
{
namespace
{

bool IsEnglish(const SystemStringEntry* entries, StringId id)
{
    return TextOf(entries, id) == EnglishText(id);
}

class Coverage : public testing::TestWithParam<TranslatedTable>
{
protected:
    const SystemStringEntry* Entries() const { return GetParam().entries; }
    bool IsSpanish() const { return Entries() == g_SystemStrings_Spanish; }
};

TEST_P(Coverage, LeavesItsOwnNumberOfTextsEqualToEnglish)
{
    int equal = 0;
    for (StringId id = kFirstId; id <= kLastTranslatedId; ++id)
        equal += IsEnglish(Entries(), id) ? 1 : 0;
    EXPECT_EQ(equal, GetParam().textsEqualToEnglish);
}

TEST_P(Coverage, LeavesTheSymbolsProtocolsAndRegisterLabelsEnglish)
{
    for (StringId id : kAlwaysEnglishIds)
        EXPECT_TRUE(IsEnglish(Entries(), id)) << id << ": " << Utf8(TextOf(Entries(), id));
}

// Only the time-zone labels and the two tracer names without a known meaning differ there.
TEST_P(Coverage, LeavesTheLaterIdsEnglishButForTimeZoneAndTracerLabels)
{
    const std::set<StringId> translated =
        IsSpanish() ? std::set<StringId>{10586} : std::set<StringId>{10586, 10588, 10589};
    for (StringId id = kLastOwnTextId + 1; id <= kLastTranslatedId; ++id)
    {
        const std::u16string text = TextOf(Entries(), id);
        if (id == 10690 || id == 10691)
        {
            EXPECT_EQ(text, u"???") << id;
        }
        else if (translated.contains(id))
        {
            EXPECT_NE(text, EnglishText(id)) << id;
        }
        else
        {
            EXPECT_EQ(text, EnglishText(id)) << id << ": " << Utf8(text);
        }
    }
    if (IsSpanish())
    {
        EXPECT_EQ(TextOf(Entries(), 10586), u"Time Zone");
    }
}

TEST_P(Coverage, KeepsBrandAndProductWordsWhereverTheEnglishTextHasThem)
{
    for (const std::u16string word : {u"Voxeline", u"VOX", u"Quarro", u"BaroCalc"})
    {
        for (StringId id = kFirstId; id <= kLastTranslatedId; ++id)
        {
            const std::u16string text = TextOf(Entries(), id);
            if (EnglishText(id).find(word) != std::u16string::npos)
            {
                EXPECT_NE(text.find(word), std::u16string::npos) << id << ": " << Utf8(text);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTables, Coverage, testing::ValuesIn(kTranslatedTables), TableName);

int TranslatedOwnTexts(const SystemStringEntry* entries)
{
    int translated = 0;
    for (StringId id = kFirstId; id <= kLastOwnTextId; ++id)
        translated += IsEnglish(entries, id) ? 0 : 1;
    return translated;
}

// The Portuguese table translates the most of the ids before the English-only stretch, the
// Japanese one the fewest.
TEST(CoverageOfAllTables, TranslateBetweenTheJapaneseAndThePortugueseShare)
{
    const int japanese = TranslatedOwnTexts(g_SystemStrings_Japanese);
    EXPECT_EQ(TranslatedOwnTexts(g_SystemStrings_Portuguese), 415);
    EXPECT_GE(japanese, 274);
    for (const TranslatedTable& table : kTranslatedTables)
    {
        const int translated = TranslatedOwnTexts(table.entries);
        EXPECT_GE(translated, japanese) << table.name;
        EXPECT_LE(translated, 415) << table.name;
    }
}

// Every other id of the range is translated by at least one table, so the list above is the whole
// of what no table translates.
TEST(CoverageOfAllTables, LeavesExactlyTheListedIdsEnglishEverywhere)
{
    const std::set<StringId> listed(std::begin(kAlwaysEnglishIds), std::end(kAlwaysEnglishIds));
    EXPECT_EQ(listed.size(), std::size(kAlwaysEnglishIds));
    for (StringId id = kFirstId; id <= kLastOwnTextId; ++id)
    {
        bool everywhere = true;
        for (const TranslatedTable& table : kTranslatedTables)
            everywhere = everywhere && IsEnglish(table.entries, id);
        EXPECT_EQ(everywhere, listed.contains(id)) << id << ": " << Utf8(EnglishText(id));
    }
}

} // namespace
} // namespace stringstest
