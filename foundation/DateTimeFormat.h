// Date and time texts in the user's own formats. The user default locale is the one the
// environment names (LC_ALL, LC_TIME, LANG); its D_FMT and T_FMT are the default formats.
#pragma once

#include "foundation/SystemTime.h"
#include "foundation/WideString.h"

CWideString FormatDate(const SYSTEMTIME& time);
// The short date with the year in four digits, whatever the locale's own format gives it.
CWideString FormatDateFullYear(const SYSTEMTIME& time);
CWideString FormatTime(const SYSTEMTIME& time);
// Date, a blank, time.
CWideString FormatDateTime(const SYSTEMTIME& time);

// A user pattern with the tokens yyyy yy MMMM MMM MM M dd d HH H hh h mm m ss s ms tt (and the
// upper-case spellings YYYY YY DD D); the one-letter tokens print without a leading zero; h and hh
// make a 12-hour time that always ends with the AM/PM designator. Other characters are copied.
CWideString FormatDateTimePattern(const char16_t* pattern, const SYSTEMTIME& time);
