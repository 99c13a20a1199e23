// INI files read the way the Windows private-profile functions read them, for the files that the
// system keeps beside its executable (the skin file):
//   - "[Section]" lines open a section; "key=value" lines belong to the section above them; lines
//     before the first section, lines without '=' and lines starting with ';' are ignored;
//   - section and key names compare without regard to case; names and values are trimmed of
//     blanks; a value enclosed in a pair of the same quote character (' or ") loses the pair;
//   - a value is cut at kMaxValueUnits code units (the 1024-unit buffer of its callers);
//   - the first occurrence of a key wins, also across repeated sections;
//   - the text is UTF-16LE when it starts with its byte order mark, else UTF-8 (a UTF-8 BOM is
//     skipped, ill-formed bytes become U+FFFD so that one odd character does not lose the file).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform
{

class CPrivateProfile
{
public:
    static constexpr size_t kMaxValueUnits = 1023;
    // Bigger files are not profiles; reading one is refused rather than held in memory.
    static constexpr uintmax_t kMaxFileBytes = 1u << 20;

    // Replaces the content with the file's; false (and an empty profile) when the file is missing,
    // unreadable or larger than kMaxFileBytes.
    bool Load(const std::filesystem::path& file);
    // Replaces the content with the parsed bytes.
    void Parse(std::string_view bytes);

    // The value, or the default when the section or key is missing.
    std::u16string GetString(std::u16string_view section, std::u16string_view key,
                             std::u16string_view defaultValue) const;
    // The default when the key is missing or its value is empty; otherwise the leading signed
    // decimal number of the value (0 when it has none), held within the range of int32_t.
    int32_t GetInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const;

private:
    struct Entry
    {
        std::u16string foldedSection;
        std::u16string foldedKey;
        std::u16string value;
    };

    const Entry* Find(std::u16string_view section, std::u16string_view key) const;

    std::vector<Entry> m_entries;
};

} // namespace platform
