#include "tests/strings/TranslatedTables.h"

#include <stdexcept>

#include "platform/Utf.h"

namespace stringstest
{

using enum PressureRange;

const TranslatedTable kTranslatedTables[10] = {
    {"Russian", g_SystemStrings_Russian, 382, Metres},
    {"Italian", g_SystemStrings_Italian, 447, MostlyMetres},
    {"Spanish", g_SystemStrings_Spanish, 404, Metres},
    {"ChineseA", g_SystemStrings_ChineseA, 362, Feet},
    {"Danish", g_SystemStrings_Danish, 413, Metres},
    {"French", g_SystemStrings_French, 400, Metres},
    {"Japanese", g_SystemStrings_Japanese, 486, Metres},
    {"ChineseB", g_SystemStrings_ChineseB, 362, Metres},
    {"Portuguese", g_SystemStrings_Portuguese, 347, Feet},
    {"German", g_SystemStrings_German, 428, Metres},
};

const TranslatedTable& Table(const SystemStringEntry* entries)
{
    for (const TranslatedTable& table : kTranslatedTables)
        if (table.entries == entries)
            return table;
    throw std::logic_error("not a translated table");
}

std::u16string TextOf(const SystemStringEntry* entries, StringId id)
{
    for (uint32_t slot = 0; slot < SYSTEM_STRING_COUNT; ++slot)
        if (entries[slot].id == id)
            return entries[slot].text.IsEmpty() ? u"" : std::u16string(entries[slot].text);
    return {};
}

std::u16string EnglishText(StringId id)
{
    return TextOf(g_SystemStrings_English, id);
}

std::string Utf8(const std::u16string& text)
{
    return platform::Utf16ToUtf8(text);
}

} // namespace stringstest
