#include "models/DeviceFactory.h"

#include <new>

#include "comm/DeviceFactoryHook.h"
#include "models/BarrikComm.h"
#include "models/BlueToothSkiffCom.h"
#include "models/BluetoothCommDeviceComm.h"
#include "models/FluvarComm.h"
#include "models/MK600Comm.h"
#include "models/MariskComm.h"
#include "models/PendraProComm.h"
#include "models/PokkoComm.h"
#include "models/SledraComm.h"
#include "models/StiloComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VoxProComm.h"

namespace NVSystem
{

namespace
{

// A multi-sensor device with the adapters of its connections; null stays null.
template <typename Device>
CDeviceComm* WithSensorAdapters(Device* device)
{
    if (device != nullptr)
        device->CreateSensorAdapters();
    return device;
}

CDeviceComm* NewDeviceOfType(const SlaveIdInfo& slaveId)
{
    switch (slaveId.DeviceTypeId)
    {
    case 1:
    case 2:
    case 4:
    case 30:
    case 6:
    case 8:
    case 15:
    case 16:
        return new (std::nothrow) CStiloComm(slaveId);
    case 12:
    case 19:
    case 20:
    case 24:
    case 31:
    case 35:
    case 36:
    case 37:
        return new (std::nothrow) CVoxProComm(slaveId);
    case 18:
        return WithSensorAdapters(new (std::nothrow) CSledraComm(slaveId));
    case 21:
        return WithSensorAdapters(new (std::nothrow) CPokkoComm(slaveId));
    case 3:
    case 9:
    case 17:
        return new (std::nothrow) CBarrikComm(slaveId);
    case 5:
    case 10:
        return new (std::nothrow) CMariskComm(slaveId);
    case 11:
        return new (std::nothrow) CFluvarComm(slaveId);
    case 7:
    case 26:
    case 33:
    case 34:
        return new (std::nothrow) CMK600Comm(slaveId);
    case 0x8000:
    case 0x8001:
    case 0x8002:
        return new (std::nothrow) CPendraProComm(slaveId);
    case 13:
        return new (std::nothrow) CBlueToothSkiffCom(slaveId);
    case 39:
        return new (std::nothrow) CVOXCoreICComm(slaveId);
    case 0x8003:
        return new (std::nothrow) CBluetoothCommDeviceComm(slaveId);
    default:
        return new (std::nothrow) CDeviceComm(slaveId);
    }
}

HRESULT Attach(CDeviceComm* device, USHORT address, const SlaveIdInfo& slaveId, CModbusComm* network)
{
    return device->AttachCommLink(address, slaveId, network);
}

void AddRef(CDeviceComm* device)
{
    device->AddRef();
}

void Discard(CDeviceComm* device)
{
    // A device without references goes with one Release.
    device->Release();
}

ILinkedDevice* Listed(CDeviceComm* device)
{
    return device;
}

const SDeviceFactoryOperations kOperations{&CreateDeviceObject, &Attach, &AddRef, &Discard, &Listed};

} // namespace

HRESULT CreateDeviceObject(const SlaveIdInfo& slaveId, CDeviceComm*& device)
{
    try
    {
        device = NewDeviceOfType(slaveId);
    }
    catch (const std::bad_alloc&)
    {
        device = nullptr;
    }
    return device != nullptr ? S_OK : E_OUTOFMEMORY;
}

void InstallDeviceFactory()
{
    SetDeviceFactoryOperations(&kOperations);
}

} // namespace NVSystem
