// The quality word of a sensor reading: its low 4 bits are the quality code, bits 4-15 a number the
// instrument shows beside it (a count, not part of the code).
#pragma once

#include <optional>

#include "device/DeviceComm.h"
#include "platform/Types.h"

namespace NVSystem
{

enum ReadingQuality : USHORT
{
    QUALITY_NORMAL = 0,
    QUALITY_USER_CAL_EXPIRED = 1,
    QUALITY_FACTORY_CAL_EXPIRED = 2,
    QUALITY_ERROR = 3,
    QUALITY_WARM_UP = 4,
    QUALITY_DISABLED = 5,
    QUALITY_CALIBRATING = 6,
    QUALITY_OFFLINE = 7,
    QUALITY_CODE_COUNT = 8, // codes from here on are not defined
};

inline constexpr USHORT QUALITY_CODE_MASK = 0x000F;

inline USHORT QualityCode(USHORT quality)
{
    return quality & QUALITY_CODE_MASK;
}

// Whether a reading holds a measurement: one whose quality code says it holds none (error, disabled,
// offline or a code not defined), or that equals the parameter's sentinel (what a sensor reports
// while it has no value, warming up for instance), must not pass for a value. A sensor warming up or
// calibrating that reports a value does measure. Without a sentinel (unknown) the quality alone
// decides.
inline bool ReadingHoldsMeasurement(float value, USHORT quality, std::optional<float> sentinel)
{
    const USHORT code = QualityCode(quality);
    if (code == QUALITY_ERROR || code == QUALITY_DISABLED || code == QUALITY_OFFLINE ||
        code >= QUALITY_CODE_COUNT)
        return false;
    return !(sentinel && value == *sentinel);
}

// The same with the parameter's sentinel from the device's cache; when it cannot be had, the quality
// alone decides.
inline bool ReadingHoldsMeasurement(CDeviceComm& device, USHORT connection, USHORT parameter, float value,
                                    USHORT quality)
{
    float sentinel = 0.0f;
    const HRESULT hr = device.GetParameterSentinel(connection, parameter, sentinel);
    return ReadingHoldsMeasurement(value, quality, Succeeded(hr) ? std::optional(sentinel) : std::nullopt);
}

} // namespace NVSystem
