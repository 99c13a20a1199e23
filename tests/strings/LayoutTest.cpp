// The shape of every translated table, and that the program's texts stay English beside them.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/strings/TranslatedTables.h"

namespace stringstest
{
namespace
{

class TableLayout : public testing::TestWithParam<TranslatedTable>
{
};

TEST_P(TableLayout, HoldsEachIdOnceInTheSlotRunsAndDefaultEntriesBehind)
{
    std::vector<StringId> expected;
    const std::pair<StringId, StringId> runs[] = {{10000, 10251}, {10616, 10617}, {10252, 10297},
                                                  {10618, 10619}, {10298, 10615}, {10620, 10766}};
    for (const auto& [first, last] : runs)
        for (StringId id = first; id <= last; ++id)
            expected.push_back(id);
    ASSERT_EQ(expected.size(), kFilledSlots);

    const SystemStringEntry* entries = GetParam().entries;
    for (uint32_t slot = 0; slot < kFilledSlots; ++slot)
    {
        EXPECT_EQ(entries[slot].id, expected[slot]) << "slot " << slot;
        EXPECT_FALSE(entries[slot].text.IsEmpty()) << "slot " << slot;
    }
    for (uint32_t slot = kFilledSlots; slot < SYSTEM_STRING_COUNT; ++slot)
    {
        EXPECT_EQ(entries[slot].id, 0u) << "slot " << slot;
        EXPECT_EQ(static_cast<const char16_t*>(entries[slot].text), nullptr) << "slot " << slot;
    }
}

INSTANTIATE_TEST_SUITE_P(AllTables, TableLayout, testing::ValuesIn(kTranslatedTables), TableName);

// The tables are linked into this binary and built before it starts; the run-time table must still
// come from the English texts alone.
TEST(TranslatedTablesAtRunTime, LeaveEveryTextOfTheProgramEnglish)
{
    ClearSystemStringTable();
    ASSERT_EQ(LoadSystemStringTable(), S_OK);
    for (uint32_t slot = 0; slot < SYSTEM_STRING_COUNT; ++slot)
    {
        const StringId id = g_SystemStrings_English[slot].id;
        const CWideString text = GetSystemString(id);
        EXPECT_EQ(std::u16string(text.IsEmpty() ? u"" : text), EnglishText(id)) << id;
    }
}

} // namespace
} // namespace stringstest
