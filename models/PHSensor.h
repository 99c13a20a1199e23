// The pH sensor on connection 4 of the multi-sensor probe of device type 21: the pH/ORP interface
// without ORP, whose ORP operations are refused with E_FAIL.
//
// Sensor parameters: 1 pH, 2 pH millivolts, 3 temperature. The pH calibration registers from 117.
#pragma once

#include "models/PHORPAdapter.h"

namespace NVSystem
{

extern template class CPhOrpAdapter<ISensor_pH, SensorSignature("PHSE")>;

class CPHSensor : public CPhOrpAdapter<ISensor_pH, SensorSignature("PHSE")>
{
public:
    static constexpr sPhOrpLayout kLayout{3, 1, 2, 0, true, 0};

    CPHSensor(CDeviceComm* device, USHORT connection) : CPhOrpAdapter(device, connection, kLayout) {}

    ULONG GetSensorType() override { return SENSOR_TYPE_PH; }

    // The pH/ORP pair answers with the pH pair.
    HRESULT GetpHORPSerialNumber(ULONG& serialNumber) override { return GetpHSerialNumber(serialNumber); }
    USHORT GetpHORPConnection() override { return GetpHConnection(); }
    HRESULT Reserved53() override { return WritepHCalNote(); }
    // Writes no note and reports success.
    HRESULT WritepHCalNote() override { return S_OK; }

    HRESULT GetpHSerialNumber(ULONG& serialNumber) override { return SensorSerialNumber(serialNumber); }
    USHORT GetpHConnection() override { return m_nConnection; }
};

} // namespace NVSystem
