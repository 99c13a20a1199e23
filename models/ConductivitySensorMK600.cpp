#include "models/ConductivitySensorMK600.h"

#include "models/SettingNotes.h"

namespace NVSystem
{

HRESULT CConductivitySensorMK600::ReadTemperature(float& value, USHORT& quality, USHORT& unitId,
                                                  BOOL /*cachedOnly*/)
{
    return Checked(
        [&]
        {
            HRESULT hr = ReadFloat(kTemperatureValue, value);
            if (Succeeded(hr))
                hr = ReadWord(kTemperatureQuality, quality);
            if (Succeeded(hr))
                hr = ReadWord(kTemperatureUnit, unitId);
            return hr;
        });
}

HRESULT CConductivitySensorMK600::GetTemperatureUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kTemperature, unitId); });
}

HRESULT CConductivitySensorMK600::SetTemperatureUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kTemperature, unitId); });
}

HRESULT CConductivitySensorMK600::GetTemperatureSentinel(float& sentinel)
{
    return Checked([&] { return GetSentinel(kTemperature, sentinel); });
}

HRESULT CConductivitySensorMK600::SetTDSFactor(float factor)
{
    const HRESULT hr = CConductivityAdapter::SetTDSFactor(factor);
    if (Failed(hr) || !m_pDevice->HasActiveLog())
        return hr;
    try
    {
        CNVUserNote_Calibrate_TDSFactor note;
        ULONG serial = 0;
        GetConductivitySerialNumber(serial);
        if (Succeeded(note.Build(serial, factor)))
            m_pDevice->WriteLogNote(note);
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
    return hr;
}

} // namespace NVSystem
