// The live data page's own settings in the profile section "Logging", and the rule of its log rate.
#pragma once

#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr const char16_t* LOGGING_SECTION = u"Logging";
inline constexpr const char16_t* LOG_RATE_ENTRY = u"LogRate_Sec";
inline constexpr const char16_t* LOG_DATA_ENTRY = u"LogData";
inline constexpr const char16_t* WORKING_DIRECTORY_ENTRY = u"Working Directory";
inline constexpr const char16_t* TIME_ZONE_UTC_ENTRY = u"TimeZone_UTC";

// Seconds between two poll rounds.
inline constexpr int DEFAULT_LOG_RATE = 10;
inline constexpr int MIN_LOG_RATE = 10;
inline constexpr int MAX_LOG_RATE = 43200;
// What the rate edit accepts while typing.
inline constexpr int LOG_RATE_MAX_DIGITS = 8;

// The rate of the edit's text: the trimmed text as a decimal number; 0 when it is empty or is not
// made of digits alone.
int ParseLogRate(const CWideString& text);
inline BOOL IsValidLogRate(int seconds)
{
    return seconds >= MIN_LOG_RATE && seconds <= MAX_LOG_RATE ? TRUE : FALSE;
}
