// The device factory: from a slave address on the line to a linked device object in the list.
#include "comm/DeviceFactoryHook.h"
#include "comm/ModbusComm.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

namespace
{

constexpr ULONG kIdentityTimeoutMs = 500;
constexpr USHORT kIdentityRetries = 3;

} // namespace

HRESULT CModbusComm::CreateDeviceForAddress(USHORT address, NVSystem::CDeviceComm*& device)
{
    device = nullptr;
    return Guarded(
        [&]
        {
            const SDeviceFactoryOperations* factory = GetDeviceFactoryOperations();
            if (factory == nullptr || factory->Create == nullptr || factory->Attach == nullptr ||
                factory->AddRef == nullptr || factory->Discard == nullptr || factory->Listed == nullptr)
                return E_NOTIMPL;
            {
                CScopedLock line(m_LineLock);
                if (m_pTransport == nullptr)
                    return MODBUSCOMM_E_NO_CONNECTION;
            }

            SlaveIdInfo slaveId;
            if (const HRESULT hr = ReportSlaveId(address, slaveId, kIdentityTimeoutMs, kIdentityRetries);
                Failed(hr))
                return hr;

            // The new device is linked without the line lock: linking takes the device lock, which
            // lies outside the line lock, and reads through the line as every device operation does.
            // Nobody else can reach the device before it is in the list.
            NVSystem::CDeviceComm* created = nullptr;
            if (const HRESULT hr = factory->Create(slaveId, created); Failed(hr) || created == nullptr)
                return Failed(hr) ? hr : E_OUTOFMEMORY;
            HRESULT result = factory->Attach(created, address, slaveId, this);
            if (Failed(result))
            {
                factory->Discard(created);
                return result;
            }
            if (slaveId.RunIndicator < SLAVEID_RUN_APPLICATION)
                result = MODBUSCOMM_S_NO_APP_FIRMWARE;

            factory->AddRef(created);
            if (Failed(AddDevice(factory->Listed(created))))
            {
                // The device leaves the list it is not in and gives the network back as it goes.
                factory->Discard(created);
                return E_OUTOFMEMORY;
            }
            device = created;
            return result;
        });
}
