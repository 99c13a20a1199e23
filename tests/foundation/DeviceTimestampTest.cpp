#include <gtest/gtest.h>

#include "foundation/BufferReader.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "tests/foundation/ScopedEnvironment.h"

namespace
{

SYSTEMTIME Utc(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0)
{
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

SYSTEMTIME ToSystemTime(ULONG seconds, USHORT fraction)
{
    SYSTEMTIME t;
    DeviceTimeToSystemTime(seconds, fraction, t);
    return t;
}

CByteBuffer Bytes(std::initializer_list<uint8_t> bytes)
{
    CByteBuffer buffer;
    const std::vector<uint8_t> v(bytes);
    buffer.Append(static_cast<uint32_t>(v.size()), v.data());
    return buffer;
}

} // namespace

TEST(DeviceTimestamp, FractionRoundsToTheNearestMillisecond)
{
    EXPECT_EQ(ToSystemTime(0, 0), DEVICE_TIME_MIN);
    EXPECT_EQ(ToSystemTime(0, 1).wMilliseconds, 0);
    EXPECT_EQ(ToSystemTime(0, 33).wMilliseconds, 1);
    EXPECT_EQ(ToSystemTime(0, 32768).wMilliseconds, 500);
    EXPECT_EQ(ToSystemTime(0, 65502).wMilliseconds, 999);
    EXPECT_EQ(ToSystemTime(0, 65535).wSecond, 1);        // rounds up into the next second
    const SYSTEMTIME t = ToSystemTime(1709647629, 2753); // 2024-03-05 14:07:09, 42 ms
    EXPECT_EQ(t, (SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 42}));
}

TEST(DeviceTimestamp, CalendarTimesStayBetween1970And2100)
{
    EXPECT_EQ(ToSystemTime(4102444800u, 0), DEVICE_TIME_MAX);
    EXPECT_EQ(ToSystemTime(4102444800u, 65535), DEVICE_TIME_MAX);
    EXPECT_EQ(ToSystemTime(0xFFFFFFFFu, 0), DEVICE_TIME_MAX);
    EXPECT_EQ(ToSystemTime(4102444799u, 0).wYear, 2099);

    CDeviceTimestamp stamp;
    stamp.Set(0xFFFFFFFFu, 7);
    EXPECT_EQ(stamp.GetSeconds(), 0xFFFFFFFFu); // kept as given
    EXPECT_EQ(stamp.GetYear(), 2100);
    EXPECT_EQ(stamp.GetMonth(), 1);
    EXPECT_EQ(stamp.GetDay(), 1);
    EXPECT_EQ(stamp.GetHour(), 0);
    EXPECT_TRUE(stamp > CDeviceTimestamp(4102444800u, 0));
    EXPECT_FALSE(CDeviceTimestamp(4102444800u, 0) > stamp);
    EXPECT_TRUE(CDeviceTimestamp(10, 2) > CDeviceTimestamp(10, 1));
    EXPECT_FALSE(CDeviceTimestamp(10, 1) > CDeviceTimestamp(10, 1));

    ULONG seconds = 99;
    USHORT fraction = 99;
    SystemTimeToDeviceTime(Utc(1969, 12, 31, 23, 59, 59, 999), seconds, fraction);
    EXPECT_EQ(seconds, 0u);
    EXPECT_EQ(fraction, 0);
    SystemTimeToDeviceTime(Utc(2150, 6, 1), seconds, fraction);
    EXPECT_EQ(seconds, 4102444800u);
    SystemTimeToDeviceTime(Utc(2024, 2, 30), seconds, fraction); // no such day
    EXPECT_EQ(seconds, 0u);
}

TEST(DeviceTimestamp, SystemTimeRoundTripsThroughSecondsAndFraction)
{
    CDeviceTimestamp stamp(Utc(2024, 3, 5, 14, 7, 9, 500));
    EXPECT_EQ(stamp.GetSeconds(), 1709647629u);
    EXPECT_EQ(stamp.GetFraction(), 32768);
    SYSTEMTIME back;
    stamp.GetSystemTime(back);
    EXPECT_EQ(back, (SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 500}));

    // A year past 2100 is first brought to 2100 and then clamped to its first instant.
    stamp = Utc(2150, 6, 1);
    EXPECT_EQ(stamp.GetSeconds(), 4102444800u);
    EXPECT_EQ(stamp.GetFraction(), 0);
    stamp = Utc(1960, 1, 1);
    EXPECT_EQ(stamp.GetSeconds(), 0u);
}

TEST(DeviceTimestamp, SetSecondsTruncatesBothParts)
{
    CDeviceTimestamp stamp;
    stamp.SetSeconds(1.75);
    EXPECT_EQ(stamp.GetSeconds(), 1u);
    EXPECT_EQ(stamp.GetFraction(), 49152);
    stamp.SetSeconds(-3.0);
    EXPECT_EQ(stamp.GetSeconds(), 0u);
    stamp.SetSeconds(1e12);
    EXPECT_EQ(stamp.GetSeconds(), 0xFFFFFFFFu);
}

TEST(DeviceTimestamp, AddAndSubtractWorkInMilliseconds)
{
    const CDeviceTimestamp start(1000, 0);
    CDeviceTimestamp result(5, 5);
    start.Add(0, result);
    EXPECT_EQ(result, start);
    start.Add(1500, result);
    EXPECT_EQ(result.GetSeconds(), 1001u);
    EXPECT_EQ(result.GetFraction(), 32768);
    start.Add(-2000000, result); // before 1970
    EXPECT_EQ(result.GetSeconds(), 0u);
    start.Add(INT64_MAX, result);
    EXPECT_EQ(result.GetSeconds(), 4102444800u);

    int64_t ms = 1;
    start.Subtract(start, ms);
    EXPECT_EQ(ms, 0);
    CDeviceTimestamp(1001, 16384).Subtract(start, ms);
    EXPECT_EQ(ms, 1250);
    start.Subtract(CDeviceTimestamp(1001, 16384), ms);
    EXPECT_EQ(ms, -1250);
}

TEST(DeviceTimestamp, ReadsSixBytesInTheReadersWordOrder)
{
    CDeviceTimestamp stamp(7, 7);
    {
        CBufferReader reader(Bytes({0x65, 0xE7, 0x26, 0x0D, 0x80, 0x00}));
        ASSERT_EQ(ReadDeviceTimestamp(reader, stamp), S_OK);
        EXPECT_EQ(stamp.GetSeconds(), 0x65E7260Du);
        EXPECT_EQ(stamp.GetFraction(), 0x8000);
        EXPECT_EQ(reader.GetPosition(), 6u);
    }
    {
        CBufferReader reader(Bytes({0x26, 0x0D, 0x65, 0xE7, 0x00, 0x01}));
        reader.m_bHighWordFirst = 0;
        ASSERT_EQ(ReadDeviceTimestamp(reader, stamp), S_OK);
        EXPECT_EQ(stamp.GetSeconds(), 0x65E7260Du);
        EXPECT_EQ(stamp.GetFraction(), 1);
    }
    {
        // A buffer too short for any time stamp is no error and reads nothing.
        CBufferReader reader(Bytes({1, 2, 3, 4, 5}));
        CDeviceTimestamp kept(7, 7);
        EXPECT_EQ(ReadDeviceTimestamp(reader, kept), S_OK);
        EXPECT_EQ(kept, CDeviceTimestamp(7, 7));
        EXPECT_EQ(reader.GetPosition(), 0u);
    }
    {
        // Too short behind the position: an overrun, the seconds already consumed.
        CBufferReader reader(Bytes({9, 9, 9, 1, 2, 3, 4, 5}));
        uint16_t skip = 0;
        uint8_t skipByte = 0;
        reader.ReadUShort(skip);
        reader.ReadByte(skipByte);
        CDeviceTimestamp kept(7, 7);
        EXPECT_EQ(ReadDeviceTimestamp(reader, kept), E_BUFFER_EXTRACTION_OVERRUN);
        EXPECT_EQ(reader.GetPosition(), 7u);
        EXPECT_EQ(kept, CDeviceTimestamp(7, 7));
    }

    const BYTE raw[6] = {0x00, 0x00, 0x00, 0x3C, 0x40, 0x00};
    DeviceTimestampFromBytes(raw, TRUE, stamp);
    EXPECT_EQ(stamp, CDeviceTimestamp(60, 0x4000));
    DeviceTimestampFromBytes(nullptr, TRUE, stamp);
    EXPECT_EQ(stamp, CDeviceTimestamp(60, 0x4000));
}

TEST(DeviceTimestamp, FormatShowsTheUtcTimeWhateverTheZone)
{
    testsupport::ScopedEnv tz("TZ", testsupport::kUsEastern);
    testsupport::ScopedEnv locale("LC_ALL", "C");
    const CDeviceTimestamp stamp(1709647629, 0);
    EXPECT_EQ(std::u16string(stamp.Format()), u"03/05/24 14:07:09");
}
