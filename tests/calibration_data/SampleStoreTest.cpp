// The sample store's arithmetic over its last records, and the names of the solutions.
#include <gtest/gtest.h>

#include <thread>

#include "calibration/data/CalSampleStore.h"
#include "calibration/data/CalTypes.h"
#include "tests/calibration_data/CalTestSupport.h"

namespace
{

SCalDataStore Record(float value1, float value2)
{
    SCalDataStore record;
    record.m_value1 = value1;
    record.m_value2 = value2;
    record.m_quality2 = 6;
    record.m_unit2 = 65;
    return record;
}

TEST(SampleStore, AveragesTheLastFiveRecordsAtMost)
{
    CCalSampleStore store;
    EXPECT_EQ(store.GetAverage(kCalValue2), 0.0f);
    for (float v : {1.0f, 2.0f, 6.0f})
        store.Add(Record(-v, v));
    EXPECT_FLOAT_EQ(store.GetAverage(kCalValue2), 3.0f);
    EXPECT_FLOAT_EQ(store.GetAverage(kCalValue1), -3.0f);
    for (int i = 4; i <= 12; ++i)
        store.Add(Record(0.0f, static_cast<float>(i)));
    EXPECT_FLOAT_EQ(store.GetAverage(kCalValue2), 10.0f) << "8 to 12";
}

TEST(SampleStore, LastChangeOfOneRecordIsItsValue)
{
    CCalSampleStore store;
    EXPECT_EQ(store.GetLastChange(kCalValue1), 0.0f);
    store.Add(Record(20.0f, 5.0f));
    EXPECT_EQ(store.GetLastChange(kCalValue1), 20.0f);
    store.Add(Record(20.5f, 4.0f));
    EXPECT_FLOAT_EQ(store.GetLastChange(kCalValue1), 0.5f);
    EXPECT_FLOAT_EQ(store.GetLastChange(kCalValue2), -1.0f);
}

TEST(SampleStore, RangeNeedsAsManyRecordsAsItSpans)
{
    CCalSampleStore store;
    store.Add(Record(0.0f, 10.0f));
    EXPECT_EQ(store.GetRange(1), kCalNotEnoughSamples) << "one record spans nothing";
    for (float v : {30.0f, 12.0f, 11.0f, 14.0f, 13.0f, 12.5f})
        store.Add(Record(99.0f, v));
    EXPECT_EQ(store.GetRange(8), kCalNotEnoughSamples);
    EXPECT_FLOAT_EQ(store.GetRange(7), 20.0f);
    EXPECT_FLOAT_EQ(store.GetRange(5), 3.0f) << "the last five only, and value 2 only";
}

TEST(SampleStore, LastOfAnEmptyStoreLeavesTheOutputs)
{
    CCalSampleStore store;
    float value = 7.0f;
    USHORT quality = 1, unit = 2;
    EXPECT_EQ(store.GetLast(kCalValue2, &value, &quality, &unit), -1);
    EXPECT_EQ(value, 7.0f);
    store.Add(Record(21.0f, 1413.0f));
    EXPECT_EQ(store.GetLast(2, &value, &quality, &unit), -1) << "no such selector";
    EXPECT_EQ(store.GetLast(kCalValue2, &value, &quality, &unit), 0);
    EXPECT_EQ(value, 1413.0f);
    EXPECT_EQ(quality, 6);
    EXPECT_EQ(unit, 65);
}

TEST(SampleStore, AWriterAndReadersShareTheStore)
{
    CCalSampleStore store;
    std::thread writer(
        [&]
        {
            for (int i = 0; i < 2000; ++i)
                store.Add(Record(1.0f, 2.0f));
        });
    float sum = 0.0f;
    for (int i = 0; i < 2000; ++i)
        sum += store.GetAverage(kCalValue2) + store.GetRange(8) * 0.0f;
    writer.join();
    EXPECT_EQ(store.GetCount(), 2000);
    EXPECT_LE(sum, 4000.0f);
}

TEST(Solutions, NamesComeFromTheTable)
{
    CWideString name(u"old");
    EXPECT_TRUE(GetSolutionName(CAL_SOLUTION_USER, name));
    EXPECT_EQ(caltest::Utf8(name), "User defined");
    EXPECT_TRUE(GetSolutionName(CAL_SOLUTION_COND_1413, name));
    EXPECT_EQ(caltest::Utf8(name), "1413 µS/cm @25° C");
    EXPECT_FALSE(GetSolutionName(11, name));
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_EQ(caltest::Utf8(StabilityWord(5)), "Full");
}

} // namespace
