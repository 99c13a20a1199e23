#include "foundation/SystemTime.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

#include "platform/Clock.h"
#include "platform/Utf.h"

namespace
{

// tzset reads the zone rules (a file) every time, and every trace line asks for the local time: the
// rules are loaded again only when TZ names another zone, or, for a system zone changed under a
// running program, once this long has passed.
constexpr uint64_t kZoneRecheckMs = 60000;

struct LoadedZone
{
    std::mutex mutex;
    bool loaded = false;
    std::string tz; // the TZ variable at the last load; "\x01" while unset
    uint64_t loadedAt = 0;
    std::atomic<uint64_t> loads{0};
};

LoadedZone& Zone()
{
    static LoadedZone zone;
    return zone;
}

constexpr int64_t kSecondsPerDay = 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

void FromTm(const std::tm& tm, WORD milliseconds, SYSTEMTIME& time)
{
    time.wYear = static_cast<WORD>(tm.tm_year + 1900);
    time.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    time.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    time.wDay = static_cast<WORD>(tm.tm_mday);
    time.wHour = static_cast<WORD>(tm.tm_hour);
    time.wMinute = static_cast<WORD>(tm.tm_min);
    time.wSecond = static_cast<WORD>(tm.tm_sec);
    time.wMilliseconds = milliseconds;
}

// Names of tzname are narrow; the record holds at most 31 units and a terminator.
void CopyZoneName(const char* name, WCHAR (&out)[32])
{
    const std::u16string wide = platform::Utf8ToUtf16(name != nullptr ? name : "");
    size_t i = 0;
    for (; i < wide.size() && i < 31; ++i)
        out[i] = wide[i];
    for (; i < 32; ++i)
        out[i] = 0;
}

struct LocalState
{
    long offset; // seconds east of UTC
    bool dst;
};

LocalState LocalStateAt(time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalState{tm.tm_gmtoff, tm.tm_isdst > 0};
}

// The first second at which the local state differs from that at lo, for a change known to lie in
// (lo, hi].
time_t FindTransition(time_t lo, time_t hi)
{
    const LocalState start = LocalStateAt(lo);
    while (hi - lo > 1)
    {
        const time_t mid = lo + (hi - lo) / 2;
        const LocalState s = LocalStateAt(mid);
        if (s.offset == start.offset && s.dst == start.dst)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

// A transition in the weekday-in-month form, on the wall clock in force before it.
SYSTEMTIME TransitionDate(time_t at, long offsetBefore)
{
    const time_t wall = at + offsetBefore;
    std::tm tm{};
    gmtime_r(&wall, &tm);
    SYSTEMTIME date;
    date.wYear = 0;
    date.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    date.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    const unsigned day = static_cast<unsigned>(tm.tm_mday);
    const uint32_t last = GetDaysInMonth(date.wMonth, static_cast<uint32_t>(tm.tm_year + 1900));
    date.wDay = static_cast<WORD>(day + 7 > last ? 5 : (day - 1) / 7 + 1);
    date.wHour = static_cast<WORD>(tm.tm_hour);
    date.wMinute = static_cast<WORD>(tm.tm_min);
    date.wSecond = static_cast<WORD>(tm.tm_sec);
    return date;
}

} // namespace

uint32_t GetDaysInMonth(uint32_t month, uint32_t year)
{
    static constexpr uint32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && (year % 400 == 0 || (year % 4 == 0 && year % 100 != 0)))
        return 29;
    return kDays[month - 1];
}

void RefreshTimeZone()
{
    LoadedZone& zone = Zone();
    const char* variable = std::getenv("TZ");
    const uint64_t now = platform::GetTickCount64();
    std::lock_guard lock(zone.mutex);
    const std::string_view tz = variable != nullptr ? std::string_view(variable) : std::string_view("\x01");
    if (zone.loaded && zone.tz == tz && now - zone.loadedAt < kZoneRecheckMs)
        return;
    tzset();
    zone.loaded = true;
    zone.tz = tz;
    zone.loadedAt = now;
    zone.loads.fetch_add(1);
}

uint64_t GetTimeZoneLoadCount()
{
    return Zone().loads.load();
}

void GetSystemTime(SYSTEMTIME& time)
{
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const uint64_t fileTime = FILETIME_UNIX_EPOCH + static_cast<uint64_t>(ms) * 10000;
    FileTimeToSystemTime(UInt64ToFileTime(fileTime), time);
}

void GetLocalTime(SYSTEMTIME& time)
{
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const time_t seconds = static_cast<time_t>(ms / 1000);
    RefreshTimeZone();
    std::tm tm{};
    localtime_r(&seconds, &tm);
    FromTm(tm, static_cast<WORD>(ms % 1000), time);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME& time, FILETIME& fileTime)
{
    if (time.wYear < 1601 || time.wYear > 30827 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1 ||
        time.wDay > GetDaysInMonth(time.wMonth, time.wYear) || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999)
        return FALSE;
    const int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay) + kDaysFrom1601To1970;
    const int64_t seconds = days * kSecondsPerDay + time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
    const uint64_t units = static_cast<uint64_t>(seconds) * FILETIME_UNITS_PER_SECOND +
                           static_cast<uint64_t>(time.wMilliseconds) * 10000;
    fileTime = UInt64ToFileTime(units);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME& fileTime, SYSTEMTIME& time)
{
    const uint64_t units = FileTimeToUInt64(fileTime);
    if (units > kMaxFileTime)
        return FALSE;
    const auto totalSeconds = static_cast<int64_t>(units / FILETIME_UNITS_PER_SECOND);
    const auto milliseconds = static_cast<WORD>((units % FILETIME_UNITS_PER_SECOND) / 10000);
    const int64_t days = totalSeconds / kSecondsPerDay;
    const int64_t rest = totalSeconds % kSecondsPerDay;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    // 1601-01-01 was a Monday.
    time.wDayOfWeek = static_cast<WORD>((days + 1) % 7);
    time.wHour = static_cast<WORD>(rest / 3600);
    time.wMinute = static_cast<WORD>(rest % 3600 / 60);
    time.wSecond = static_cast<WORD>(rest % 60);
    time.wMilliseconds = milliseconds;
    return TRUE;
}

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION& info)
{
    info = TIME_ZONE_INFORMATION{};
    RefreshTimeZone();
    const time_t now = std::time(nullptr);
    std::tm nowTm{};
    localtime_r(&now, &nowTm);

    // Walk the current year a day at a time; every change of offset or daylight flag is found to
    // the second.
    std::tm startTm{};
    startTm.tm_year = nowTm.tm_year;
    startTm.tm_mon = 0;
    startTm.tm_mday = 1;
    const time_t yearStart = timegm(&startTm) - 14 * 3600;
    const time_t yearEnd = yearStart + 367 * kSecondsPerDay;
    bool haveStandard = false;
    long standardOffset = 0;
    long daylightOffset = 0;
    time_t toDaylight = 0;
    time_t toStandard = 0;
    long offsetBeforeDaylight = 0;
    long offsetBeforeStandard = 0;
    bool foundDaylightStart = false;
    bool foundStandardStart = false;
    LocalState previous = LocalStateAt(yearStart);
    if (!previous.dst)
    {
        haveStandard = true;
        standardOffset = previous.offset;
    }
    for (time_t t = yearStart; t < yearEnd;)
    {
        const time_t next = t + kSecondsPerDay;
        const LocalState s = LocalStateAt(next);
        if (s.offset != previous.offset || s.dst != previous.dst)
        {
            const time_t at = FindTransition(t, next);
            const LocalState after = LocalStateAt(at);
            if (after.dst && !previous.dst && !foundDaylightStart)
            {
                foundDaylightStart = true;
                toDaylight = at;
                offsetBeforeDaylight = previous.offset;
                daylightOffset = after.offset;
            }
            else if (!after.dst && previous.dst && !foundStandardStart)
            {
                foundStandardStart = true;
                toStandard = at;
                offsetBeforeStandard = previous.offset;
                daylightOffset = previous.offset;
            }
            if (!after.dst && !haveStandard)
            {
                haveStandard = true;
                standardOffset = after.offset;
            }
            previous = after;
            t = at;
            continue;
        }
        t = next;
    }
    if (!haveStandard)
        standardOffset = previous.dst ? previous.offset - 3600 : previous.offset;

    info.Bias = static_cast<LONG>(-standardOffset / 60);
    CopyZoneName(tzname[0], info.StandardName);
    CopyZoneName(tzname[1], info.DaylightName);
    if (!foundDaylightStart || !foundStandardStart)
        return TIME_ZONE_ID_UNKNOWN;
    info.DaylightBias = static_cast<LONG>(-(daylightOffset - standardOffset) / 60);
    info.DaylightDate = TransitionDate(toDaylight, offsetBeforeDaylight);
    info.StandardDate = TransitionDate(toStandard, offsetBeforeStandard);
    return nowTm.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}
