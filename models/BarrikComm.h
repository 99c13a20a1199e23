// The barometric logger (device types 3, 9 and 17): one Modbus device that is at the same time its
// own pressure and temperature sensor on connection 1, without pressure calibration. Type 3 keeps its
// family registers from 40108, types 9 and 17 from 47000.
#pragma once

#include "models/PressureTempDevice.h"

namespace NVSystem
{

class CBarrikComm : public CPressureTempDevice
{
public:
    static constexpr uint32_t kClassSignature = 0x4252524B; // 'BRRK'

    explicit CBarrikComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live logger object of this class.
    static bool IsBarrik(CDeviceComm* device) { return IsOfClass(device, kClassSignature); }

    CBarrikComm* QueryBarrikComm() override { return QueryThis(this); }
    ISensor_PressureTemp* GetPressureTempSensor() override { return this; }

    // The base tags, then the logger's two counters where it gives them. Serves the device and its
    // sensor interface alike.
    HRESULT FillLogFileMeta(CLogFile& logFile) override;

protected:
    ~CBarrikComm() override = default;
};

} // namespace NVSystem
