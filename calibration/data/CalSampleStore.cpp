#include "calibration/data/CalSampleStore.h"

#include <algorithm>
#include <mutex>

int CCalSampleStore::Add(const SCalDataStore& record)
{
    std::lock_guard lock(m_lock);
    m_records.push_back(record);
    return static_cast<int>(m_records.size()) - 1;
}

void CCalSampleStore::Clear()
{
    std::lock_guard lock(m_lock);
    m_records.clear();
}

int CCalSampleStore::GetCount() const
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_records.size());
}

int CCalSampleStore::GetLast(int selector, float* value, USHORT* quality, USHORT* unit) const
{
    std::lock_guard lock(m_lock);
    if (m_records.empty() || (selector != kCalValue1 && selector != kCalValue2))
        return -1;
    const SCalDataStore& last = m_records.back();
    if (value != nullptr)
        *value = Select(last, selector);
    if (quality != nullptr)
        *quality = selector == kCalValue1 ? last.m_quality1 : last.m_quality2;
    if (unit != nullptr)
        *unit = selector == kCalValue1 ? last.m_unit1 : last.m_unit2;
    return static_cast<int>(m_records.size()) - 1;
}

float CCalSampleStore::GetAverage(int selector) const
{
    std::lock_guard lock(m_lock);
    if (m_records.empty())
        return 0.0f;
    const size_t k = std::min(m_records.size(), static_cast<size_t>(kAveragingWindow));
    float sum = 0.0f;
    for (size_t i = m_records.size() - k; i < m_records.size(); ++i)
        sum += Select(m_records[i], selector);
    return sum / static_cast<float>(k);
}

float CCalSampleStore::GetLastChange(int selector) const
{
    std::lock_guard lock(m_lock);
    const size_t count = m_records.size();
    if (count == 0)
        return 0.0f;
    if (count == 1)
        return Select(m_records[0], selector);
    return Select(m_records[count - 1], selector) - Select(m_records[count - 2], selector);
}

float CCalSampleStore::GetRange(int n) const
{
    std::lock_guard lock(m_lock);
    const size_t count = m_records.size();
    if (n < 1 || count < 2 || count < static_cast<size_t>(n))
        return kCalNotEnoughSamples;
    float lo = FLT_MAX;
    float hi = -FLT_MAX;
    for (size_t i = count - static_cast<size_t>(n); i < count; ++i)
    {
        lo = std::min(lo, m_records[i].m_value2);
        hi = std::max(hi, m_records[i].m_value2);
    }
    return hi - lo;
}
