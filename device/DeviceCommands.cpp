// Whole-device commands through the device command register: offline, online, clearing the message
// counters and the factory restore, which also moves the PC side of the line.
#include <memory>

#include "comm/IOAbstract.h"
#include "comm/SerialComm.h"
#include "comm/SerialSettingsIds.h"
#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kHandshakeReset = 0;
constexpr USHORT kHandshakeArm = 1;
constexpr USHORT kMaxDeviceAddress = 248;

} // namespace

HRESULT CDeviceComm::SendDeviceCommand(USHORT command)
{
    CModbusComm& network = Network();
    if (m_SlaveId.RegisterMapVersion >= 3)
        return network.WriteUShort(Address(), REG_DEVICE_COMMAND, command, m_nWriteTimeout, m_nRetryCount);

    // Older instruments take a command only inside the handshake 0, 1, command, 0; the closing 0 is
    // sent whatever happened before it.
    const USHORT reg = m_RegisterMap.DeviceCommand;
    auto write = [&](USHORT value)
    { return network.WriteUShort(Address(), reg, value, m_nWriteTimeout, m_nRetryCount); };
    HRESULT hr = write(kHandshakeReset);
    if (Succeeded(hr))
        hr = write(kHandshakeArm);
    if (Succeeded(hr))
        hr = write(command);
    write(kHandshakeReset);
    return hr;
}

HRESULT CDeviceComm::SetOffline()
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       const HRESULT hr = SendDeviceCommand(DEVCMD_SET_OFFLINE);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to set device offline - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       m_pCacheSettings->m_nDeviceStatus |= DEVICE_STATUS_OFFLINE;
                       Trace(TRACE_LEVEL1) << u" - set offline" << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::SetOnline()
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       const HRESULT hr = SendDeviceCommand(DEVCMD_SET_ONLINE);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to set device online - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       m_pCacheSettings->m_nDeviceStatus &= ~DEVICE_STATUS_OFFLINE;
                       Trace(TRACE_LEVEL1) << u" - set online" << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::IsOffline(BOOL& offline)
{
    offline = FALSE;
    ULONG status = 0;
    const HRESULT hr = GetDeviceStatus(status);
    if (Succeeded(hr) && (status & DEVICE_STATUS_OFFLINE) != 0)
        offline = TRUE;
    return hr;
}

HRESULT CDeviceComm::IsOnline(BOOL& online)
{
    BOOL offline = FALSE;
    const HRESULT hr = IsOffline(offline);
    online = offline ? FALSE : TRUE;
    return hr;
}

HRESULT CDeviceComm::ClearMsgCounters()
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       const HRESULT hr = SendDeviceCommand(DEVCMD_CLEAR_MSG_COUNTERS);
                       if (Failed(hr))
                           Trace(TRACE_LEVEL1)
                               << u" - failed to clear msg counters - " << TraceHr(hr) << TRACE_END;
                       else
                           Trace(TRACE_LEVEL1) << u" - msg counters cleared" << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::RestoreFactoryDefaults(ULONG baudId, ULONG dataBitsId, ULONG stopBitsId, ULONG parityId,
                                            ULONG transmissionMode, USHORT newAddress)
{
    return Guarded(
        GUARDS_ALL,
        [&]
        {
            Trace(TRACE_LEVEL1) << u" - starting restore to factory defaults" << TRACE_END;
            // The instrument restarts deaf to the old settings: settings the line or the device
            // object cannot take must be refused while the instrument is still reachable.
            if (const HRESULT hr = CheckPortSettingsIds(baudId, dataBitsId, parityId, stopBitsId); Failed(hr))
                return hr;
            if (transmissionMode > 1)
                return MODBUSCOMM_E_INVALID_TRANSMISSION_MODE;
            if (newAddress == 0 || newAddress > kMaxDeviceAddress)
                return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
            if (IsFileTransferActive())
                return MODBUSCOMM_E_FILE_TRANSFER_ACTIVE;

            CModbusComm& network = Network();
            ULONG connectionType = 0;
            HRESULT hr = network.GetConnectionType(connectionType);
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to read connection type - " << TraceHr(hr) << TRACE_END;
                return hr;
            }
            const USHORT reg = m_RegisterMap.DeviceCommand;
            if (m_SlaveId.RegisterMapVersion < 3)
            {
                hr = network.WriteUShort(Address(), reg, kHandshakeArm, m_nWriteTimeout, m_nRetryCount);
                if (Failed(hr))
                    return hr;
            }
            const ULONG restoreTimeout = ReadCommTunable(CommTunable::FactoryRestoreTO);
            hr = network.WriteUShort(Address(), reg, DEVCMD_RESTORE_FACTORY_DEFAULTS, restoreTimeout, 0);
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed command to restore factory defaults - " << TraceHr(hr)
                                    << TRACE_END;
                return hr;
            }
            m_nAddress.store(newAddress);

            if (connectionType == NVTools::IOCONNECTION_SERIAL)
            {
                const std::unique_ptr<NVTools::IIOAbstract> line(network.CloneCommLink());
                if (NVTools::CSerialComm* serial = line ? line->AsSerial() : nullptr; serial != nullptr)
                {
                    serial->SetPortConfig(baudId, dataBitsId, parityId, stopBitsId);
                    network.SetTransmissionMode(transmissionMode);
                }
            }

            network.WakeUpNetwork();
            hr = network.WriteUShort(Address(), reg, kHandshakeReset, m_nWriteTimeout, m_nRetryCount);
            if (Failed(hr))
            {
                // An instrument that restarts in ASCII is reached in ASCII whatever it was asked.
                network.SetTransmissionMode(1);
                network.WakeUpNetwork();
                hr = network.WriteUShort(Address(), reg, kHandshakeReset, m_nWriteTimeout, m_nRetryCount);
                if (Failed(hr))
                {
                    Trace(TRACE_LEVEL1)
                        << u" - failed to restore factory defaults - " << TraceHr(hr) << TRACE_END;
                    network.SetTransmissionMode(0);
                    return hr;
                }
            }

            // The restored instrument may list other sensors, units and sentinels.
            BuildSensorCache();
            UpdateCache();
            RereadSensorRecords();
            Trace(TRACE_LEVEL1) << u" - factory reset complete!!" << TRACE_END;
            return hr;
        });
}

} // namespace NVSystem
