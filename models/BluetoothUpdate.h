// The Bluetooth update command of the instruments with a Bluetooth link (the Bluetooth communication
// device and the multi-parameter sonde): one write of the command to the device command register,
// traced as "<prefix><address> - ...". The caller has checked the device and holds its lock.
#pragma once

#include "comm/ModbusComm.h"
#include "device/DeviceComm.h"
#include "device/RegisterMap.h"
#include "foundation/TraceLog.h"

namespace NVSystem
{

inline HRESULT WriteBluetoothUpdateCommand(CModbusComm& network, USHORT address, ULONG timeoutMs,
                                           USHORT retries, CTraceLog& trace, const char16_t* tracePrefix)
{
    const HRESULT hr =
        network.WriteUShort(address, REG_DEVICE_COMMAND, DEVCMD_BLUETOOTH_UPDATE, timeoutMs, retries);
    if (Failed(hr))
        trace << TRACE_LEVEL1 << tracePrefix << address << u" - failed to write BLUETOOTH_UPDATE_CMD  - "
              << TraceHr(hr) << TRACE_END;
    else
        trace << TRACE_LEVEL3 << tracePrefix << address << u" - wrote BLUETOOTH_UPDATE_CMD" << TRACE_END;
    return hr;
}

} // namespace NVSystem
