// The devices created on the line, in creation order.
#include "comm/ModbusComm.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

HRESULT CModbusComm::AddDevice(NVSystem::ILinkedDevice* device)
{
    if (!IsTagged() || device == nullptr)
        return E_POINTER;
    CScopedLock line(m_LineLock);
    return m_Devices.Add(device) >= 0 ? S_OK : E_OUTOFMEMORY;
}

HRESULT CModbusComm::RemoveDevice(NVSystem::ILinkedDevice* device)
{
    return Guarded(
        [&]
        {
            if (!IsTagged())
                return E_POINTER;
            CScopedLock line(m_LineLock);
            uint32_t index = 0;
            while (index < m_Devices.GetCount() && m_Devices[index] != device)
                ++index;
            if (index == m_Devices.GetCount())
                return S_OK;
            const USHORT address = device->GetAddress();
            if (!m_WakeUpTable.SetIdleMs(address, WAKEUP_NEVER_MS))
                return MODBUSCOMM_E_INVALID_ADDRESS;
            return m_Devices.RemoveAt(index) ? S_OK : E_OUTOFMEMORY;
        });
}

ULONG CModbusComm::GetDeviceCount()
{
    CScopedLock line(m_LineLock);
    return m_Devices.GetCount();
}

NVSystem::ILinkedDevice* CModbusComm::GetDevice(ULONG index)
{
    CScopedLock line(m_LineLock);
    return index < m_Devices.GetCount() ? m_Devices[index] : nullptr;
}
