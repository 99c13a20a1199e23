#include "tools/probe-sim/DeviceTime.h"

#include <chrono>

namespace probesim
{

namespace
{

constexpr uint64_t kFractionsPerSecond = 65536;

} // namespace

void SetTimestamp(RegisterModel& registers, uint16_t number, DeviceTimestamp time, WordOrder order)
{
    registers.SetU32(number, time.seconds, order);
    registers.SetU16(static_cast<uint16_t>(number + 2), time.fraction);
}

std::optional<DeviceTimestamp> GetTimestamp(const RegisterModel& registers, uint16_t number, WordOrder order)
{
    const auto seconds = registers.GetU32(number, order);
    const auto fraction = registers.GetU16(static_cast<uint16_t>(number + 2));
    if (!seconds || !fraction)
        return std::nullopt;
    return DeviceTimestamp{*seconds, *fraction};
}

DeviceTimestamp SystemTimestamp()
{
    using namespace std::chrono;
    const auto sinceEpoch = system_clock::now().time_since_epoch();
    const auto ms = duration_cast<milliseconds>(sinceEpoch).count();
    const auto seconds = static_cast<uint64_t>(ms / 1000);
    const auto fraction = static_cast<uint64_t>(ms % 1000) * kFractionsPerSecond / 1000;
    return {static_cast<uint32_t>(seconds), static_cast<uint16_t>(fraction)};
}

DeviceClock::DeviceClock(DeviceTimestamp start) : m_base(start), m_baseAt(Clock::now()) {}

DeviceTimestamp DeviceClock::Now() const
{
    std::lock_guard lock(m_mutex);
    const auto elapsedMs = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_baseAt).count());
    // The seconds wrap at 32 bits as the device's own counter does.
    const uint64_t units = (uint64_t{m_base.seconds} * kFractionsPerSecond + m_base.fraction) +
                           elapsedMs * kFractionsPerSecond / 1000;
    return {static_cast<uint32_t>(units / kFractionsPerSecond),
            static_cast<uint16_t>(units % kFractionsPerSecond)};
}

void DeviceClock::Set(DeviceTimestamp time)
{
    std::lock_guard lock(m_mutex);
    m_base = time;
    m_baseAt = Clock::now();
}

} // namespace probesim
