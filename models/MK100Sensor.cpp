#include "models/MK100Sensor.h"

namespace NVSystem
{

HRESULT CMK100Sensor::ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kTemperature, value, quality, unitId, cachedOnly); });
}

HRESULT CMK100Sensor::GetTemperatureUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kTemperature, unitId); });
}

HRESULT CMK100Sensor::SetTemperatureUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kTemperature, unitId); });
}

HRESULT CMK100Sensor::GetTemperatureSentinel(float& sentinel)
{
    return Checked([&] { return GetSentinel(kTemperature, sentinel); });
}

} // namespace NVSystem
