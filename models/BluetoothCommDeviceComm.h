// The Bluetooth communication device (device type 0x8003): a link device with a built-in pressure
// and temperature sensor on connection 1, and one command of its own, the Bluetooth update. It has
// no pressure calibration and fills no log-file meta-tags.
#pragma once

#include "models/PressureTempDevice.h"

namespace NVSystem
{

class CBluetoothCommDeviceComm : public CPressureTempDevice
{
public:
    static constexpr uint32_t kClassSignature = 0x42544344; // 'BTCD'

    // With the registers the device places: template version and external voltage at 49000.
    explicit CBluetoothCommDeviceComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live device object of this class.
    static bool IsBluetoothCommDevice(CDeviceComm* device) { return IsOfClass(device, kClassSignature); }

    CBluetoothCommDeviceComm* QueryBluetoothCommDeviceComm() override { return QueryThis(this); }
    ISensor_PressureTemp* GetPressureTempSensor() override { return this; }
    // E_FAIL, for the device and its sensor interface alike.
    HRESULT FillLogFileMeta(CLogFile& /*logFile*/) override { return E_FAIL; }

    // DEVCMD_BLUETOOTH_UPDATE to the device command register, once, whatever the register map
    // version; nothing is read back. Refused while the device runs its boot code.
    HRESULT SendBluetoothUpdateCommand();

protected:
    ~CBluetoothCommDeviceComm() override = default;
};

} // namespace NVSystem
