#include "models/BluetoothCommDeviceComm.h"

#include "models/BluetoothUpdate.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kTemplateVersionRegister = 49000;
constexpr USHORT kExternalVoltageRegister = 49000;

} // namespace

CBluetoothCommDeviceComm::CBluetoothCommDeviceComm(const SlaveIdInfo& slaveId)
    : CPressureTempDevice(slaveId, kClassSignature)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
}

HRESULT CBluetoothCommDeviceComm::SendBluetoothUpdateCommand()
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return Guarded(GUARD_LINK | GUARD_FIRMWARE,
                   [&]
                   {
                       return WriteBluetoothUpdateCommand(Network(), Address(), m_nWriteTimeout,
                                                          m_nRetryCount, m_Trace,
                                                          u"Bluetooth Communication Device: ");
                   });
}

} // namespace NVSystem
