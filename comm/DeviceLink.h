// What the network object needs of the device objects on its line. The device class lives in a
// library above this one, so the network holds its devices by forward-declared pointer and reaches
// them through these two operations, which the device library installs before it links its first
// device to a network (CDeviceComm's constructor). Until they are installed every device counts as
// unlinked and is never told to detach, which is all a line without device library can have.
// Both run under the network's line lock, which lies inside the device lock: they must not take the
// device lock.
#pragma once

#include "platform/Types.h"

namespace NVSystem
{
class CDeviceComm;
}
class CModbusComm;

struct SDeviceLinkOperations
{
    // CDeviceComm::GetAddress: the Modbus address of a device that carries its signature and is
    // linked to a network, else 255.
    USHORT (*GetAddress)(NVSystem::CDeviceComm* device) = nullptr;
    // CDeviceComm::DetachCommLink: the device forgets the network.
    HRESULT (*DetachCommLink)(NVSystem::CDeviceComm* device, CModbusComm* network) = nullptr;
};

// Replaces the installed operations; safe from any thread.
void SetDeviceLinkOperations(const SDeviceLinkOperations& operations);

// The installed operation, or its unlinked answer (255; nothing to detach) while none is installed.
USHORT GetLinkedDeviceAddress(NVSystem::CDeviceComm* device);
void DetachLinkedDevice(NVSystem::CDeviceComm* device, CModbusComm* network);
