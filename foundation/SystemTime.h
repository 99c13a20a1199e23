// Calendar time as the system's code handles it: our own SYSTEMTIME, FILETIME and
// TIME_ZONE_INFORMATION records with the conversions between them. A FILETIME counts 100-ns units
// since 1601-01-01 00:00:00 UTC; a SYSTEMTIME is the broken-down form of one (UTC unless a function
// says local). Local time and the time zone come from the system's rules (TZ, localtime_r).
#pragma once

#include <cstdint>

#include "platform/Types.h"

struct SYSTEMTIME
{
    WORD wYear = 0;
    WORD wMonth = 0;     // 1..12
    WORD wDayOfWeek = 0; // 0 = Sunday
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;

    friend bool operator==(const SYSTEMTIME&, const SYSTEMTIME&) = default;
};

struct FILETIME
{
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

// The time-zone record of the platform. Bias and the two extra biases are minutes, UTC = local +
// bias. StandardDate and DaylightDate give the transitions in the weekday-in-month form: wYear 0,
// wMonth, wDayOfWeek, wDay = week 1..5 (5 = the last such weekday), wHour and wMinute of the wall
// clock that is in force before the transition; wMonth 0 means the zone has no daylight saving.
struct TIME_ZONE_INFORMATION
{
    LONG Bias = 0;
    WCHAR StandardName[32] = {};
    SYSTEMTIME StandardDate;
    LONG StandardBias = 0;
    WCHAR DaylightName[32] = {};
    SYSTEMTIME DaylightDate;
    LONG DaylightBias = 0;
};

inline constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
inline constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
inline constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;

// FILETIME of 1970-01-01 00:00:00 UTC.
inline constexpr uint64_t FILETIME_UNIX_EPOCH = 116444736000000000ull;
inline constexpr uint64_t FILETIME_UNITS_PER_SECOND = 10000000ull;

inline uint64_t FileTimeToUInt64(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME UInt64ToFileTime(uint64_t value)
{
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// 28..31 in the proleptic Gregorian calendar; 0 for a month outside 1..12.
uint32_t GetDaysInMonth(uint32_t month, uint32_t year);

// Loads the zone rules of the process (tzset) when TZ names another zone than at the last load, and
// at most once a minute otherwise; every local-time conversion of ours calls it first.
void RefreshTimeZone();
// How many times the rules were loaded (tests).
uint64_t GetTimeZoneLoadCount();

// Current time, UTC and local (from the system clock; local through the system's zone rules).
void GetSystemTime(SYSTEMTIME& time);
void GetLocalTime(SYSTEMTIME& time);

// FALSE for a field out of range (year 1601..30827, month 1..12, a day the month has, hour < 24,
// minute and second < 60, milliseconds < 1000); the day of week is ignored.
BOOL SystemTimeToFileTime(const SYSTEMTIME& time, FILETIME& fileTime);
// FALSE for a value above 0x7FFFFFFFFFFFFFFF. Sets the day of week.
BOOL FileTimeToSystemTime(const FILETIME& fileTime, SYSTEMTIME& time);

// The zone of the process (TZ), synthesised from the system's rules for the current year:
// transitions found with localtime_r, names from tzname. Returns TIME_ZONE_ID_UNKNOWN when the zone
// has no daylight saving this year, else TIME_ZONE_ID_DAYLIGHT or TIME_ZONE_ID_STANDARD for now.
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION& info);
