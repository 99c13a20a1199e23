#include "platform/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <type_traits>

namespace platform
{

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// from_chars takes no '+' sign, though every C parser does; a sign is followed by the number
// itself, never by another sign or a blank.
std::string_view DropPlus(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    return text;
}

// Accepts the "0x" prefix that strtol allows with base 16.
std::string_view DropHexPrefix(std::string_view text, int base)
{
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    return text;
}

template <typename T>
std::optional<T> ParseInteger(std::string_view text, int base)
{
    if (base < 2 || base > 36)
        return std::nullopt;
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && text.front() == '-')
    {
        // An unsigned parse refuses a minus sign instead of wrapping around as strtoul does.
        if constexpr (std::is_unsigned_v<T>)
            return std::nullopt;
        negative = true;
        text.remove_prefix(1);
    }
    else
        text = DropPlus(text);
    text = DropHexPrefix(text, base);
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    using Magnitude = std::make_unsigned_t<T>;
    Magnitude magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if constexpr (std::is_unsigned_v<T>)
        return magnitude;
    else
    {
        const Magnitude limit = static_cast<Magnitude>(std::numeric_limits<T>::max()) + (negative ? 1 : 0);
        if (magnitude > limit)
            return std::nullopt;
        if (negative)
            return static_cast<T>(Magnitude{0} - magnitude);
        return static_cast<T>(magnitude);
    }
}

} // namespace

std::string FormatDouble(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string FormatFixed(double value, int decimals)
{
    // A negative precision means "not given" to printf, which then takes 6.
    if (decimals < 0)
        decimals = 6;
    // The integral part of a double has at most 309 digits; sign, point and decimals come on top.
    std::string text(static_cast<size_t>(decimals) + 320, '\0');
    const auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return {};
    text.resize(static_cast<size_t>(end - text.data()));
    return text;
}

std::optional<double> ParseDouble(std::string_view text)
{
    text = DropPlus(TrimBlanks(text));
    if (text.empty() || text.front() == '+')
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    // "nan" and "inf" would slip through every range check of a caller (NaN compares false).
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int64_t> ParseInt(std::string_view text, int base)
{
    return ParseInteger<int64_t>(text, base);
}

std::optional<uint64_t> ParseUInt(std::string_view text, int base)
{
    return ParseInteger<uint64_t>(text, base);
}

} // namespace platform
