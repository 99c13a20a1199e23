#include "app/popups/SerialNumberEntry.h"

namespace
{

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

std::optional<uint32_t> ParseSerialNumberText(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (const char16_t c : text)
    {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - u'0');
        // Checked at every digit, so a long text cannot overflow the 64-bit sum.
        if (value > MAX_SERIAL_NUMBER)
            return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}
