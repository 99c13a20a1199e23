// The handheld: class test, downcast, and the five sensors it holds.
#include "models/PokkoComm.h"

#include <new>

#include "models/LevelSensor.h"
#include "models/MK100Sensor.h"
#include "models/ORPSensor.h"
#include "models/PHSensor.h"
#include "models/VOXSensor.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kTemplateVersionRegister = 47000;
constexpr USHORT kExternalVoltageRegister = 47004;

} // namespace

CPokkoComm::CPokkoComm(const SlaveIdInfo& slaveId) : CDeviceComm(slaveId)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
}

CPokkoComm::~CPokkoComm()
{
    m_nClassSignature.store(0);
    m_pVoxSensor.reset();
    m_pConductivitySensor.reset();
    m_pLevelSensor.reset();
    m_pPhSensor.reset();
    m_pOrpSensor.reset();
}

bool CPokkoComm::IsPokko(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

void CPokkoComm::CreateSensorAdapters()
{
    if (!IsPokko(this))
        return;
    CScopedLock lock(m_DeviceLock);
    if (m_pVoxSensor == nullptr)
        m_pVoxSensor.reset(new (std::nothrow) CVOXSensor(this, 1));
    if (m_pConductivitySensor == nullptr)
        m_pConductivitySensor.reset(new (std::nothrow) CMK100Sensor(this, 2));
    if (m_pLevelSensor == nullptr)
        m_pLevelSensor.reset(new (std::nothrow) CLevelSensor(this, 3));
    if (m_pPhSensor == nullptr)
        m_pPhSensor.reset(new (std::nothrow) CPHSensor(this, 4));
    if (m_pOrpSensor == nullptr)
        m_pOrpSensor.reset(new (std::nothrow) CORPSensor(this, 5));
}

CPokkoComm* CPokkoComm::QueryPokkoComm()
{
    if (!IsPokko(this))
        return nullptr;
    AddRef();
    return this;
}

template <typename Sensor>
Sensor* CPokkoComm::SensorOf(const std::unique_ptr<Sensor>& field)
{
    if (!IsTagged())
        return nullptr;
    CScopedLock lock(m_DeviceLock);
    return field.get();
}

ISensor_VoxPro* CPokkoComm::GetVoxProSensor()
{
    return SensorOf(m_pVoxSensor);
}

ISensor_Conductivity* CPokkoComm::GetConductivitySensor()
{
    return SensorOf(m_pConductivitySensor);
}

ISensor_PressureTempLevel* CPokkoComm::GetPressureTempLevelSensor()
{
    return SensorOf(m_pLevelSensor);
}

ISensor_pH* CPokkoComm::GetpHSensor()
{
    return SensorOf(m_pPhSensor);
}

ISensor_ORP* CPokkoComm::GetORPSensor()
{
    return SensorOf(m_pOrpSensor);
}

HRESULT CPokkoComm::GetSensor(USHORT connection, ULONG /*flags*/, ISensor_Interface*& sensor)
{
    ISensor_Interface* found = nullptr;
    switch (connection)
    {
    case 1:
        found = GetVoxProSensor();
        break;
    case 2:
        found = GetConductivitySensor();
        break;
    case 3:
        found = GetPressureTempLevelSensor();
        break;
    case 4:
        found = GetpHSensor();
        break;
    case 5:
        found = GetORPSensor();
        break;
    default:
        break;
    }
    if (found == nullptr)
        return E_FAIL;
    sensor = found;
    return S_OK;
}

} // namespace NVSystem
