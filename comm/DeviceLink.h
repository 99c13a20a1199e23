// What the network object needs of the device objects on its line. The device class lives in a
// library above this one and implements this interface; the network keeps its devices by it.
#pragma once

#include "platform/Types.h"

class CModbusComm;

namespace NVSystem
{

class ILinkedDevice
{
public:
    // The Modbus address of a device that carries its signature and is linked to a network, else
    // 255. Called under the network's line lock: it takes no device lock.
    virtual USHORT GetAddress() const = 0;
    // The device lets go of the network. The network calls it without holding its line lock, from
    // its destructor, for every device still in its list; the device then gives nothing back to a
    // network that no longer carries its signature.
    virtual HRESULT DetachCommLink(CModbusComm* network) = 0;

protected:
    ~ILinkedDevice() = default;
};

} // namespace NVSystem
