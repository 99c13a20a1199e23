// The conductivity sensor of the multi-parameter sonde (sonde sensor id 56): parameter 1 its
// temperature, 2 to 7 the conductivity quantities 1 to 6. Float settings (register offsets): the
// calibration block from 117 (reference temperature 117, alpha 119, coefficients 121 to 135), 137
// TDS factor, 139 cell constant, 141 cell offset. Its temperature is read from its own registers (the
// value at 37, the unit at 40, the quality at 41), which makes it the sonde's temperature sensor where
// the sonde has no other.
//
// Every operation first checks the signature and that the device is a live device object.
#pragma once

#include "models/ConductivityAdapter.h"

namespace NVSystem
{

class CConductivitySensorMK600 : public CConductivityAdapter
{
public:
    static constexpr uint32_t kSignature = SensorSignature("CON6");
    static constexpr USHORT kTemperature = 1;
    static constexpr USHORT kTemperatureValue = 37; // register offsets of the temperature reading
    static constexpr USHORT kTemperatureUnit = 40;
    static constexpr USHORT kTemperatureQuality = 41;
    static constexpr sConductivityLayout kLayout{{2, 3, 4, 5, 6, 7}, 137, 139, 141, 117};

    CConductivitySensorMK600(CDeviceComm* device, USHORT connection)
        : CConductivityAdapter(device, connection, kSignature, kLayout)
    {
    }

    // From the sensor's registers on every call, whatever the caller asked.
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;
    // A note of the new factor when the device logs; its outcome is not reported.
    HRESULT SetTDSFactor(float factor) override;

protected:
    bool IsUsable() const override { return IsBoundToLiveDevice(kSignature); }
};

} // namespace NVSystem
