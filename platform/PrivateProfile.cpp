#include "platform/PrivateProfile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/CaseFold.h"
#include "platform/Utf.h"

namespace platform
{

namespace
{

bool IsBlank(char16_t unit)
{
    return unit == u' ' || unit == u'\t' || unit == u'\v' || unit == u'\f';
}

std::u16string_view Trim(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::u16string_view Unquote(std::u16string_view value)
{
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == u'"' || value.front() == u'\''))
        return value.substr(1, value.size() - 2);
    return value;
}

std::u16string_view CutToLimit(std::u16string_view value)
{
    if (value.size() <= CPrivateProfile::kMaxValueUnits)
        return value;
    value = value.substr(0, CPrivateProfile::kMaxValueUnits);
    // A cut between the halves of a surrogate pair would leave half a character.
    if (value.back() >= 0xD800 && value.back() <= 0xDBFF)
        value.remove_suffix(1);
    return value;
}

std::u16string DecodeProfileText(std::string_view bytes)
{
    const auto byteAt = [&bytes](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE)
    {
        std::u16string text;
        text.reserve(bytes.size() / 2);
        // An odd last byte is half a unit: dropped.
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(byteAt(i) | byteAt(i + 1) << 8));
        return text;
    }
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
        bytes.remove_prefix(3);
    return Utf8ToUtf16(bytes);
}

} // namespace

bool CPrivateProfile::Load(const std::filesystem::path& file)
{
    m_entries.clear();
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxFileBytes)
        return false;
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad())
        return false;
    Parse(bytes);
    return true;
}

void CPrivateProfile::Parse(std::string_view bytes)
{
    m_entries.clear();
    const std::u16string text = DecodeProfileText(bytes);
    std::u16string foldedSection;
    bool inSection = false;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos)
            end = text.size();
        const std::u16string_view line = Trim(std::u16string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[')
        {
            const size_t close = line.find(u']');
            const std::u16string_view name =
                line.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1);
            foldedSection = FoldCase(Trim(name));
            inSection = true;
            continue;
        }
        const size_t equals = line.find(u'=');
        if (!inSection || equals == std::u16string_view::npos)
            continue;
        const std::u16string_view value = CutToLimit(Unquote(Trim(line.substr(equals + 1))));
        m_entries.push_back({foldedSection, FoldCase(Trim(line.substr(0, equals))), std::u16string(value)});
    }
}

const CPrivateProfile::Entry* CPrivateProfile::Find(std::u16string_view section,
                                                    std::u16string_view key) const
{
    const std::u16string foldedSection = FoldCase(section);
    const std::u16string foldedKey = FoldCase(key);
    for (const Entry& entry : m_entries)
        if (entry.foldedSection == foldedSection && entry.foldedKey == foldedKey)
            return &entry;
    return nullptr;
}

std::u16string CPrivateProfile::GetString(std::u16string_view section, std::u16string_view key,
                                          std::u16string_view defaultValue) const
{
    const Entry* entry = Find(section, key);
    return std::u16string(entry != nullptr ? std::u16string_view(entry->value) : CutToLimit(defaultValue));
}

int32_t CPrivateProfile::GetInt(std::u16string_view section, std::u16string_view key,
                                int32_t defaultValue) const
{
    const Entry* entry = Find(section, key);
    if (entry == nullptr || entry->value.empty())
        return defaultValue;
    std::u16string_view text = entry->value;
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+'))
    {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    // Accumulated as a magnitude beyond which every value is out of range anyway.
    constexpr int64_t kLimit = static_cast<int64_t>(INT32_MAX) + 1;
    int64_t magnitude = 0;
    for (char16_t unit : text)
    {
        if (unit < u'0' || unit > u'9')
            break;
        magnitude = std::min<int64_t>(magnitude * 10 + (unit - u'0'), kLimit);
    }
    const int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace platform
