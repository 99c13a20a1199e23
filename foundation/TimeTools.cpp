#include "foundation/TimeTools.h"

#include <ctime>
#include <limits>

#include "platform/Format.h"
#include "platform/Utf.h"

namespace
{

bool ToFileTime(const SYSTEMTIME& time, uint64_t& units)
{
    FILETIME ft;
    if (!SystemTimeToFileTime(time, ft))
        return false;
    units = FileTimeToUInt64(ft);
    return true;
}

void AppendHex(std::string& out, uint32_t value, int digits)
{
    out += platform::Format("%0*X", digits, value);
}

void AppendSystemTimeHex(std::string& out, const SYSTEMTIME& t)
{
    for (WORD field :
         {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds})
        AppendHex(out, field, 4);
}

CWideString ToWide(const std::string& ascii)
{
    const std::u16string wide = platform::Utf8ToUtf16(ascii);
    return CWideString(wide.c_str());
}

// Seconds east of UTC of the zone's standard time in the year of t: the offset of an instant of
// that year without daylight saving (January or July, whichever is standard).
long StandardOffsetOfYear(time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    for (int month : {0, 6})
    {
        std::tm probe{};
        probe.tm_year = tm.tm_year;
        probe.tm_mon = month;
        probe.tm_mday = 1;
        probe.tm_hour = 12;
        const time_t at = timegm(&probe);
        std::tm local{};
        localtime_r(&at, &local);
        if (local.tm_isdst <= 0)
            return local.tm_gmtoff;
    }
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff - 3600;
}

} // namespace

BOOL IsTimeBefore(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    uint64_t ua = 0;
    uint64_t ub = 0;
    if (!ToFileTime(a, ua) || !ToFileTime(b, ub))
        return FALSE;
    return ua < ub ? TRUE : FALSE;
}

BOOL IsTimeAfter2100(const SYSTEMTIME& time)
{
    const SYSTEMTIME limit{2100, 1, 5, 1, 0, 0, 0, 0};
    return IsTimeBefore(limit, time);
}

uint32_t GetDayOfWeek(const SYSTEMTIME& date)
{
    if (date.wYear < 1970 || date.wYear > 2100)
        return 0;
    SYSTEMTIME midnight = date;
    midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
    FILETIME ft;
    SYSTEMTIME resolved;
    if (!SystemTimeToFileTime(midnight, ft) || !FileTimeToSystemTime(ft, resolved))
        return 0;
    return resolved.wDayOfWeek;
}

void ResolveTimeZoneDates(TIME_ZONE_INFORMATION& info, uint32_t year, BOOL ignoreDaylightSaving)
{
    info.StandardDate.wYear = static_cast<WORD>(year);
    info.DaylightDate.wYear = static_cast<WORD>(year);
    if (ignoreDaylightSaving || info.StandardDate.wMonth == 0 || info.DaylightDate.wMonth == 0)
    {
        info.StandardBias = 0;
        info.DaylightBias = 0;
        return;
    }
    for (SYSTEMTIME* date : {&info.StandardDate, &info.DaylightDate})
    {
        const uint32_t last = GetDaysInMonth(date->wMonth, year);
        uint32_t found = 0;
        uint32_t chosen = 0;
        for (uint32_t day = 1; day <= last; ++day)
        {
            SYSTEMTIME probe{static_cast<WORD>(year), date->wMonth, 0, static_cast<WORD>(day), 0, 0, 0, 0};
            if (GetDayOfWeek(probe) != date->wDayOfWeek)
                continue;
            chosen = day;
            if (++found == date->wDay)
                break;
        }
        if (chosen != 0)
            date->wDay = static_cast<WORD>(chosen);
    }
}

BOOL SystemTimeUtcToLocal(const SYSTEMTIME& utc, BOOL ignoreDaylightSaving, SYSTEMTIME& local)
{
    uint64_t units = 0;
    if (!ToFileTime(utc, units))
        return FALSE;
    const auto seconds = static_cast<time_t>(units / FILETIME_UNITS_PER_SECOND) -
                         static_cast<time_t>(FILETIME_UNIX_EPOCH / FILETIME_UNITS_PER_SECOND);
    RefreshTimeZone();
    std::tm tm{};
    if (localtime_r(&seconds, &tm) == nullptr)
        return FALSE;
    long offset = tm.tm_gmtoff;
    if (ignoreDaylightSaving && tm.tm_isdst > 0)
        offset = StandardOffsetOfYear(seconds);
    const int64_t shifted = static_cast<int64_t>(units) + static_cast<int64_t>(offset) * 10000000;
    if (shifted < 0)
        return FALSE;
    return FileTimeToSystemTime(UInt64ToFileTime(static_cast<uint64_t>(shifted)), local);
}

int64_t GetMillisecondsBetween(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    uint64_t ua = 0;
    uint64_t ub = 0;
    if (!ToFileTime(a, ua) || !ToFileTime(b, ub))
        return 0;
    return (static_cast<int64_t>(ua) - static_cast<int64_t>(ub)) / 10000;
}

BOOL AddMillisecondsToSystemTime(SYSTEMTIME& time, int64_t milliseconds)
{
    uint64_t units = 0;
    if (!ToFileTime(time, units))
        return FALSE;
    // FILETIMEs of valid SYSTEMTIMEs stay far below 2^63, so only the product can overflow.
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10000;
    if (milliseconds > kLimit || milliseconds < -kLimit)
        return FALSE;
    const int64_t result = static_cast<int64_t>(units) + milliseconds * 10000;
    if (result < 0)
        return FALSE;
    SYSTEMTIME converted;
    if (!FileTimeToSystemTime(UInt64ToFileTime(static_cast<uint64_t>(result)), converted))
        return FALSE;
    FILETIME check;
    if (!SystemTimeToFileTime(converted, check)) // beyond the year 30827
        return FALSE;
    time = converted;
    return TRUE;
}

CWideString FormatSystemTimeHex(const SYSTEMTIME& time)
{
    std::string out;
    AppendSystemTimeHex(out, time);
    return ToWide(out);
}

CWideString FormatTimeZoneInfoHex(const TIME_ZONE_INFORMATION& info)
{
    std::string out;
    AppendHex(out, static_cast<uint32_t>(info.Bias), 8);
    for (WCHAR unit : info.StandardName)
        AppendHex(out, unit, 4);
    AppendSystemTimeHex(out, info.StandardDate);
    AppendHex(out, static_cast<uint32_t>(info.StandardBias), 8);
    for (WCHAR unit : info.DaylightName)
        AppendHex(out, unit, 4);
    AppendSystemTimeHex(out, info.DaylightDate);
    AppendHex(out, static_cast<uint32_t>(info.DaylightBias), 8);
    return ToWide(out);
}
