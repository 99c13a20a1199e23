#include "connection/AppProfile.h"

#include <optional>
#include <string>

#include "platform/SettingsStore.h"

namespace
{

using platform::Hive;

std::u16string SectionKey(const char16_t* section)
{
    std::u16string key = APP_PROFILE_KEY;
    if (section != nullptr && section[0] != 0)
        key += u"\\" + std::u16string(section);
    return key;
}

std::u16string_view EntryName(const char16_t* entry)
{
    return entry != nullptr ? std::u16string_view(entry) : std::u16string_view();
}

} // namespace

int GetProfileInt(const char16_t* section, const char16_t* entry, int defaultValue)
{
    const std::optional<uint32_t> value =
        platform::settings::GetDword(Hive::CurrentUser, SectionKey(section), EntryName(entry));
    return value ? static_cast<int>(*value) : defaultValue;
}

CWideString GetProfileString(const char16_t* section, const char16_t* entry, const char16_t* defaultValue)
{
    const std::optional<std::u16string> value =
        platform::settings::GetString(Hive::CurrentUser, SectionKey(section), EntryName(entry));
    return value ? CWideString(value->c_str()) : CWideString(defaultValue);
}

BOOL WriteProfileInt(const char16_t* section, const char16_t* entry, int value)
{
    return platform::settings::SetDword(Hive::CurrentUser, SectionKey(section), EntryName(entry),
                                        static_cast<uint32_t>(value))
               ? TRUE
               : FALSE;
}

BOOL WriteProfileString(const char16_t* section, const char16_t* entry, const char16_t* value)
{
    if (value == nullptr)
    {
        const std::u16string key = SectionKey(section);
        platform::settings::DeleteValue(Hive::CurrentUser, key, EntryName(entry));
        return platform::settings::GetValue(Hive::CurrentUser, key, EntryName(entry)) ? FALSE : TRUE;
    }
    return platform::settings::SetString(Hive::CurrentUser, SectionKey(section), EntryName(entry), value)
               ? TRUE
               : FALSE;
}

BOOL WriteProfileStrings(const char16_t* section,
                         const std::vector<std::pair<CWideString, const char16_t*>>& entries)
{
    std::vector<std::pair<std::u16string, std::optional<platform::RegValue>>> values;
    for (const auto& [entry, value] : entries)
    {
        values.emplace_back(EntryName(entry), std::nullopt);
        if (value != nullptr)
            values.back().second = platform::RegValue::FromString(value);
    }
    return platform::settings::SetValues(Hive::CurrentUser, SectionKey(section), values) ? TRUE : FALSE;
}
