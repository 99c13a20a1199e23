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

// Characters that the two scripts write differently, each at the same position in both lists.
const std::u16string kTraditional = u"報預過傳關啟離線電無內體設記憶錄當時間區測試態類數據資訊錯誤"
                                    u"開門為個發現進實際導讀寫輸單選擇項確認刪擊鍵頁碼戶稱維護檢處"
                                    u"顯對話檔樣執轉換標題圖狀變動號頭氣鹽濁濃總壓溫裝備統種鐘計網"
                                    u"絡連範圍廠點筆應華攝幫級視頻聯歷";
const std::u16string kSimplified = u"报预过传关启离线电无内体设记忆录当时间区测试态类数据资讯错误"
                                   u"开门为个发现进实际导读写输单选择项确认删击键页码户称维护检处"
                                   u"显对话档样执转换标题图状变动号头气盐浊浓总压温装备统种钟计网"
                                   u"络连范围厂点笔应华摄帮级视频联历";

bool Holds(const std::u16string& text, const std::u16string& characters)
{
    return text.find_first_of(characters) != std::u16string::npos;
}

// The first table is traditional throughout; the second turns simplified only where it differs from
// the first, and its alarm, status and time-zone labels carry no traditional form.
TEST(ChineseTables, WriteSimplifiedCharactersOnlyInTheSecondTablesOwnLabels)
{
    ASSERT_EQ(kTraditional.size(), kSimplified.size());
    const std::set<StringId> differing = DifferingIds();
    for (StringId id = kFirstId; id <= kLastTranslatedId; ++id)
    {
        const std::u16string first = TextOf(g_SystemStrings_ChineseA, id);
        const std::u16string second = TextOf(g_SystemStrings_ChineseB, id);
        EXPECT_FALSE(Holds(first, kSimplified)) << id << ": " << Utf8(first);
        if (Holds(second, kSimplified))
        {
            EXPECT_TRUE(differing.contains(id)) << id << ": " << Utf8(second);
        }
        if ((id >= 10549 && id <= 10571) || id == 10586 || id == 10588)
        {
            EXPECT_FALSE(Holds(second, kTraditional)) << id << ": " << Utf8(second);
        }
    }
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
