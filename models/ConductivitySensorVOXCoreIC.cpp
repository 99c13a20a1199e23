#include "models/ConductivitySensorVOXCoreIC.h"

namespace NVSystem
{

HRESULT CConductivitySensorVOXCoreIC::ReadTemperature(float& value, USHORT& quality, USHORT& unitId,
                                                      BOOL /*cachedOnly*/)
{
    return Checked([&] { return m_pCompanion->ReadTemperature(value, quality, unitId, FALSE); });
}

HRESULT CConductivitySensorVOXCoreIC::GetTemperatureUnit(USHORT& unitId)
{
    return Checked([&] { return m_pCompanion->GetTemperatureUnit(unitId); });
}

HRESULT CConductivitySensorVOXCoreIC::SetTemperatureUnit(USHORT unitId)
{
    return Checked([&] { return m_pCompanion->SetTemperatureUnit(unitId); });
}

HRESULT CConductivitySensorVOXCoreIC::GetTemperatureSentinel(float& sentinel)
{
    return Checked([&] { return m_pCompanion->GetTemperatureSentinel(sentinel); });
}

} // namespace NVSystem
