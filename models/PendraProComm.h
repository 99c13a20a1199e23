// The control units (device types 32768 to 32770): one Modbus device with a built-in pressure and
// temperature sensor on connection 1, without pressure calibration. The sensor is reached through
// GetSensor only (the pressure/temperature getter keeps the base's null), and the unit adds no
// meta-tags to a log: FillLogFileMeta answers E_FAIL.
#pragma once

#include "models/PressureTempDevice.h"

namespace NVSystem
{

class CPendraProComm : public CPressureTempDevice
{
public:
    static constexpr uint32_t kClassSignature = 0x504E5052; // 'PNPR'

    // With the registers the unit places: template version 47000, external voltage 47001.
    explicit CPendraProComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live unit object of this class.
    static bool IsPendraPro(CDeviceComm* device) { return IsOfClass(device, kClassSignature); }

    CPendraProComm* QueryPendraProComm() override { return QueryThis(this); }
    // E_FAIL, for the device and its sensor interface alike.
    HRESULT FillLogFileMeta(CLogFile& /*logFile*/) override { return E_FAIL; }

protected:
    ~CPendraProComm() override = default;
};

} // namespace NVSystem
