#include "foundation/DeviceTimestamp.h"

#include <cmath>
#include <tuple>

#include "foundation/Codec.h"
#include "foundation/DateTimeFormat.h"
#include "foundation/ResultCodes.h"
#include "foundation/TimeTools.h"

namespace
{

constexpr double kSecondsPerFractionStep = 1.52587890625e-5; // 1 / 65536

auto Fields(const SYSTEMTIME& t)
{
    return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

// Field by field, so that a time too far out to convert still clamps.
SYSTEMTIME Clamp(const SYSTEMTIME& time)
{
    if (Fields(time) < Fields(DEVICE_TIME_MIN))
        return DEVICE_TIME_MIN;
    if (Fields(time) > Fields(DEVICE_TIME_MAX))
        return DEVICE_TIME_MAX;
    return time;
}

SYSTEMTIME SystemTimeOf(const CDeviceTimestamp& timestamp)
{
    SYSTEMTIME t;
    timestamp.GetSystemTime(t);
    return t;
}

uint64_t FileTimeOf(const SYSTEMTIME& time)
{
    FILETIME ft;
    SystemTimeToFileTime(time, ft);
    return FileTimeToUInt64(ft);
}

} // namespace

void DeviceTimeToSystemTime(ULONG seconds, USHORT fraction, SYSTEMTIME& time)
{
    const auto fractionUnits =
        static_cast<uint64_t>((fraction * kSecondsPerFractionStep + 0.0005) * 10000000.0);
    const uint64_t fileTime =
        static_cast<uint64_t>(seconds) * FILETIME_UNITS_PER_SECOND + fractionUnits + FILETIME_UNIX_EPOCH;
    if (fileTime > FileTimeOf(DEVICE_TIME_MAX))
        time = DEVICE_TIME_MAX;
    else if (fileTime < FileTimeOf(DEVICE_TIME_MIN))
        time = DEVICE_TIME_MIN;
    else
        FileTimeToSystemTime(UInt64ToFileTime(fileTime), time);
}

void SystemTimeToDeviceTime(const SYSTEMTIME& time, ULONG& seconds, USHORT& fraction)
{
    seconds = 0;
    fraction = 0;
    FILETIME ft;
    if (!SystemTimeToFileTime(Clamp(time), ft))
        return;
    const uint64_t units = FileTimeToUInt64(ft);
    if (units <= FILETIME_UNIX_EPOCH)
        return;
    const uint64_t d = units - FILETIME_UNIX_EPOCH;
    const uint64_t whole = d / FILETIME_UNITS_PER_SECOND;
    seconds = static_cast<ULONG>(whole);
    fraction =
        static_cast<USHORT>((d - whole * FILETIME_UNITS_PER_SECOND) * 65536 / FILETIME_UNITS_PER_SECOND);
}

CDeviceTimestamp::CDeviceTimestamp(const SYSTEMTIME& time)
{
    SystemTimeToDeviceTime(Clamp(time), m_nSeconds, m_nFraction);
}

CDeviceTimestamp& CDeviceTimestamp::operator=(const SYSTEMTIME& time)
{
    SYSTEMTIME capped = time;
    if (capped.wYear > 2100)
        capped.wYear = 2100;
    SystemTimeToDeviceTime(Clamp(capped), m_nSeconds, m_nFraction);
    return *this;
}

void CDeviceTimestamp::SetSeconds(double seconds)
{
    // Out of the u32 range (or not a number) the conversion would be undefined: keep to the range.
    if (!(seconds >= 0.0))
        seconds = 0.0;
    if (seconds >= 4294967296.0)
    {
        Set(0xFFFFFFFFu, 0);
        return;
    }
    const double whole = std::trunc(seconds);
    Set(static_cast<ULONG>(whole), static_cast<USHORT>((seconds - whole) * 65536.0));
}

void CDeviceTimestamp::GetSystemTime(SYSTEMTIME& time) const
{
    DeviceTimeToSystemTime(m_nSeconds, m_nFraction, time);
}

void CDeviceTimestamp::Add(int64_t milliseconds, CDeviceTimestamp& result) const
{
    if (milliseconds == 0)
    {
        result = *this;
        return;
    }
    SYSTEMTIME time;
    GetSystemTime(time);
    if (!AddMillisecondsToSystemTime(time, milliseconds))
        time = milliseconds > 0 ? DEVICE_TIME_MAX : DEVICE_TIME_MIN;
    ULONG seconds = 0;
    USHORT fraction = 0;
    SystemTimeToDeviceTime(time, seconds, fraction);
    result.Set(seconds, fraction);
}

void CDeviceTimestamp::Subtract(const CDeviceTimestamp& other, int64_t& milliseconds) const
{
    if (&other == this)
    {
        milliseconds = 0;
        return;
    }
    SYSTEMTIME mine;
    SYSTEMTIME theirs;
    GetSystemTime(mine);
    other.GetSystemTime(theirs);
    milliseconds = GetMillisecondsBetween(mine, theirs);
}

USHORT CDeviceTimestamp::GetYear() const
{
    return SystemTimeOf(*this).wYear;
}

USHORT CDeviceTimestamp::GetMonth() const
{
    return SystemTimeOf(*this).wMonth;
}

USHORT CDeviceTimestamp::GetDay() const
{
    return SystemTimeOf(*this).wDay;
}

USHORT CDeviceTimestamp::GetHour() const
{
    return SystemTimeOf(*this).wHour;
}

USHORT CDeviceTimestamp::GetMinute() const
{
    return SystemTimeOf(*this).wMinute;
}

USHORT CDeviceTimestamp::GetSecond() const
{
    return SystemTimeOf(*this).wSecond;
}

BOOL CDeviceTimestamp::operator>(const CDeviceTimestamp& other) const
{
    const double mine = m_nSeconds + m_nFraction * kSecondsPerFractionStep;
    const double theirs = other.m_nSeconds + other.m_nFraction * kSecondsPerFractionStep;
    return mine > theirs ? TRUE : FALSE;
}

CWideString CDeviceTimestamp::Format() const
{
    return FormatDateTime(SystemTimeOf(*this));
}

HRESULT ReadDeviceTimestamp(CBufferReader& reader, CDeviceTimestamp& timestamp)
{
    // A buffer too short for any time stamp is not an error: the stamp is simply absent.
    if (reader.GetLength() < 6)
        return S_OK;
    uint32_t seconds = 0;
    HRESULT hr = reader.ReadULong(seconds);
    if (Failed(hr))
        return hr;
    uint16_t fraction = 0;
    hr = reader.ReadUShort(fraction);
    if (Failed(hr))
        return hr;
    timestamp.Set(seconds, fraction);
    return S_OK;
}

void DeviceTimestampFromBytes(const BYTE* bytes, BOOL highWordFirst, CDeviceTimestamp& timestamp)
{
    if (bytes == nullptr)
        return;
    timestamp.Set(DecodeULong(bytes, highWordFirst), static_cast<USHORT>(bytes[4] << 8 | bytes[5]));
}
