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
// Fixed notation with the given number of decimals ("%.*f" in the "C" locale; a negative count
// means 6, as there).
std::string FormatFixed(double value, int decimals);

// Whole-text parses: leading and trailing blanks allowed, anything else refused. One sign is
// allowed ('+' too); base 16 also takes a "0x" prefix; bases outside 2..36 are refused. An unsigned
// parse refuses '-', and every parse refuses values out of range. ParseDouble takes finite decimal
// numbers only: "nan", "inf" and hexadecimal floating point are refused, since a NaN would pass any
// range check of the caller.
std::optional<double> ParseDouble(std::string_view text);
std::optional<int64_t> ParseInt(std::string_view text, int base = 10);
std::optional<uint64_t> ParseUInt(std::string_view text, int base = 10);

} // namespace platform
