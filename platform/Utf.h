// Conversions between UTF-8 ("8-bit text" everywhere in this system) and UTF-16 code units.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform
{

// Strict conversions: nullopt when the input is not well-formed (a stray surrogate, an overlong or
// truncated UTF-8 sequence, a code point above U+10FFFF).
std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view text);
std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view text);

// Lenient conversions: every ill-formed sequence becomes U+FFFD, nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Length of a zero-terminated UTF-16 text; 0 for null.
size_t Utf16Length(const char16_t* text);

} // namespace platform
