#include "models/BarometricSensorMK600.h"

#include "foundation/Units.h"

namespace NVSystem
{

HRESULT CBarometricSensorMK600::ReadBarometricPressure(float& value, USHORT& quality, USHORT& unitId,
                                                       BOOL cachedOnly)
{
    return WithDevice([&] { return ReadParameter(kPressure, value, quality, unitId, cachedOnly); });
}

HRESULT CBarometricSensorMK600::GetBaroUnit(USHORT& unitId)
{
    return WithDevice([&] { return GetUnit(kPressure, unitId); });
}

HRESULT CBarometricSensorMK600::SetBaroUnit(USHORT unitId)
{
    return WithDevice([&] { return SetUnit(kPressure, unitId); });
}

HRESULT CBarometricSensorMK600::GetBaroSentinel(float& sentinel, USHORT& unitId)
{
    return WithDevice(
        [&]
        {
            const HRESULT hr = GetBaroUnit(unitId);
            return Failed(hr) ? hr : GetSentinel(kPressure, sentinel);
        });
}

HRESULT CBarometricSensorMK600::SetBaroSentinel(float sentinel, USHORT unitId)
{
    return WithDevice(
        [&]
        {
            // The sentinel is kept in the parameter's unit of the moment; without that unit, or
            // with a value that does not convert into it, any stored number would be a made-up one.
            USHORT current = 0;
            HRESULT hr = GetUnit(kPressure, current);
            if (Failed(hr))
                return hr;
            double converted = 0.0;
            if (!ConvertUnits(FromUnit{unitId}, converted, ToUnit{current}, sentinel))
                return ADAPTER_E_INVALID_PARAMETER;
            return SetSentinel(kPressure, static_cast<float>(converted));
        });
}

HRESULT CBarometricSensorMK600::WriteBaroCal(float value)
{
    if (m_nSignature != kSignature)
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return m_pDevice != nullptr ? WriteFloat(kCalibration, value) : MODBUSCOMM_E_INVALID_DEVICE_THIS;
}

} // namespace NVSystem
