// The two Chinese tables share most texts; where they differ is fixed.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/strings/TranslatedTables.h"

namespace stringstest
{
namespace
{

std::set<StringId> DifferingIds()
{
    std::set<StringId> ids;
    for (StringId id = kFirstId; id <= kLastTranslatedId; ++id)
        if (TextOf(g_SystemStrings_ChineseA, id) != TextOf(g_SystemStrings_ChineseB, id))
            ids.insert(id);
    return ids;
}

TEST(ChineseTables, DifferInFiftySixIdsAmongThemTheNamedGroups)
{
    const std::set<StringId> differing = DifferingIds();
    EXPECT_EQ(differing.size(), 56u);

    std::set<StringId> named = {10131, 10132, 10134, 10586, 10588};
    for (StringId id = 10549; id <= 10571; ++id) // alarm and status labels, simplified in the second
        named.insert(id);
    for (StringId id = 10254; id <= 10297; ++id) // the short pressure names with a (G)/(A) mark
        if (EnglishText(id).find(u"(G)") != std::u16string::npos ||
            EnglishText(id).find(u"(A)") != std::u16string::npos)
            named.insert(id);
    ASSERT_EQ(named.size(), 55u);
    for (StringId id : named)
        EXPECT_TRUE(differing.contains(id)) << id << ": " << Utf8(TextOf(g_SystemStrings_ChineseA, id));
}

TEST(ChineseTables, OnlyTheSecondTranslatesTheShortTimeUnits)
{
    for (StringId id : {10131u, 10132u, 10134u})
    {
        EXPECT_EQ(TextOf(g_SystemStrings_ChineseA, id), EnglishText(id)) << id;
        EXPECT_NE(TextOf(g_SystemStrings_ChineseB, id), EnglishText(id)) << id;
    }
}

} // namespace
} // namespace stringstest
