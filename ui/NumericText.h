// Numbers as the user types and sees them. One decimal separator everywhere: '.', the "C" locale's,
// for formatting, cleaning and parsing alike (the program runs with LC_NUMERIC "C"); digits are
// '0' to '9'. No Qt here: the edit control and the pages call these, and so does code without a
// display (the calibration data).
#pragma once

#include <cfloat>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/WideString.h"
#include "platform/Types.h"

// What an EN_CHANGE handler of a plain edit box puts back: the trimmed typed text when it is a
// number in the making, else the trimmed previous text. A '-' is taken only first and only with
// allowMinus; one '.' only with allowDecimal; any other character must be a digit at a position
// below maxDigits (positions count the sign and the separator). An empty text passes.
CWideString CleanNumericText(const CWideString& previous, const char16_t* typed, BOOL allowMinus,
                             BOOL allowDecimal, UINT maxDigits);

// The value with `digits` significant digits (1 to 17; other counts are taken as the nearest):
// NaN and infinities as "%g" gives them; zero and magnitudes below 10^-digits as "0"; a larger
// integer part is cut (not rounded) to its first `digits` digits and filled with zeros; anything
// else in fixed notation with as many decimals as the digits left after the integer part, rounded.
// FormatValue(3, 1234567) is "1230000", FormatValue(4, 12.3456) "12.35", FormatValue(2, 999) "990".
CWideString FormatValue(UINT digits, double value);

// TRUE when the value is finite and min <= value <= max.
BOOL IsValueInRange(float value, float min, float max);

// The keystroke filters of the edit control's integer and real modes. Both trim the blanks at the
// ends and remove every character that cannot stand where it is: the integer filter keeps digits
// and one sign first; the real filter also keeps the first '.' wherever it stands, the first 'e'
// or 'E' once a digit or the '.' came before it, and one sign right after that letter. "1.2.3"
// becomes "1.23", "e5" becomes "5", "1e5.3" stays. TRUE when anything was removed.
BOOL FilterIntegerText(std::u16string& text);
BOOL FilterRealText(std::u16string& text);

// Whole-text parses; a text that is not a number from its first to its last character is refused,
// never read as its leading part. Integers: one optional sign and digits; a value beyond int32_t
// gives its nearer limit. Reals: decimal notation with an optional exponent; a magnitude beyond
// double gives an infinity and one below it zero.
std::optional<int32_t> ParseIntegerText(std::u16string_view text);
std::optional<double> ParseRealText(std::u16string_view text);

// The numbers that the edit control's range check reads from its text, as the system's string
// conversions read them: the longest start of the text that is a number, 0 when there is none
// ("-", "." and "+" are 0). The integer is held to the int32_t range.
int32_t LeadingIntegerValue(std::u16string_view text);
double LeadingRealValue(std::u16string_view text);

// The numeric modes and ranges of an edit control, and what they make of its text.
struct sNumericEditRules
{
    BOOL integerMode = FALSE;
    BOOL floatMode = FALSE;
    BOOL doubleMode = FALSE;
    BOOL integerRangeOn = FALSE;
    BOOL floatRangeOn = FALSE;
    BOOL doubleRangeOn = FALSE;
    int32_t integerMin = INT32_MIN;
    int32_t integerMax = INT32_MAX;
    float floatMin = -FLT_MAX;
    float floatMax = FLT_MAX;
    double doubleMin = -DBL_MAX;
    double doubleMax = DBL_MAX;

    BOOL HasNumericMode() const { return integerMode || floatMode || doubleMode; }
    // The integer filter in integer mode, else the real filter in float or double mode; FALSE
    // without a mode. TRUE when the text changed.
    BOOL FilterText(std::u16string& text) const;
    // The range of the first mode (integer, float, double) that is on and has its range on decides
    // on the text's leading number (LeadingIntegerValue, LeadingRealValue): a value below its
    // minimum gives the minimum's text ("%d", "%f" or "%12.12f"), one above its maximum the
    // maximum's. So "-" or "." in a range of 1 to 247 gives "1" at once, as every keystroke is
    // checked. Nothing for a value within the range, without such a mode and for an empty text.
    std::optional<std::u16string> ClampToRange(std::u16string_view text) const;
};
