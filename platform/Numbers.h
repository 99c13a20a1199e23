// Locale-free number formatting and parsing for everything below the windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform
{

// Shortest text that reads back to the same value ("1.5", "0.001", "1e+20").
std::string FormatDouble(double value);
// Fixed notation with the given number of decimals ("%.*f" in the "C" locale).
std::string FormatFixed(double value, int decimals);

// Whole-text parses: leading and trailing blanks allowed, anything else refused.
std::optional<double> ParseDouble(std::string_view text);
std::optional<int64_t> ParseInt(std::string_view text, int base = 10);
std::optional<uint64_t> ParseUInt(std::string_view text, int base = 10);

} // namespace platform
