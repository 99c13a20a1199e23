#include "models/TurbiditySensorMK600.h"

#include "foundation/Units.h"
#include "models/CalibrationNotes.h"
#include "models/SensorNoteWriter.h"

namespace NVSystem
{

HRESULT CTurbiditySensorMK600::ReadTemperature(float& value, USHORT& quality, USHORT& unitId,
                                               BOOL /*cachedOnly*/)
{
    value = 0.0f;
    quality = 0;
    unitId = 0;
    return S_OK;
}

HRESULT CTurbiditySensorMK600::GetTemperatureUnit(USHORT& unitId)
{
    unitId = UNIT_CELSIUS;
    return S_OK;
}

HRESULT CTurbiditySensorMK600::GetTurbiditySerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

HRESULT CTurbiditySensorMK600::WriteTurbidityCalNote()
{
    if (!IsBoundToLiveDevice(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<CNVUserNote_Calibrate_Turbidity>(*m_pDevice,
                                                                 [&](CNVUserNote_Calibrate_Turbidity& note)
                                                                 {
                                                                     float slope = 0.0f;
                                                                     float offset = 0.0f;
                                                                     HRESULT hr = ReadTurbidityCal2(slope);
                                                                     if (Succeeded(hr))
                                                                         hr = ReadTurbidityCal3(offset);
                                                                     if (Failed(hr))
                                                                         return hr;
                                                                     ULONG serial = 0;
                                                                     GetTurbiditySerialNumber(serial);
                                                                     return note.Build(serial, slope, offset);
                                                                 });
}

} // namespace NVSystem
