// What the device factory (CModbusComm::CreateDeviceForAddress) needs of the device classes. They
// live in libraries above this one, so the factory reaches them through these operations, which
// the device-model library installs once at start-up (NVSystem::InstallDeviceFactory). Until all of
// them are installed the factory creates nothing and answers E_NOTIMPL.
// The operations run without the network's line lock (they take the device lock, which lies outside
// it), on a device that no other thread can reach yet.
#pragma once

#include "comm/DeviceLink.h"
#include "comm/SlaveIdInfo.h"
#include "platform/Types.h"

namespace NVSystem
{
class CDeviceComm;
}
class CModbusComm;

struct SDeviceFactoryOperations
{
    // A new device object of the class that the record's device type asks for, without
    // references; E_OUTOFMEMORY when it cannot be had.
    HRESULT (*Create)(const SlaveIdInfo& slaveId, NVSystem::CDeviceComm*& device) = nullptr;
    // CDeviceComm::AttachCommLink.
    HRESULT(*Attach)
    (NVSystem::CDeviceComm* device, USHORT address, const SlaveIdInfo& slaveId,
     CModbusComm* network) = nullptr;
    // CDeviceComm::AddRef.
    void (*AddRef)(NVSystem::CDeviceComm* device) = nullptr;
    // Destroys a device that nobody holds a reference on.
    void (*Discard)(NVSystem::CDeviceComm* device) = nullptr;
    // The device as the network's list keeps it.
    NVSystem::ILinkedDevice* (*Listed)(NVSystem::CDeviceComm* device) = nullptr;
};

// Installs the operations, which must stay valid for the rest of the process; null uninstalls.
// Safe from any thread.
void SetDeviceFactoryOperations(const SDeviceFactoryOperations* operations);
// The installed operations, or null.
const SDeviceFactoryOperations* GetDeviceFactoryOperations();
