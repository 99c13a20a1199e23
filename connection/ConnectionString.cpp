#include "connection/ConnectionString.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "connection/AppProfile.h"

namespace
{

constexpr size_t kFieldCount = 6;
// Longer words are no setting; the address is read from its first digits.
constexpr size_t kMaxFieldUnits = 19;

constexpr std::array<std::u16string_view, 4> kBaudTexts = {u"9600", u"19200", u"38400", u"57600"};
constexpr std::array<std::u16string_view, 2> kDataBitsTexts = {u"7", u"8"};
constexpr std::array<std::u16string_view, 3> kParityTexts = {u"E", u"O", u"N"};
constexpr std::array<std::u16string_view, 2> kStopBitsTexts = {u"1", u"2"};
constexpr std::array<std::u16string_view, 2> kModeTexts = {u"RTU", u"ASCII"};

bool IsBlank(char16_t unit)
{
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

// Upper case, commas as blanks, split at blanks.
std::vector<std::u16string> Fields(const char16_t* text)
{
    std::vector<std::u16string> fields;
    std::u16string field;
    for (const char16_t* at = text; *at != 0; ++at)
    {
        char16_t unit = *at;
        if (unit == u',' || IsBlank(unit))
        {
            if (!field.empty())
                fields.push_back(std::move(field));
            field.clear();
            continue;
        }
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
        field += unit;
    }
    if (!field.empty())
        fields.push_back(std::move(field));
    return fields;
}

// The id of the field's text (the index among the texts plus the first id).
template <size_t N>
bool ReadField(const std::u16string& field, const std::array<std::u16string_view, N>& texts, ULONG firstId,
               ULONG& id)
{
    for (size_t i = 0; i < N; ++i)
    {
        if (field == texts[i])
        {
            id = firstId + static_cast<ULONG>(i);
            return true;
        }
    }
    return false;
}

// The number of the leading digits (after an optional sign), saturated far beyond any address so
// that a long run of digits cannot wrap round into the range.
int64_t LeadingNumber(const std::u16string& field)
{
    constexpr int64_t kSaturated = int64_t{1} << 40;
    size_t at = 0;
    bool negative = false;
    if (at < field.size() && (field[at] == u'+' || field[at] == u'-'))
        negative = field[at++] == u'-';
    int64_t number = 0;
    for (; at < field.size() && field[at] >= u'0' && field[at] <= u'9'; ++at)
        number = std::min(number * 10 + (field[at] - u'0'), kSaturated);
    return negative ? -number : number;
}

// Texts held by CWideString may be null; null and "" compare alike.
bool SameText(const char16_t* a, const char16_t* b)
{
    return std::u16string_view(a != nullptr ? a : u"") == std::u16string_view(b != nullptr ? b : u"");
}

template <size_t N>
std::u16string_view TextOf(const std::array<std::u16string_view, N>& texts, ULONG id, ULONG firstId)
{
    return id >= firstId && id - firstId < N ? texts[id - firstId] : std::u16string_view();
}

} // namespace

BOOL ParseConnectionString(const char16_t* text, ULONG& baudId, ULONG& dataBitsId, ULONG& parityId,
                           ULONG& stopBitsId, ULONG& mode, USHORT& address)
{
    if (text == nullptr)
        return FALSE;
    const std::vector<std::u16string> fields = Fields(text);
    if (fields.size() < kFieldCount ||
        std::any_of(fields.begin(), fields.begin() + kFieldCount,
                    [](const std::u16string& field) { return field.size() > kMaxFieldUnits; }))
        return FALSE;
    if (!ReadField(fields[0], kBaudTexts, COMM_BAUD_ID_9600, baudId) ||
        !ReadField(fields[1], kDataBitsTexts, 0, dataBitsId) ||
        !ReadField(fields[2], kParityTexts, 0, parityId) ||
        !ReadField(fields[3], kStopBitsTexts, 0, stopBitsId) || !ReadField(fields[4], kModeTexts, 0, mode))
        return FALSE;
    // Checked as the number it is: narrowed first, 65537 would pass as address 1.
    const int64_t number = LeadingNumber(fields[5]);
    if (number >= 0 && number <= UINT16_MAX)
        address = static_cast<USHORT>(number);
    return IsProbeAddress(number) ? TRUE : FALSE;
}

BOOL ParseConnectionString(const char16_t* text, sCommSettings& settings)
{
    return ParseConnectionString(text, settings.BaudId, settings.DataBitsId, settings.ParityId,
                                 settings.StopBitsId, settings.Mode, settings.Address);
}

CWideString FormatConnectionString(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId,
                                   ULONG mode, USHORT address)
{
    const std::u16string_view fields[] = {TextOf(kBaudTexts, baudId, COMM_BAUD_ID_9600),
                                          TextOf(kDataBitsTexts, dataBitsId, 0),
                                          TextOf(kParityTexts, parityId, 0),
                                          TextOf(kStopBitsTexts, stopBitsId, 0), TextOf(kModeTexts, mode, 0)};
    if (!IsProbeAddress(address) || std::any_of(std::begin(fields), std::end(fields),
                                                [](std::u16string_view field) { return field.empty(); }))
        return CWideString();
    std::u16string text;
    for (std::u16string_view field : fields)
        (text += field) += u',';
    for (char digit : std::to_string(address))
        text += static_cast<char16_t>(digit);
    return CWideString(text.c_str());
}

BOOL StoreConnectionString(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId, ULONG mode,
                           USHORT address)
{
    // An empty text first in the list would end every later search at entry 0 and lose the list
    // at the next store.
    const CWideString text = FormatConnectionString(baudId, dataBitsId, parityId, stopBitsId, mode, address);
    if (text.IsEmpty())
        return FALSE;
    std::vector<CWideString> list{text};
    const int maxParams = GetMaxStoredConnectionStrings();
    for (int i = 0; i < maxParams; ++i)
    {
        const CWideString stored =
            GetProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(i), u"");
        if (!stored.IsEmpty() && !SameText(stored, text))
            list.push_back(stored);
    }
    // The list is written in one go: a settings file that cannot take it keeps the list it had
    // (and the user is told once), rather than losing the entries already taken out.
    const int kept = static_cast<int>(std::min(list.size(), static_cast<size_t>(maxParams)));
    std::vector<std::pair<CWideString, const char16_t*>> entries;
    for (int i = 0; i < maxParams; ++i)
        entries.emplace_back(GetConnectionStringEntryName(i),
                             i < kept ? static_cast<const char16_t*>(list[static_cast<size_t>(i)]) : nullptr);
    WriteProfileStrings(PROFILE_SECTION_COMMUNICATION, entries);
    return TRUE;
}

int GetMaxStoredConnectionStrings()
{
    return std::clamp(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0), 0,
                      MAX_STORED_CONNECTION_STRINGS);
}

CWideString GetConnectionStringEntryName(int number)
{
    return CWideString(u"Params%02d", number);
}

std::vector<CWideString> GetSearchConnectionStrings()
{
    std::vector<CWideString> strings;
    const int maxParams = GetMaxStoredConnectionStrings();
    for (int i = 0; i < maxParams; ++i)
    {
        CWideString stored =
            GetProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(i), u"");
        if (stored.IsEmpty())
            break;
        strings.push_back(stored);
    }
    const CWideString fallback = GetProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"");
    if (!fallback.IsEmpty() &&
        std::none_of(strings.begin(), strings.end(),
                     [&](const CWideString& stored) { return SameText(stored, fallback); }))
        strings.push_back(fallback);
    if (strings.empty())
        strings.emplace_back(DEFAULT_CONNECTION_STRING);
    return strings;
}
