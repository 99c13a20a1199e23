#include "comm/DeviceFactoryHook.h"

#include <atomic>

namespace
{

std::atomic<const SDeviceFactoryOperations*> g_pOperations{nullptr};

} // namespace

void SetDeviceFactoryOperations(const SDeviceFactoryOperations* operations)
{
    g_pOperations.store(operations);
}

const SDeviceFactoryOperations* GetDeviceFactoryOperations()
{
    return g_pOperations.load();
}
