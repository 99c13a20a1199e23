// What the tests know of the ten translated tables: each global with the facts that its translator
// was given, so a table is checked against those facts rather than against itself.
#pragma once

#include <iterator>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "strings/TranslatedStrings.h"

namespace stringstest
{

// How a table writes the range of the short pressure and PCTD sensor names.
enum class PressureRange
{
    Metres,
    Feet,
    MostlyMetres, // metres for most of them, feet for the rest
};

struct TranslatedTable
{
    const char* name;
    const SystemStringEntry* entries;
    int textsEqualToEnglish; // slots whose text is the English text of their id, over ids 10000..10766
    PressureRange pressureRange;
};

inline void PrintTo(const TranslatedTable& table, std::ostream* out)
{
    *out << table.name;
}

inline std::string TableName(const testing::TestParamInfo<TranslatedTable>& table)
{
    return table.param.name;
}

// In the order in which the program defines them.
extern const TranslatedTable kTranslatedTables[10];

const TranslatedTable& Table(const SystemStringEntry* entries);

inline constexpr StringId kFirstId = 10000;
inline constexpr StringId kLastTranslatedId = 10766; // the ids above exist in English only
inline constexpr StringId kLastOwnTextId = 10581;    // from here on the tables stay English
inline constexpr uint32_t kFilledSlots = kLastTranslatedId - kFirstId + 1;

// The ids below 10582 that every table leaves in English: the two protocol names, the unit and
// parameter symbols that read alike in every language (the word-based ones such as "ft", "gal" and
// "min" excepted), and three register labels.
inline constexpr StringId kAlwaysEnglishIds[] = {
    10104, 10105,                                                         // RTU, ASCII
    10232, 10278, 10287, 10315, 10316, 10347, 10348,                      // pH, Cond, pH(mV)
    10375, 10385, 10386, 10387, 10388, 10397, 10398, 10399, 10400, 10401, // Torr ... %Sat
    10402, 10403, 10404,                                                  // FNU, NTU, FTU
    10425, 10426, 10427, 10428, 10429, 10430, 10431, 10432, 10433, 10434, // C ... inHg
    10435, 10436, 10437, 10438, 10439, 10440, 10441,                      // cmH2O ... km
    10447, 10448, 10449, 10450, 10451, 10452, 10453, 10454, 10455, 10456, // µS/cm ... µg/L
    10457, 10458, 10459, 10460, 10461, 10462, 10463, 10464, 10465, 10466, // µM/L ... FTU
    10542, 10543, 10547, // Cell Offset, Cell Constant, Cache Timeout
};
static_assert(std::size(kAlwaysEnglishIds) == 62);

// The text of an id in a table or in the English table; empty when the id is absent or has no text.
std::u16string TextOf(const SystemStringEntry* entries, StringId id);
std::u16string EnglishText(StringId id);

// For failure messages.
std::string Utf8(const std::u16string& text);

} // namespace stringstest
