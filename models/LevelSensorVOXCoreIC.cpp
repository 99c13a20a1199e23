#include "models/LevelSensorVOXCoreIC.h"

namespace NVSystem
{

HRESULT CLevelSensorVOXCoreIC::GetPressureSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

HRESULT CLevelSensorVOXCoreIC::GetPressureUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kPressure, unitId); });
}

HRESULT CLevelSensorVOXCoreIC::SetPressureUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kPressure, unitId); });
}

HRESULT CLevelSensorVOXCoreIC::ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kPressure, value, quality, unitId, cachedOnly); });
}

HRESULT CLevelSensorVOXCoreIC::WriteDepthCalA(float value)
{
    return Checked([&] { return WriteFloat(kPressureOffset, value); });
}

HRESULT CLevelSensorVOXCoreIC::ReadDepthCalA(float& value)
{
    return Checked([&] { return ReadFloat(kPressureOffset, value); });
}

HRESULT CLevelSensorVOXCoreIC::GetDepthSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

HRESULT CLevelSensorVOXCoreIC::GetDepthUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kDepth, unitId); });
}

HRESULT CLevelSensorVOXCoreIC::SetDepthUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kDepth, unitId); });
}

HRESULT CLevelSensorVOXCoreIC::ReadDepth(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kDepth, value, quality, unitId, cachedOnly); });
}

HRESULT CLevelSensorVOXCoreIC::IsDepthCalEnabled(ULONG& enabled)
{
    return Checked(
        [&]
        {
            float value = 0.0f;
            const HRESULT hr = ReadFloat(kDensityCorrection, value);
            if (Succeeded(hr))
                enabled = value != 0.0f ? 1 : 0;
            return hr;
        });
}

HRESULT CLevelSensorVOXCoreIC::SetDepthCalEnabled(BOOL enabled)
{
    return Checked([&] { return WriteFloat(kDensityCorrection, enabled != FALSE ? 1.0f : 0.0f); });
}

HRESULT CLevelSensorVOXCoreIC::WriteDepthCalB(float value)
{
    return Checked([&] { return WriteFloat(kDepthCalB, value); });
}

HRESULT CLevelSensorVOXCoreIC::ReadDepthCalB(float& value)
{
    return Checked([&] { return ReadFloat(kDepthCalB, value); });
}

} // namespace NVSystem
