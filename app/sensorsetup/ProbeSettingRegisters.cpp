#include "app/sensorsetup/ProbeSettingRegisters.h"

#include <memory>

#include "foundation/CommTimeouts.h"
#include "foundation/ResultCodes.h"

namespace
{

constexpr ULONG kRegisterTimeoutMs = 500;
constexpr USHORT kRegisterTries = 2;
constexpr USHORT kAutoSalinityOn = 1;

struct sRegisterLine
{
    NetworkRef network;
    USHORT address = 0;
    ULONG readTimeoutMs = kRegisterTimeoutMs;
    ULONG writeTimeoutMs = kRegisterTimeoutMs;
    USHORT tries = kRegisterTries;
};

// The line of 47001 while connected to a probe that has the register. line.network stays null
// when there is nothing to talk to: with S_OK for a device type without the register.
HRESULT OpenAutoSalinityLine(CProbeConnection& connection, sRegisterLine& line)
{
    if (!connection.IsConnected())
        return E_FAIL;
    NVSystem::CDeviceComm* device = connection.GetProbe();
    if (device == nullptr || !device->IsTagged())
        return E_FAIL;
    const USHORT deviceType = connection.GetSlaveId().DeviceTypeId;
    if (deviceType != DEVICE_TYPE_MULTI_SENSOR_PROBE && deviceType != DEVICE_TYPE_VOX_CORE_IC)
        return S_OK;
    line.network.reset(device->GetModbusComm());
    if (line.network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    line.address = device->GetAddress();
    if (deviceType == DEVICE_TYPE_VOX_CORE_IC)
    {
        line.readTimeoutMs = GetReadRegisterTimeout();
        line.writeTimeoutMs = GetWriteRegisterTimeout();
        line.tries = device->GetRetryCount();
    }
    return S_OK;
}

} // namespace

HRESULT ReadAutoSalinity(CProbeConnection& connection, BOOL& on)
{
    on = FALSE;
    sRegisterLine line;
    HRESULT hr = OpenAutoSalinityLine(connection, line);
    if (line.network == nullptr)
        return hr;
    USHORT value = 0;
    hr =
        line.network->ReadUShort(line.address, AUTO_SALINITY_REGISTER, value, line.readTimeoutMs, line.tries);
    on = Succeeded(hr) && value == kAutoSalinityOn ? TRUE : FALSE;
    return hr;
}

HRESULT WriteAutoSalinity(CProbeConnection& connection, BOOL on)
{
    sRegisterLine line;
    const HRESULT hr = OpenAutoSalinityLine(connection, line);
    if (line.network == nullptr)
        return hr;
    return line.network->WriteUShort(line.address, AUTO_SALINITY_REGISTER, on ? kAutoSalinityOn : 0,
                                     line.writeTimeoutMs, line.tries);
}

HRESULT ReadNegativeValueOption(CProbeConnection& connection, USHORT& value)
{
    const NetworkRef network(connection.GetModbusInterface());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->ReadUShort(connection.m_nAddress.load(), NEGATIVE_DO_REGISTER, value, kRegisterTimeoutMs,
                               kRegisterTries);
}

HRESULT WriteNegativeValueOption(CProbeConnection& connection, USHORT value)
{
    const NetworkRef network(connection.GetModbusInterface());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->WriteUShort(connection.m_nAddress.load(), NEGATIVE_DO_REGISTER, value, kRegisterTimeoutMs,
                                kRegisterTries);
}
