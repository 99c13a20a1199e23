// The readings of a calibration run: a record holds two readings (in every kind the first is the
// temperature in degrees C, the second the quantity being calibrated or shown), and a store keeps
// such records in the order they came. A worker appends while a page reads: every operation of a
// store holds the store's own lock, the innermost lock of a calibration data object.
#pragma once

#include <cfloat>
#include <vector>

#include "platform/Sync.h"
#include "platform/Types.h"

struct SCalDataStore
{
    float m_value1 = 0.0f;
    USHORT m_quality1 = 0;
    USHORT m_unit1 = 0;
    float m_value2 = 0.0f;
    USHORT m_quality2 = 0;
    USHORT m_unit2 = 0;
};

// Which reading of a record: 0 the first, 1 the second.
inline constexpr int kCalValue1 = 0;
inline constexpr int kCalValue2 = 1;

// GetRange's answer while a store holds too few records.
inline constexpr float kCalNotEnoughSamples = FLT_MAX;

class CCalSampleStore
{
public:
    static constexpr int kAveragingWindow = 5;

    // Returns the index of the new record.
    int Add(const SCalDataStore& record);
    void Clear();
    int GetCount() const;
    // The last record's selected reading; its index, or -1 (outputs untouched) when the store is
    // empty or the selector is neither 0 nor 1.
    int GetLast(int selector, float* value, USHORT* quality, USHORT* unit) const;
    // Mean of the selected reading over the last min(count, 5) records; 0 when empty.
    float GetAverage(int selector) const;
    // Last minus the one before; the only record's own value when there is one; 0 when empty.
    float GetLastChange(int selector) const;
    // Max minus min of the second reading over the last n records; kCalNotEnoughSamples when the
    // store holds fewer than 2 or fewer than n.
    float GetRange(int n) const;

private:
    static float Select(const SCalDataStore& record, int selector)
    {
        return selector == kCalValue1 ? record.m_value1 : record.m_value2;
    }

    std::vector<SCalDataStore> m_records;
    mutable platform::CCriticalSection m_lock;
};
