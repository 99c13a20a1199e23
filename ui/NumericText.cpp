#include "ui/NumericText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "platform/Format.h"
#include "platform/Utf.h"

namespace
{

constexpr char16_t kDecimalSeparator = u'.';
constexpr UINT kMinDigits = 1;
// Beyond 17 significant digits a double has nothing more to show.
constexpr UINT kMaxDigits = 17;

bool IsDigit(char16_t unit)
{
    return unit >= u'0' && unit <= u'9';
}

bool IsSign(char16_t unit)
{
    return unit == u'-' || unit == u'+';
}

bool IsBlank(char16_t unit)
{
    return unit <= u' ';
}

void TrimBlanks(std::u16string& text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlank);
    text.erase(text.begin(), first);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlank);
    text.erase(last.base(), text.end());
}

CWideString Wide(const std::string& ascii)
{
    return CWideString(platform::Utf8ToUtf16(ascii).c_str());
}

// Removes, walking from the front, every character that `keep` refuses at the position where it
// stands in the text that is kept so far.
template <typename Keep>
BOOL FilterCharacters(std::u16string& text, Keep keep)
{
    const size_t before = text.size();
    TrimBlanks(text);
    bool removed = text.size() != before;
    std::u16string kept;
    kept.reserve(text.size());
    for (char16_t unit : text)
    {
        if (keep(kept, unit))
            kept.push_back(unit);
        else
            removed = true;
    }
    text = std::move(kept);
    return removed ? TRUE : FALSE;
}

// The first `digits` decimal digits of a whole number of more digits, the rest made zeros: cut on
// the exact decimal expansion of the double, so no division can round it up.
std::string CutIntegerPart(double integerPart, UINT digits)
{
    std::string text = platform::Format("%.0f", integerPart);
    std::fill(text.begin() + digits, text.end(), '0');
    return text;
}

locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    return locale;
}

} // namespace

CWideString CleanNumericText(const CWideString& previous, const char16_t* typed, BOOL allowMinus,
                             BOOL allowDecimal, UINT maxDigits)
{
    CWideString kept = previous;
    kept.Trim();
    CWideString text = typed;
    text.Trim();
    bool separatorSeen = false;
    const uint32_t length = text.GetLength();
    for (uint32_t position = 0; position < length; ++position)
    {
        const char16_t unit = static_cast<const char16_t*>(text)[position];
        if (position == 0 && unit == u'-' && allowMinus)
            continue;
        if (unit == kDecimalSeparator)
        {
            if (!allowDecimal || separatorSeen)
                return kept;
            separatorSeen = true;
            continue;
        }
        if (!IsDigit(unit) || position >= maxDigits)
            return kept;
    }
    return text;
}

CWideString FormatValue(UINT digits, double value)
{
    if (!std::isfinite(value))
        return Wide(platform::Format("%g", value));
    digits = std::clamp(digits, kMinDigits, kMaxDigits);
    const double magnitude = std::fabs(value);
    if (value == 0 || magnitude < std::pow(10.0, -static_cast<double>(digits)))
        return CWideString(u"0");
    const char* sign = value < 0 ? "-" : "";
    const double integerPart = std::trunc(magnitude);
    if (integerPart > std::pow(10.0, digits) - 1)
        return Wide(sign + CutIntegerPart(integerPart, digits));
    UINT integerDigits = 0;
    while (integerDigits < digits && std::pow(10.0, integerDigits) <= magnitude)
        ++integerDigits;
    return Wide(platform::Format("%s%1.*f", sign, static_cast<int>(digits - integerDigits), magnitude));
}

BOOL IsValueInRange(float value, float min, float max)
{
    return std::isfinite(value) && min <= value && value <= max ? TRUE : FALSE;
}

BOOL FilterIntegerText(std::u16string& text)
{
    return FilterCharacters(text, [](const std::u16string& kept, char16_t unit)
                            { return IsDigit(unit) || (kept.empty() && IsSign(unit)); });
}

BOOL FilterRealText(std::u16string& text)
{
    bool separatorSeen = false;
    bool digitSeen = false;
    bool exponentSeen = false;
    return FilterCharacters(
        text,
        [&](const std::u16string& kept, char16_t unit)
        {
            if (IsDigit(unit))
                return digitSeen = true;
            if (IsSign(unit))
                return kept.empty() || (exponentSeen && (kept.back() == u'e' || kept.back() == u'E'));
            if (unit == kDecimalSeparator && !separatorSeen)
                return separatorSeen = true;
            if ((unit == u'e' || unit == u'E') && !exponentSeen && (digitSeen || separatorSeen))
                return exponentSeen = true;
            return false;
        });
}

std::optional<int32_t> ParseIntegerText(std::u16string_view text)
{
    bool negative = false;
    if (!text.empty() && IsSign(text.front()))
    {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit))
        return std::nullopt;
    constexpr int64_t kLimit = static_cast<int64_t>(INT32_MAX) + 1;
    int64_t magnitude = 0;
    for (char16_t unit : text)
        magnitude = std::min<int64_t>(magnitude * 10 + (unit - u'0'), kLimit);
    return static_cast<int32_t>(std::clamp<int64_t>(negative ? -magnitude : magnitude, INT32_MIN, INT32_MAX));
}

namespace
{

// The length of the longest start of the text that is a number in the notation above: sign,
// digits with one separator, an exponent only when it has digits. 0 when it starts with none.
size_t LeadingRealLength(std::u16string_view text)
{
    size_t i = 0;
    if (i < text.size() && IsSign(text[i]))
        ++i;
    size_t mantissaDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        ++mantissaDigits;
    if (i < text.size() && text[i] == kDecimalSeparator)
        for (++i; i < text.size() && IsDigit(text[i]); ++i)
            ++mantissaDigits;
    if (mantissaDigits == 0)
        return 0;
    const size_t end = i;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E'))
    {
        ++i;
        if (i < text.size() && IsSign(text[i]))
            ++i;
        const size_t exponentStart = i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        if (i != exponentStart)
            return i;
    }
    return end;
}

} // namespace

std::optional<double> ParseRealText(std::u16string_view text)
{
    // The grammar first, so that strtod's other forms (hexadecimal, "inf", "nan") never apply.
    if (text.empty() || LeadingRealLength(text) != text.size())
        return std::nullopt;
    const std::string ascii(text.begin(), text.end());
    return strtod_l(ascii.c_str(), nullptr, CLocale());
}

int32_t LeadingIntegerValue(std::u16string_view text)
{
    const size_t sign = !text.empty() && IsSign(text.front()) ? 1 : 0;
    const size_t end =
        static_cast<size_t>(std::find_if_not(text.begin() + sign, text.end(), IsDigit) - text.begin());
    return end > sign ? *ParseIntegerText(text.substr(0, end)) : 0;
}

double LeadingRealValue(std::u16string_view text)
{
    // The longest start of the text that is a number in the notation above, as the system's
    // conversion reads it; its other forms (hexadecimal, "inf", "nan") never apply.
    const size_t length = LeadingRealLength(text);
    return length > 0 ? *ParseRealText(text.substr(0, length)) : 0.0;
}

BOOL sNumericEditRules::FilterText(std::u16string& text) const
{
    if (integerMode)
        return FilterIntegerText(text);
    if (floatMode || doubleMode)
        return FilterRealText(text);
    return FALSE;
}

std::optional<std::u16string> sNumericEditRules::ClampToRange(std::u16string_view text) const
{
    if (!HasNumericMode() || text.empty())
        return std::nullopt;
    std::string bound;
    if (integerMode && integerRangeOn)
    {
        const int32_t value = LeadingIntegerValue(text);
        if (value >= integerMin && value <= integerMax)
            return std::nullopt;
        bound = platform::Format("%d", value < integerMin ? integerMin : integerMax);
    }
    else if ((floatMode && floatRangeOn) || (doubleMode && doubleRangeOn))
    {
        const bool single = floatMode && floatRangeOn;
        const double min = single ? floatMin : doubleMin;
        const double max = single ? floatMax : doubleMax;
        const double value = LeadingRealValue(text);
        if (value >= min && value <= max)
            return std::nullopt;
        const double limit = value < min ? min : max;
        bound = single ? platform::Format("%f", limit) : platform::Format("%12.12f", limit);
    }
    else
    {
        return std::nullopt;
    }
    return platform::Utf8ToUtf16(bound);
}
