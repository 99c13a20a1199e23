#include "models/BluetoothCommDeviceComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kTemplateVersionRegister = 49000;
constexpr USHORT kExternalVoltageRegister = 49000;

} // namespace

CBluetoothCommDeviceComm::CBluetoothCommDeviceComm(const SlaveIdInfo& slaveId)
    : CBuiltInPressureSensor(slaveId, kClassSignature)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
}

bool CBluetoothCommDeviceComm::IsBluetoothCommDevice(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CBluetoothCommDeviceComm* CBluetoothCommDeviceComm::QueryBluetoothCommDeviceComm()
{
    if (!CarriesSignatures())
        return nullptr;
    AddRef();
    return this;
}

ISensor_PressureTemp* CBluetoothCommDeviceComm::GetPressureTempSensor()
{
    return this;
}

HRESULT CBluetoothCommDeviceComm::SendBluetoothUpdateCommand()
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return Guarded(GUARD_LINK | GUARD_FIRMWARE,
                   [&]
                   {
                       const HRESULT hr =
                           Network().WriteUShort(Address(), REG_DEVICE_COMMAND, DEVCMD_BLUETOOTH_UPDATE,
                                                 m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                           m_Trace << TRACE_LEVEL1 << u"Bluetooth Communication Device: " << Address()
                                   << u" - failed to write BLUETOOTH_UPDATE_CMD  - " << TraceHr(hr)
                                   << TRACE_END;
                       else
                           m_Trace << TRACE_LEVEL3 << u"Bluetooth Communication Device: " << Address()
                                   << u" - wrote BLUETOOTH_UPDATE_CMD" << TRACE_END;
                       return hr;
                   });
}

} // namespace NVSystem
