#include "calibration/data/CalNumberText.h"

#include <memory>
#include <string_view>

#include "foundation/LocaleNumbers.h"
#include "platform/Numbers.h"

std::optional<double> ParseTypedNumber(const CWideString& text)
{
    CWideString normalized = text;
    if (normalized.IsEmpty() || !NormalizeDecimalSeparator(normalized, GetLocaleDecimalSeparator(), u'.'))
        return std::nullopt;
    const std::unique_ptr<char[]> utf8(WideToAnsi(normalized));
    if (!utf8)
        return std::nullopt;
    return platform::ParseDouble(std::string_view(utf8.get()));
}
