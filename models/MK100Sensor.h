// The conductivity sensor on connection 2 of the multi-sensor probes of device types 18 and 21.
//
// Sensor parameters: 1 actual conductivity, 2 temperature, then the conductivity quantities 2 to 6
// on parameters 3 to 7. Float settings (register offsets): 127 cell offset, 129 cell constant, the
// calibration block from 131 (reference temperature 131, alpha 133, coefficients 135 to 149), 151
// TDS factor.
//
// Every operation first checks the signature and that the device is a live device object.
#pragma once

#include "models/ConductivityAdapter.h"

namespace NVSystem
{

class CMK100Sensor : public CConductivityAdapter
{
public:
    static constexpr uint32_t kSignature = SensorSignature("MK10");
    static constexpr USHORT kTemperature = 2;
    static constexpr sConductivityLayout kLayout{{1, 3, 4, 5, 6, 7}, 151, 129, 127, 131};

    CMK100Sensor(CDeviceComm* device, USHORT connection)
        : CConductivityAdapter(device, connection, kSignature, kLayout)
    {
    }

    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;

protected:
    bool IsUsable() const override { return IsBoundToLiveDevice(kSignature); }
};

} // namespace NVSystem
