#include "ui/NumberEntry.h"

#include <string_view>

#include "foundation/NameLookups.h"
#include "ui/NumericText.h"

std::optional<double> ReadTypedNumber(const CWideString& text)
{
    if (text.IsEmpty())
        return std::nullopt;
    return ParseRealText(std::u16string_view(static_cast<const char16_t*>(text)));
}

CWideString FormatRangeText(double min, double max, UnitId unit)
{
    return CWideString(u"(%g to %g %s)", min, max, static_cast<const char16_t*>(GetUnitAbbreviation(unit)));
}

BOOL IsSalinityTextValid(const CWideString& text)
{
    const std::optional<double> value = ReadTypedNumber(text);
    return value && *value >= SALINITY_MIN_PSU && *value <= SALINITY_MAX_PSU ? TRUE : FALSE;
}

std::optional<float> ReadEntryValue(const CWideString& text)
{
    if (text.IsEmpty())
        return 0.0f;
    const std::optional<double> value = ReadTypedNumber(text);
    if (!value)
        return std::nullopt;
    return static_cast<float>(*value);
}

BOOL IsEntryValueAccepted(const CWideString& text, float min, float max)
{
    const std::optional<float> value = ReadEntryValue(text);
    return value && IsValueInRange(*value, min, max) ? TRUE : FALSE;
}
