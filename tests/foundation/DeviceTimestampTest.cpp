#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

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

using testsupport::ToBuffer;

} // namespace

TEST(DeviceTimestamp, FractionRoundsToTheNearestMillisecondAndTimesStayBetween1970And2100)
{
    EXPECT_EQ(ToSystemTime(0, 0), DEVICE_TIME_MIN);
    EXPECT_EQ(ToSystemTime(0, 1).wMilliseconds, 0);
    EXPECT_EQ(ToSystemTime(0, 33).wMilliseconds, 1);
    EXPECT_EQ(ToSystemTime(0, 32768).wMilliseconds, 500);
    EXPECT_EQ(ToSystemTime(0, 65535).wSecond, 1); // rounds up into the next second
    EXPECT_EQ(ToSystemTime(1709647629, 2753), (SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 42}));
    EXPECT_EQ(ToSystemTime(4102444800u, 65535), DEVICE_TIME_MAX);
    EXPECT_EQ(ToSystemTime(0xFFFFFFFFu, 0), DEVICE_TIME_MAX);
    EXPECT_EQ(ToSystemTime(4102444799u, 0).wYear, 2099);
    CDeviceTimestamp stamp;
    stamp.Set(0xFFFFFFFFu, 7);
    EXPECT_EQ(stamp.GetSeconds(), 0xFFFFFFFFu); // kept as given, shown clamped
    EXPECT_EQ(stamp.GetYear(), 2100);
    EXPECT_TRUE(stamp > CDeviceTimestamp(4102444800u, 0));
    ULONG seconds = 99;
    USHORT fraction = 99;
    SystemTimeToDeviceTime(Utc(1969, 12, 31, 23, 59, 59, 999), seconds, fraction);
    EXPECT_EQ(seconds, 0u);
    EXPECT_EQ(fraction, 0);
    SystemTimeToDeviceTime(Utc(2024, 2, 30), seconds, fraction); // no such day
    EXPECT_EQ(seconds, 0u);
}

TEST(DeviceTimestamp, ConversionsArithmeticAndUtcFormatting)
{
    CDeviceTimestamp stamp(Utc(2024, 3, 5, 14, 7, 9, 500));
    EXPECT_EQ(stamp, CDeviceTimestamp(1709647629u, 32768));
    SYSTEMTIME back;
    stamp.GetSystemTime(back);
    EXPECT_EQ(back, (SYSTEMTIME{2024, 3, 2, 5, 14, 7, 9, 500}));
    stamp = Utc(2150, 6, 1);
    EXPECT_EQ(stamp, CDeviceTimestamp(4102444800u, 0));
    stamp.SetSeconds(1.75);
    EXPECT_EQ(stamp, CDeviceTimestamp(1, 49152));
    const CDeviceTimestamp start(1000, 0);
    CDeviceTimestamp result;
    start.Add(1500, result);
    EXPECT_EQ(result, CDeviceTimestamp(1001, 32768));
    start.Add(-2000000, result); // before 1970
    EXPECT_EQ(result.GetSeconds(), 0u);
    start.Add(INT64_MAX, result);
    EXPECT_EQ(result.GetSeconds(), 4102444800u);
    int64_t ms = 1;
    start.Subtract(CDeviceTimestamp(1001, 16384), ms);
    EXPECT_EQ(ms, -1250);
    testsupport::ScopedEnv tz("TZ", testsupport::kUsEastern);
    testsupport::ScopedEnv locale("LC_ALL", "C");
    EXPECT_EQ(std::u16string(CDeviceTimestamp(1709647629, 0).Format()), u"03/05/24 14:07:09");
}

TEST(DeviceTimestamp, ReadsSixBytesInTheReadersWordOrder)
{
    CDeviceTimestamp stamp(7, 7);
    CBufferReader highFirst(ToBuffer({0x65, 0xE7, 0x26, 0x0D, 0x80, 0x00}));
    ASSERT_EQ(ReadDeviceTimestamp(highFirst, stamp), S_OK);
    EXPECT_EQ(stamp, CDeviceTimestamp(0x65E7260Du, 0x8000));
    CBufferReader lowFirst(ToBuffer({0x26, 0x0D, 0x65, 0xE7, 0x00, 0x01}));
    lowFirst.m_bHighWordFirst = 0;
    ASSERT_EQ(ReadDeviceTimestamp(lowFirst, stamp), S_OK);
    EXPECT_EQ(stamp, CDeviceTimestamp(0x65E7260Du, 1));

    // A buffer too short for any time stamp is no error and reads nothing.
    CDeviceTimestamp kept(7, 7);
    CBufferReader tiny(ToBuffer({1, 2, 3, 4, 5}));
    EXPECT_EQ(ReadDeviceTimestamp(tiny, kept), S_OK);
    EXPECT_EQ(tiny.GetPosition(), 0u);
    // Too short behind the position: an overrun, the seconds already consumed.
    CBufferReader shortTail(ToBuffer({9, 9, 1, 2, 3, 4, 5}));
    uint16_t skip = 0;
    shortTail.ReadUShort(skip);
    EXPECT_EQ(ReadDeviceTimestamp(shortTail, kept), E_BUFFER_EXTRACTION_OVERRUN);
    EXPECT_EQ(shortTail.GetPosition(), 6u);
    EXPECT_EQ(kept, CDeviceTimestamp(7, 7));
    const BYTE raw[6] = {0x00, 0x00, 0x00, 0x3C, 0x40, 0x00};
    DeviceTimestampFromBytes(raw, TRUE, stamp);
    EXPECT_EQ(stamp, CDeviceTimestamp(60, 0x4000));
    DeviceTimestampFromBytes(nullptr, TRUE, stamp);
    EXPECT_EQ(stamp, CDeviceTimestamp(60, 0x4000));
}
