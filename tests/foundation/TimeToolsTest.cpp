#include <string>

#include <gtest/gtest.h>

#include "foundation/SystemTime.h"
#include "foundation/TimeTools.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/foundation/WideText.h"

using testsupport::Text;

namespace
{

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0)
{
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

WORD LocalHour(const SYSTEMTIME& utc, BOOL ignoreDst = FALSE)
{
    SYSTEMTIME local{};
    EXPECT_TRUE(SystemTimeUtcToLocal(utc, ignoreDst, local));
    return local.wHour;
}

} // namespace

TEST(TimeTools, FileTimeConversionsAndCalendarArithmetic)
{
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(At(1970, 1, 1), ft));
    EXPECT_EQ(FileTimeToUInt64(ft), FILETIME_UNIX_EPOCH);
    SYSTEMTIME back;
    ASSERT_TRUE(SystemTimeToFileTime(At(2024, 2, 29, 23, 59, 59, 999), ft));
    ASSERT_TRUE(FileTimeToSystemTime(ft, back));
    EXPECT_EQ(back, (SYSTEMTIME{2024, 2, 4, 29, 23, 59, 59, 999}));
    for (const SYSTEMTIME& bad : {At(2023, 2, 29), At(1600, 12, 31), At(2024, 13, 1), At(2024, 1, 0),
                                  At(2024, 1, 1, 24), At(2024, 1, 1, 0, 0, 0, 1000)})
        EXPECT_FALSE(SystemTimeToFileTime(bad, ft)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;
    EXPECT_FALSE(FileTimeToSystemTime(UInt64ToFileTime(0x8000000000000000ull), back));
    // The last time a FILETIME holds is still a time.
    ASSERT_TRUE(FileTimeToSystemTime(UInt64ToFileTime(0x7FFFFFFFFFFFFFFFull), back));
    EXPECT_EQ(back, (SYSTEMTIME{30828, 9, 4, 14, 2, 48, 5, 477}));
    EXPECT_EQ(GetDaysInMonth(2, 1900), 28u);
    EXPECT_EQ(GetDaysInMonth(2, 2000), 29u);
    EXPECT_EQ(GetDaysInMonth(13, 2000), 0u);
    EXPECT_EQ(GetDayOfWeek(At(2100, 1, 1)), 5u);
    EXPECT_EQ(GetMillisecondsBetween(At(2024, 1, 1, 0, 0, 0, 250), At(2024, 1, 1, 0, 0, 1)), -750);
    SYSTEMTIME t = At(2023, 12, 31, 23, 59, 59, 900);
    ASSERT_TRUE(AddMillisecondsToSystemTime(t, 100));
    EXPECT_EQ(t, (SYSTEMTIME{2024, 1, 1, 1, 0, 0, 0, 0}));
    const SYSTEMTIME kept = t;
    EXPECT_FALSE(AddMillisecondsToSystemTime(t, INT64_MIN));
    EXPECT_EQ(t, kept);
    EXPECT_FALSE(IsTimeAfter2100(At(2100, 1, 1)));
    EXPECT_TRUE(IsTimeAfter2100(At(2100, 1, 1, 0, 0, 0, 1)));
}

TEST(TimeTools, TimeZoneInformationIsSynthesisedResolvedAndRenderedInHex)
{
    EXPECT_EQ(Text(FormatSystemTimeHex(SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 42})),
              u"07E8000300020005000E00070009002A");
    TIME_ZONE_INFORMATION info;
    info.Bias = -60;
    info.StandardName[0] = u'C';
    info.DaylightBias = -60;
    info.StandardDate.wMonth = 10;
    const std::u16string hex = Text(FormatTimeZoneInfoHex(info));
    ASSERT_EQ(hex.size(), 8u + 128 + 32 + 8 + 128 + 32 + 8);
    EXPECT_EQ(hex.substr(0, 16), u"FFFFFFC400430000");
    EXPECT_EQ(hex.substr(136, 8), u"0000000A"); // StandardDate.wYear, wMonth
    // Rules of the n-th weekday of a month resolved to dates of a year.
    info.StandardBias = 5;
    info.DaylightDate = SYSTEMTIME{0, 3, 0, 5, 2, 0, 0, 0};  // last Sunday of March
    info.StandardDate = SYSTEMTIME{0, 11, 0, 1, 2, 0, 0, 0}; // first Sunday of November
    TIME_ZONE_INFORMATION resolved = info;
    ResolveTimeZoneDates(resolved, 2024, FALSE);
    EXPECT_EQ(resolved.DaylightDate.wDay, 31);
    EXPECT_EQ(resolved.StandardDate.wDay, 3);
    info.DaylightDate.wDay = 2; // second Sunday
    resolved = info;
    ResolveTimeZoneDates(resolved, 2023, TRUE);
    EXPECT_EQ(resolved.DaylightDate.wDay, 2) << "ignoring daylight saving leaves the rules";
    EXPECT_EQ(resolved.DaylightBias, 0);
    resolved = info;
    ResolveTimeZoneDates(resolved, 2023, FALSE);
    EXPECT_EQ(resolved.DaylightDate.wDay, 12);
    // Synthesised from the rules of the TZ variable.
    auto zone = [](const char* rules, TIME_ZONE_INFORMATION& out)
    {
        testsupport::ScopedEnv tz("TZ", rules);
        return GetTimeZoneInformation(out);
    };
    TIME_ZONE_INFORMATION cet, eastern, utc;
    const DWORD id = zone(testsupport::kCentralEurope, cet);
    EXPECT_TRUE(id == TIME_ZONE_ID_STANDARD || id == TIME_ZONE_ID_DAYLIGHT);
    EXPECT_EQ(cet.Bias, -60);
    EXPECT_EQ(std::u16string(cet.DaylightName), u"CEST");
    EXPECT_EQ(cet.DaylightDate, (SYSTEMTIME{0, 3, 0, 5, 2, 0, 0, 0}));
    EXPECT_EQ(cet.StandardDate, (SYSTEMTIME{0, 10, 0, 5, 3, 0, 0, 0}));
    zone(testsupport::kUsEastern, eastern);
    EXPECT_EQ(eastern.Bias, 300);
    EXPECT_EQ(eastern.DaylightDate, (SYSTEMTIME{0, 3, 0, 2, 2, 0, 0, 0}));
    EXPECT_EQ(zone("UTC0", utc), TIME_ZONE_ID_UNKNOWN);
    EXPECT_EQ(utc.StandardDate.wMonth, 0);
}

// The last daylight hour before the change back is where a standard-bias conversion goes wrong.
TEST(TimeTools, UtcToLocalFollowsTheZoneRulesAtBothTransitions)
{
    testsupport::ScopedEnv tz("TZ", testsupport::kCentralEurope);
    // Daylight saving ends 2024-10-27 01:00 UTC (03:00 CEST becomes 02:00 CET).
    EXPECT_EQ(LocalHour(At(2024, 10, 27, 0, 30)), 2);
    EXPECT_EQ(LocalHour(At(2024, 10, 27, 1, 0)), 2);
    EXPECT_EQ(LocalHour(At(2024, 10, 27, 2, 0)), 3);
    // Daylight saving starts 2024-03-31 01:00 UTC.
    EXPECT_EQ(LocalHour(At(2024, 3, 31, 0, 59)), 1);
    EXPECT_EQ(LocalHour(At(2024, 3, 31, 1, 0)), 3);
    // Ignoring daylight saving applies the standard offset all year.
    EXPECT_EQ(LocalHour(At(2024, 7, 1, 12, 0), TRUE), 13);
    EXPECT_EQ(LocalHour(At(2024, 7, 1, 12, 0)), 14);
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeUtcToLocal(At(2023, 12, 31, 23, 30), FALSE, local));
    EXPECT_EQ(local, (SYSTEMTIME{2024, 1, 1, 1, 0, 30, 0, 0}));
    SYSTEMTIME untouched = At(1999, 1, 1);
    EXPECT_FALSE(SystemTimeUtcToLocal(At(2024, 2, 30), FALSE, untouched));
    EXPECT_EQ(untouched, At(1999, 1, 1));
}

// Every trace line asks for the local time: the zone rules must not be read for each.
TEST(TimeTools, TheZoneRulesAreLoadedOnceAndAgainWhenTzNamesAnotherZone)
{
    auto offsetMinutes = []
    {
        SYSTEMTIME utc, local;
        GetSystemTime(utc);
        GetLocalTime(local);
        FILETIME u, l;
        EXPECT_TRUE(SystemTimeToFileTime(utc, u));
        EXPECT_TRUE(SystemTimeToFileTime(local, l));
        const auto seconds =
            (static_cast<int64_t>(FileTimeToUInt64(l)) - static_cast<int64_t>(FileTimeToUInt64(u))) /
            static_cast<int64_t>(FILETIME_UNITS_PER_SECOND);
        return (seconds + (seconds < 0 ? -30 : 30)) / 60;
    };
    testsupport::ScopedEnv tz("TZ", "UTC0");
    EXPECT_EQ(offsetMinutes(), 0);
    const uint64_t loads = GetTimeZoneLoadCount();
    for (int i = 0; i < 100; ++i)
        offsetMinutes();
    EXPECT_EQ(GetTimeZoneLoadCount(), loads);

    // Changed behind the C library's back (the guard above puts the old zone back).
    setenv("TZ", "XST-5:30", 1);
    EXPECT_EQ(offsetMinutes(), 330);
    EXPECT_EQ(GetTimeZoneLoadCount(), loads + 1);
}
