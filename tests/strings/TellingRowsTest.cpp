// A few texts of each table are fixed word for word: they are how a reader tells the tables apart.
#include <string>

#include <gtest/gtest.h>

#include "tests/strings/TranslatedTables.h"

namespace stringstest
{
namespace
{

constexpr StringId kRowIds[] = {10000, 10045, 10254, 10319, 10690, 10766};

struct TellingRow
{
    const SystemStringEntry* entries;
    const char16_t* texts[std::size(kRowIds)];
};

const TellingRow kRows[] = {
    {g_SystemStrings_Russian,
     {u"Дата", u"Неизвестно", u"Давл. 3.5 м", u"Растворенный кислород (%.....)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_Italian,
     {u"Data", u"Sconosciuto", u"Pres 3.5m", u"Ossigeno disciolto (%saturazione)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_Spanish,
     {u"Fecha", u"Desconocido", u"Pres 3.5m", u"Oxígeno Disuelto (saturación)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_ChineseA, {u"日期", u"未知", u"壓力 11.5ft", u"溶氧(%飽和度)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_Danish,
     {u"Dato", u"Ukendt", u"Tryk 3.5m", u"Opløst ilt (%iltmætning)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_French,
     {u"Date", u"Inconnu", u"Pres 3.5m", u"Oxygène dissous (% de saturation)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_Japanese,
     {u"日付", u"未知", u"Pres 3.5m", u"Dissolved Oxygen (%saturation)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_ChineseB, {u"日期", u"未知", u"壓力 3.5m", u"溶氧(%飽和度)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_Portuguese,
     {u"Data", u"Desconhecido", u"Pres 11.5ft", u"Oxigênio Dissolvido (%saturação)", u"???", u"Pres 325ft"}},
    {g_SystemStrings_German,
     {u"Datum", u"Unbekannt", u"Druck 3.5m", u"Gelöster Sauerstoff (%Sättigung)", u"???", u"Pres 325ft"}},
};

TEST(TellingRows, EachTableHasItsRowWordForWord)
{
    ASSERT_EQ(std::size(kRows), std::size(kTranslatedTables));
    for (const TellingRow& row : kRows)
        for (size_t n = 0; n < std::size(kRowIds); ++n)
            EXPECT_EQ(TextOf(row.entries, kRowIds[n]), row.texts[n])
                << Table(row.entries).name << " " << kRowIds[n] << ": "
                << Utf8(TextOf(row.entries, kRowIds[n]));
}

} // namespace
} // namespace stringstest
