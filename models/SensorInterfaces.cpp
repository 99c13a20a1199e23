// The operations that the interfaces implement once for every class.
#include "models/SensorInterfaces.h"

namespace NVSystem
{

HRESULT ISensor_PressureTempLevel::CalculateLevel(float& level)
{
    USHORT levelUnit = 0;
    float pressure = 0.0f;
    USHORT pressureUnit = 0;
    return CalculateLevelFromPressure(level, levelUnit, pressure, pressureUnit);
}

BOOL ISensor_VoxPro::IsFactoryCalDue()
{
    int64_t milliseconds = 0;
    if (Failed(GetTimeToFactoryCal(milliseconds)))
        return TRUE;
    return static_cast<double>(milliseconds) / 1000.0 <= 0.0 ? TRUE : FALSE;
}

} // namespace NVSystem
