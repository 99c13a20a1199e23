// The device classes behind the network's device factory (CModbusComm::CreateDeviceForAddress): the
// class of each device type, and the installation of the factory's operations. The application
// calls InstallDeviceFactory once at start-up, before it creates its first device.
//
// Device types and their classes:
//   12, 19, 20, 24, 31, 35, 36, 37  CVoxProComm
//   18                              CSledraComm with its four sensor adapters
//   21                              CPokkoComm with its five sensor adapters
//   39                              CVOXCoreICComm (sensors: InitVOXCoreICSensors)
//   1, 2, 4, 30, 6, 8, 15, 16       CStiloComm
//   3, 9, 17                        CBarrikComm
//   5, 10                           CMariskComm
//   11                              CFluvarComm
//   7, 26, 33, 34                   CMK600Comm (its sensors when first asked for)
//   13                              CBlueToothSkiffCom
//   0x8000, 0x8001, 0x8002          CPendraProComm
//   0x8003                          CBluetoothCommDeviceComm
//   every other type                the plain CDeviceComm
#pragma once

#include "comm/SlaveIdInfo.h"
#include "device/DeviceComm.h"

namespace NVSystem
{

// A new, unlinked device object of the class that the record's device type asks for, without
// references (Release discards it); E_OUTOFMEMORY when it cannot be had.
HRESULT CreateDeviceObject(const SlaveIdInfo& slaveId, CDeviceComm*& device);

// Installs the operations of the network's device factory. Calling it again changes nothing.
void InstallDeviceFactory();

} // namespace NVSystem
