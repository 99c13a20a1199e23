// The conductivity sensor on connection 2 of the VOX core probe (device type 39). It measures no
// temperature of its own: its temperature operations are those of the optical DO sensor of the same
// device (its companion), the reading always taken live.
//
// Sensor parameters: the conductivity quantities 1 to 6 on parameters 1 to 6. Float settings
// (register offsets): the calibration block from 117 (reference temperature 117, alpha 119,
// coefficients 121 to 135), 137 TDS factor, 139 cell constant, 141 cell offset.
//
// Every operation first checks the signature, that the device is a live device object and that a
// companion is bound.
#pragma once

#include "models/ConductivityAdapter.h"

namespace NVSystem
{

class CConductivitySensorVOXCoreIC : public CConductivityAdapter
{
public:
    static constexpr uint32_t kSignature = SensorSignature("VCIC");
    static constexpr sConductivityLayout kLayout{{1, 2, 3, 4, 5, 6}, 137, 139, 141, 117};

    // The companion is the optical DO adapter of the same device; it must outlive this adapter.
    CConductivitySensorVOXCoreIC(CDeviceComm* device, USHORT connection, ISensor_VoxPro* companion)
        : CConductivityAdapter(device, connection, kSignature, kLayout), m_pCompanion(companion)
    {
    }
    ~CConductivitySensorVOXCoreIC() override { m_pCompanion = nullptr; }

    // Live, whatever cachedOnly asks.
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;

protected:
    bool IsUsable() const override { return IsBoundToLiveDevice(kSignature) && m_pCompanion != nullptr; }

private:
    ISensor_VoxPro* m_pCompanion = nullptr;
};

} // namespace NVSystem
