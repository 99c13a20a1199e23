// The sensor set-up of a VOX core device (device type 39), which the application's connection
// routine runs right after the device factory: the optical-DO adapter on connection 1, the
// conductivity adapter on 2 (which takes its temperature from the optical-DO sensor), then, when
// the device reports three or more sensors, the depth adapter on 3. The device owns the adapters.
#pragma once

#include "device/DeviceComm.h"

namespace NVSystem
{

// What the connection routine tells the user when the set-up fails; the connection is refused.
inline constexpr const char16_t* VOXCOREIC_SENSOR_INIT_FAILED =
    u"Failed to initialize sensors for VOX Core IC";

// MODBUSCOMM_E_INVALID_DEVICE_THIS for a device that is not a VOX core; the failure of the sensor
// count (the first two adapters then stay with the device); E_FAIL when the device has its sensors
// already (they are kept); E_OUTOFMEMORY.
HRESULT InitVOXCoreICSensors(CDeviceComm* device);

} // namespace NVSystem
