// The multi-sensor probe: class test, downcast, and the four sensors it holds.
#include "models/SledraComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kTemplateVersionRegister = 47000;
constexpr USHORT kExternalVoltageRegister = 47004;

} // namespace

CSledraComm::CSledraComm(const SlaveIdInfo& slaveId) : CDeviceComm(slaveId)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
}

CSledraComm::~CSledraComm()
{
    m_nClassSignature.store(0);
    // The pH/ORP sensor forwards to the level sensor: it goes first.
    m_pPhOrpSensor.reset();
    m_pLevelSensor.reset();
    m_pConductivitySensor.reset();
    m_pVoxSensor.reset();
}

bool CSledraComm::IsSledra(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CSledraComm* CSledraComm::QuerySledraComm()
{
    if (!IsSledra(this))
        return nullptr;
    AddRef();
    return this;
}

template <typename Sensor>
Sensor* CSledraComm::SensorOf(const std::unique_ptr<Sensor>& field)
{
    if (!IsTagged())
        return nullptr;
    CScopedLock lock(m_DeviceLock);
    return field.get();
}

ISensor_VoxPro* CSledraComm::GetVoxProSensor()
{
    return SensorOf(m_pVoxSensor);
}

ISensor_Conductivity* CSledraComm::GetConductivitySensor()
{
    return SensorOf(m_pConductivitySensor);
}

ISensor_PressureTempLevel* CSledraComm::GetPressureTempLevelSensor()
{
    return SensorOf(m_pLevelSensor);
}

ISensor_pHORP* CSledraComm::GetpHORPSensor()
{
    return SensorOf(m_pPhOrpSensor);
}

HRESULT CSledraComm::GetSensor(USHORT connection, ULONG /*flags*/, ISensor_Interface*& sensor)
{
    sensor = nullptr;
    switch (connection)
    {
    case 1:
        sensor = GetVoxProSensor();
        break;
    case 2:
        sensor = GetConductivitySensor();
        break;
    case 3:
        sensor = GetPressureTempLevelSensor();
        break;
    case 4:
        sensor = GetpHORPSensor();
        break;
    default:
        break;
    }
    return sensor != nullptr ? S_OK : E_FAIL;
}

} // namespace NVSystem
