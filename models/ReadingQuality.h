// The quality word of a sensor reading: its low 4 bits are the quality code, bits 4-15 a number the
// instrument shows beside it (a count, not part of the code).
#pragma once

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

} // namespace NVSystem
