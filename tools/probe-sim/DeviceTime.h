// Device time stamps (u32 seconds since 1970-01-01 UTC and a u16 fraction in 1/65536 s) as the
// instrument keeps them in three registers, seconds high word first, then the fraction; and the
// instrument's running clock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "tools/probe-sim/FrameReceiver.h"
#include "tools/probe-sim/RegisterModel.h"

namespace probesim
{

struct DeviceTimestamp
{
    uint32_t seconds = 0;
    uint16_t fraction = 0; // 1/65536 s

    friend bool operator==(const DeviceTimestamp&, const DeviceTimestamp&) = default;
};

// The seconds in the order given (a sensor window's follows the line's word order, SensorBank.h).
void SetTimestamp(RegisterModel& registers, uint16_t number, DeviceTimestamp time,
                  WordOrder order = WordOrder::HighFirst);
std::optional<DeviceTimestamp> GetTimestamp(const RegisterModel& registers, uint16_t number,
                                            WordOrder order = WordOrder::HighFirst);

// The present moment of the machine's clock as a device time stamp.
DeviceTimestamp SystemTimestamp();

// Runs on from the time it was last set, by the steady clock. Thread-safe.
class DeviceClock
{
public:
    explicit DeviceClock(DeviceTimestamp start);

    DeviceTimestamp Now() const;
    void Set(DeviceTimestamp time);

private:
    mutable std::mutex m_mutex;
    DeviceTimestamp m_base;
    Clock::time_point m_baseAt;
};

} // namespace probesim
