// The combined pH/ORP sensor on connection 4 of the multi-sensor probe of device type 18. It has no
// temperature of its own: its temperature operations are those of the level sensor of the same
// device (its companion, connection 3), with the caller's arguments.
//
// Sensor parameters: 1 pH, 2 pH millivolts, 3 ORP. The pH calibration registers from 117; the ORP
// calibration word at 144 (its point at 145, 147, 149, slope 151, offset 153).
//
// Every operation that reaches the device first checks the signature, the device and the companion.
#pragma once

#include "models/PHORPAdapter.h"

namespace NVSystem
{

extern template class CPhOrpAdapter<ISensor_pHORP, SensorSignature("PHOR")>;

class CPHORPSensor : public CPhOrpAdapter<ISensor_pHORP, SensorSignature("PHOR")>
{
public:
    static constexpr sPhOrpLayout kLayout{0, 1, 2, 3, true, 144};

    // The companion is the level adapter of the same device; it must outlive this adapter.
    CPHORPSensor(CDeviceComm* device, USHORT connection, ISensor_PressureTempLevel* companion)
        : CPhOrpAdapter(device, connection, kLayout, companion)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_PH_ORP; }
};

} // namespace NVSystem
