#include "models/MultiSensorProbe.h"

#include <new>

#include "models/LevelSensor.h"
#include "models/MK100Sensor.h"
#include "models/VOXSensor.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kTemplateVersionRegister = 47000;
constexpr USHORT kExternalVoltageRegister = 47004;

} // namespace

CMultiSensorProbe::CMultiSensorProbe(const SlaveIdInfo& slaveId, uint32_t classSignature)
    : CDeviceComm(slaveId), m_nClassSignature(classSignature)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
}

CMultiSensorProbe::~CMultiSensorProbe()
{
    ClearClassSignature();
    DeleteFirstSensorAdapters();
}

void CMultiSensorProbe::DeleteFirstSensorAdapters()
{
    m_pVoxSensor.reset();
    m_pConductivitySensor.reset();
    m_pLevelSensor.reset();
}

void CMultiSensorProbe::CreateFirstSensorAdapters()
{
    CScopedLock lock(m_DeviceLock);
    if (m_pVoxSensor == nullptr)
        m_pVoxSensor.reset(new (std::nothrow) CVOXSensor(this, 1));
    if (m_pConductivitySensor == nullptr)
        m_pConductivitySensor.reset(new (std::nothrow) CMK100Sensor(this, 2));
    if (m_pLevelSensor == nullptr)
        m_pLevelSensor.reset(new (std::nothrow) CLevelSensor(this, 3));
}

ISensor_Interface* CMultiSensorProbe::FirstSensorAt(USHORT connection)
{
    switch (connection)
    {
    case 1:
        return GetVoxProSensor();
    case 2:
        return GetConductivitySensor();
    case 3:
        return GetPressureTempLevelSensor();
    default:
        return nullptr;
    }
}

} // namespace NVSystem
