// The four sensor adapters of the multi-sensor probe, made by the device factory.
#include <new>

#include "models/LevelSensor.h"
#include "models/MK100Sensor.h"
#include "models/PHORPSensor.h"
#include "models/SledraComm.h"
#include "models/VOXSensor.h"

namespace NVSystem
{

// An adapter that cannot be allocated leaves its connection without a sensor; the others are made.
void CSledraComm::CreateSensorAdapters()
{
    if (!IsSledra(this))
        return;
    CScopedLock lock(m_DeviceLock);
    if (m_pVoxSensor == nullptr)
        m_pVoxSensor.reset(new (std::nothrow) CVOXSensor(this, 1));
    if (m_pConductivitySensor == nullptr)
        m_pConductivitySensor.reset(new (std::nothrow) CMK100Sensor(this, 2));
    if (m_pLevelSensor == nullptr)
        m_pLevelSensor.reset(new (std::nothrow) CLevelSensor(this, 3));
    // The pH/ORP sensor takes its temperature from the level sensor.
    if (m_pPhOrpSensor == nullptr)
        m_pPhOrpSensor.reset(new (std::nothrow) CPHORPSensor(this, 4, m_pLevelSensor.get()));
}

} // namespace NVSystem
