#include "comm/DeviceLink.h"

#include <atomic>

namespace
{

constexpr USHORT kUnlinkedAddress = 255;

std::atomic<USHORT (*)(NVSystem::CDeviceComm*)> g_pGetAddress{nullptr};
std::atomic<HRESULT (*)(NVSystem::CDeviceComm*, CModbusComm*)> g_pDetachCommLink{nullptr};

} // namespace

void SetDeviceLinkOperations(const SDeviceLinkOperations& operations)
{
    g_pGetAddress.store(operations.GetAddress);
    g_pDetachCommLink.store(operations.DetachCommLink);
}

USHORT GetLinkedDeviceAddress(NVSystem::CDeviceComm* device)
{
    auto* getAddress = g_pGetAddress.load();
    return getAddress != nullptr && device != nullptr ? getAddress(device) : kUnlinkedAddress;
}

void DetachLinkedDevice(NVSystem::CDeviceComm* device, CModbusComm* network)
{
    auto* detach = g_pDetachCommLink.load();
    if (detach != nullptr && device != nullptr)
        detach(device, network);
}
