// Single probe registers that the windows read and write directly through the network: the
// optical-DO core's serial number, the manufacture date and the second current loop.
#include "connection/ProbeConnection.h"

#include "foundation/DateTimeFormat.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "platform/MessageBox.h"

namespace
{

constexpr USHORT kVoxCoreSerialRegister = 47500;
constexpr USHORT kManufactureDateRegister = 49004;
constexpr USHORT kLoop2EnableRegister = 49716;
constexpr USHORT kLoop2ConnectionRegister = 49710;
constexpr USHORT kLoop2ParameterRegister = 49711;
constexpr USHORT kLoop2FirstScaleRegister = 49712;
constexpr USHORT kLoop2SecondScaleRegister = 49714;
constexpr USHORT kInterfaceConfigurationRegister = 49500;
constexpr USHORT kInterfaceSecondLoop = 0x0200;
constexpr USHORT kLoop2On = 1;
constexpr ULONG kRegisterTimeoutMs = 500;
// Two tries after the first.
constexpr USHORT kRegisterRetries = 2;

void ShowErrorBox(const char16_t* text)
{
    platform::ShowMessageBox(GetAppMainWindow(), text, u"Error", platform::MB_OK | platform::MB_ICONERROR);
}

} // namespace

CModbusComm* CProbeConnection::NetworkOrBox(const char16_t* noNetworkText)
{
    CModbusComm* network = GetModbusInterface();
    if (network == nullptr && IsProbeConnected())
        ShowErrorBox(noNetworkText);
    return network;
}

ULONG CProbeConnection::ReadVoxCoreSerialNumber()
{
    if (!IsProbeConnected() || !HasVoxCore(GetSlaveId().DeviceTypeId))
        return 0;
    const NetworkRef network(NetworkOrBox(u"Failed to get Modbus interface."));
    if (network == nullptr)
        return 0;
    ULONG serialNumber = 0;
    if (Failed(network->ReadULong(m_nAddress.load(), kVoxCoreSerialRegister, serialNumber, kRegisterTimeoutMs,
                                  kRegisterRetries)))
    {
        ShowErrorBox(u"Failed to read VOX Core serial number.");
        return 0;
    }
    return serialNumber;
}

CWideString CProbeConnection::GetManufactureDateText()
{
    if (!IsProbeConnected())
        return CWideString();
    const NetworkRef network(NetworkOrBox(u"Failed to get modbus interface."));
    if (network == nullptr)
        return CWideString();
    CDeviceTimestamp date;
    if (Failed(network->ReadTime(m_nAddress.load(), kManufactureDateRegister, date, kRegisterTimeoutMs,
                                 kRegisterRetries)))
    {
        ShowErrorBox(u"Failed to read manufacture date.");
        return CWideString();
    }
    SYSTEMTIME time;
    DeviceTimeToSystemTime(date.GetSeconds(), date.GetFraction(), time);
    return FormatDate(time);
}

HRESULT CProbeConnection::WriteCurrentLoop(BOOL enable, USHORT connection, USHORT parameterNumber,
                                           float firstScale, float secondScale)
{
    const NetworkRef network(GetModbusInterface());
    if (network == nullptr)
        return MODBUSCOMM_E_EXCEPTION;
    const USHORT address = m_nAddress.load();
    const auto writeWord = [&](USHORT reg, USHORT value)
    { return network->WriteUShort(address, reg, value, kRegisterTimeoutMs, kRegisterRetries); };
    const auto writeFloat = [&](USHORT reg, float value)
    { return network->WriteFloat(address, reg, value, kRegisterTimeoutMs, kRegisterRetries); };
    HRESULT hr = writeWord(kLoop2EnableRegister, enable ? 1 : 0);
    if (Succeeded(hr))
        hr = writeWord(kLoop2ConnectionRegister, connection);
    if (Succeeded(hr))
        hr = writeWord(kLoop2ParameterRegister, parameterNumber);
    if (Succeeded(hr))
        hr = writeFloat(kLoop2FirstScaleRegister, firstScale);
    if (Succeeded(hr))
        hr = writeFloat(kLoop2SecondScaleRegister, secondScale);
    return Failed(hr) ? hr : S_OK;
}

BOOL CProbeConnection::HasSecondCurrentLoop()
{
    const NetworkRef network(GetModbusInterface());
    USHORT interfaces = 0;
    return network != nullptr &&
                   Succeeded(network->ReadUShort(m_nAddress.load(), kInterfaceConfigurationRegister,
                                                 interfaces, kRegisterTimeoutMs, kRegisterRetries)) &&
                   (interfaces & kInterfaceSecondLoop) != 0
               ? TRUE
               : FALSE;
}

HRESULT CProbeConnection::ReadCurrentLoop(BOOL& enable, USHORT& connection, USHORT& parameterNumber,
                                          float& firstScale, float& secondScale)
{
    const NetworkRef network(GetModbusInterface());
    if (network == nullptr)
        return MODBUSCOMM_E_EXCEPTION;
    const USHORT address = m_nAddress.load();
    const auto readWord = [&](USHORT reg, USHORT& value)
    { return network->ReadUShort(address, reg, value, kRegisterTimeoutMs, kRegisterRetries); };
    const auto readFloat = [&](USHORT reg, float& value)
    { return network->ReadFloat(address, reg, value, kRegisterTimeoutMs, kRegisterRetries); };
    USHORT on = 0;
    HRESULT hr = readWord(kLoop2EnableRegister, on);
    enable = on == kLoop2On ? TRUE : FALSE;
    if (Succeeded(hr))
        hr = readWord(kLoop2ConnectionRegister, connection);
    if (Succeeded(hr))
        hr = readWord(kLoop2ParameterRegister, parameterNumber);
    if (Succeeded(hr))
        hr = readFloat(kLoop2FirstScaleRegister, firstScale);
    if (Succeeded(hr))
        hr = readFloat(kLoop2SecondScaleRegister, secondScale);
    return hr;
}
