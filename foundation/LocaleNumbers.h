// Number texts in the user's locale. The user locale is the one the environment names (LC_ALL,
// LC_NUMERIC, LANG), independent of the process locale; the runtime's decimal point is that of the
// process locale (the "C" one below the windows).
#pragma once

#include "foundation/WideString.h"
#include "platform/Types.h"

// Locale items of GetLocaleInfoString, with the platform's numbers.
using LCTYPE = uint32_t;
inline constexpr LCTYPE LOCALE_SDECIMAL = 0x0E;
inline constexpr LCTYPE LOCALE_STHOUSAND = 0x0F;
inline constexpr LCTYPE LOCALE_SNATIVEDIGITS = 0x13;
inline constexpr LCTYPE LOCALE_SSHORTDATE = 0x1F;
inline constexpr LCTYPE LOCALE_S1159 = 0x28; // AM designator
inline constexpr LCTYPE LOCALE_S2359 = 0x29; // PM designator
inline constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;

// The symbols a number text of a locale is made of.
struct sLocaleNumberSymbols
{
    char16_t decimalSeparator = u'.';
    char16_t thousandsSeparator = 0; // 0 when the locale has none
    char16_t digits[10] = {u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9'};
};

// The second character of 1.1 printed with "%g" by the runtime; computed once.
char16_t GetCrtDecimalPoint();
// The first character of the user locale's decimal separator; read once.
char16_t GetLocaleDecimalSeparator();
// The user locale's symbols; read once.
const sLocaleNumberSymbols& GetUserLocaleNumberSymbols();
// Forgets what the three functions above read (tests that change the environment's locale).
void ResetLocaleNumbersForTests();

// Turns the locale's decimal separator into the runtime's decimal point: TRUE (possibly
// unchanged) unless the separator occurs more than once, which gives FALSE and leaves the text.
BOOL NormalizeDecimalSeparator(CWideString& text);
BOOL NormalizeDecimalSeparator(CWideString& text, char16_t localeSeparator, char16_t runtimePoint);

// A number in the user locale: digits (also the locale's own), its thousands separator, a sign
// only first, at most one decimal separator and at least one digit.
BOOL IsNumericText(const char16_t* text);
BOOL IsNumericText(const char16_t* text, const sLocaleNumberSymbols& symbols);

// The item of the user locale; "Invalid flags" for an item this system does not know.
CWideString GetLocaleInfoString(LCTYPE item);
