// Calendar arithmetic and time-zone handling on SYSTEMTIME, and the hexadecimal renderings that
// diagnostics and log meta-data carry.
#pragma once

#include <cstdint>

#include "foundation/SystemTime.h"
#include "foundation/WideString.h"

// Compared as FILETIME; FALSE when either time is not a valid calendar time.
BOOL IsTimeBefore(const SYSTEMTIME& a, const SYSTEMTIME& b);
// Strictly later than 2100-01-01 00:00:00.000.
BOOL IsTimeAfter2100(const SYSTEMTIME& time);

// 0 (Sunday) to 6 for valid dates of the years 1970 to 2100; 0 for anything else.
uint32_t GetDayOfWeek(const SYSTEMTIME& date);

// Puts the year into StandardDate and DaylightDate; with daylight saving honoured and both months
// set, turns the week numbers into days of that year (week 5, or a week the month lacks, is the
// last such weekday). With daylight saving ignored, or a month 0, both extra biases become 0.
void ResolveTimeZoneDates(TIME_ZONE_INFORMATION& info, uint32_t year, BOOL ignoreDaylightSaving);

// Local wall-clock time of a UTC time by the system's zone rules for that instant. With
// ignoreDaylightSaving the zone's standard offset of that year is applied all year round.
// FALSE (local unchanged) when the UTC time is not a valid calendar time.
BOOL SystemTimeUtcToLocal(const SYSTEMTIME& utc, BOOL ignoreDaylightSaving, SYSTEMTIME& local);

// (a - b) in milliseconds; 0 when equal or when either time is invalid.
int64_t GetMillisecondsBetween(const SYSTEMTIME& a, const SYSTEMTIME& b);
// FALSE, time unchanged, when the time is invalid or the result leaves the FILETIME range.
BOOL AddMillisecondsToSystemTime(SYSTEMTIME& time, int64_t milliseconds);

// The eight fields in order, "%04X" each (32 digits).
CWideString FormatSystemTimeHex(const SYSTEMTIME& time);
// Bias "%08X", StandardName (32 units "%04X"), StandardDate, StandardBias, DaylightName,
// DaylightDate, DaylightBias: the text of the log meta tag with the PC's time zone.
CWideString FormatTimeZoneInfoHex(const TIME_ZONE_INFORMATION& info);
