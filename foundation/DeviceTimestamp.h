// The devices' time: u32 seconds since 1970-01-01 00:00:00 UTC and a u16 fraction in 1/65536 s.
// Setting a time stamp keeps seconds and fraction as given; only conversions to and from calendar
// time keep it between 1970-01-01 and 2100-01-01. All SYSTEMTIMEs here are UTC.
#pragma once

#include <cstdint>

#include "foundation/BufferReader.h"
#include "foundation/SystemTime.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr SYSTEMTIME DEVICE_TIME_MIN{1970, 1, 4, 1, 0, 0, 0, 0};
inline constexpr SYSTEMTIME DEVICE_TIME_MAX{2100, 1, 5, 1, 0, 0, 0, 0};

// The fraction rounded to the nearest millisecond; clamped into [DEVICE_TIME_MIN, DEVICE_TIME_MAX].
void DeviceTimeToSystemTime(ULONG seconds, USHORT fraction, SYSTEMTIME& time);
// Clamped into the same range first; 0 and 0 for an invalid time or one at or before 1970.
void SystemTimeToDeviceTime(const SYSTEMTIME& time, ULONG& seconds, USHORT& fraction);

class CDeviceTimestamp
{
public:
    CDeviceTimestamp() = default;
    CDeviceTimestamp(ULONG seconds, USHORT fraction) : m_nSeconds(seconds), m_nFraction(fraction) {}
    explicit CDeviceTimestamp(const SYSTEMTIME& time);
    CDeviceTimestamp(const CDeviceTimestamp&) = default;
    CDeviceTimestamp& operator=(const CDeviceTimestamp&) = default;
    // A year above 2100 becomes 2100 (the other fields kept), then as the SYSTEMTIME constructor.
    CDeviceTimestamp& operator=(const SYSTEMTIME& time);

    void Clear() { Set(0, 0); }
    void Set(ULONG seconds, USHORT fraction)
    {
        m_nSeconds = seconds;
        m_nFraction = fraction;
    }
    // Whole seconds and the fraction of the rest, both truncated.
    void SetSeconds(double seconds);

    ULONG GetSeconds() const { return m_nSeconds; }
    USHORT GetFraction() const { return m_nFraction; }
    // The UTC calendar time (clamped).
    void GetSystemTime(SYSTEMTIME& time) const;

    // This plus the milliseconds, kept within 1970..2100.
    void Add(int64_t milliseconds, CDeviceTimestamp& result) const;
    // This minus other in milliseconds, through both calendar times.
    void Subtract(const CDeviceTimestamp& other, int64_t& milliseconds) const;

    USHORT GetYear() const;
    USHORT GetMonth() const;
    USHORT GetDay() const;
    USHORT GetHour() const;
    USHORT GetMinute() const;
    USHORT GetSecond() const;

    // Strictly later, comparing seconds + fraction / 65536.
    BOOL operator>(const CDeviceTimestamp& other) const;

    // FormatDateTime of the UTC time in the system's formats (no display settings).
    CWideString Format() const;

    friend bool operator==(const CDeviceTimestamp&, const CDeviceTimestamp&) = default;

private:
    ULONG m_nSeconds = 0;
    USHORT m_nFraction = 0;
};

// Six bytes: the seconds in the reader's word order, then the fraction big-endian. A reader whose
// whole buffer is shorter than 6 bytes gives 0 and reads nothing; E_BUFFER_EXTRACTION_OVERRUN when
// the rest is too short (after the seconds were read, the position stays past them).
HRESULT ReadDeviceTimestamp(CBufferReader& reader, CDeviceTimestamp& timestamp);
// The same from six raw bytes; null bytes leave the time stamp as it is.
void DeviceTimestampFromBytes(const BYTE* bytes, BOOL highWordFirst, CDeviceTimestamp& timestamp);
