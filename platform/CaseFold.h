// Case-insensitive comparison of names (the settings store's keys and values): simple case folding
// of ASCII and the rest of the Basic Multilingual Plane, independent of the process locale.
#pragma once

#include <string>
#include <string_view>

namespace platform
{

// The simple case folding of one code unit; surrogates and unfolded characters are returned as they are.
char16_t FoldCase(char16_t unit);
std::u16string FoldCase(std::u16string_view text);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

} // namespace platform
