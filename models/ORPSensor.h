// The ORP sensor on connection 5 of the multi-sensor probe of device type 21: the pH/ORP interface
// without pH, whose pH operations are refused with E_FAIL.
//
// Sensor parameters: 1 ORP, 2 temperature. The ORP calibration word at 117 (its point at 118, 120,
// 122, slope 124, offset 126).
#pragma once

#include "models/PHORPAdapter.h"

namespace NVSystem
{

extern template class CPhOrpAdapter<ISensor_ORP, SensorSignature("ORPS")>;

class CORPSensor : public CPhOrpAdapter<ISensor_ORP, SensorSignature("ORPS")>
{
public:
    static constexpr sPhOrpLayout kLayout{2, 0, 0, 1, false, 117};

    CORPSensor(CDeviceComm* device, USHORT connection) : CPhOrpAdapter(device, connection, kLayout) {}

    ULONG GetSensorType() override { return SENSOR_TYPE_ORP; }

    // The pH/ORP pair answers with the ORP pair.
    HRESULT GetpHORPSerialNumber(ULONG& serialNumber) override { return GetORPSerialNumber(serialNumber); }
    USHORT GetpHORPConnection() override { return GetORPConnection(); }
    HRESULT Reserved53() override { return WriteORPCalNote(); }
    // Writes no note and reports success.
    HRESULT WriteORPCalNote() override { return S_OK; }

    HRESULT GetORPSerialNumber(ULONG& serialNumber) override { return SensorSerialNumber(serialNumber); }
    USHORT GetORPConnection() override { return m_nConnection; }
};

} // namespace NVSystem
