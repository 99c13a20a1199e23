// The four sensor adapters of the multi-sensor probe, made by the device factory.
#include <new>

#include "models/PHORPSensor.h"
#include "models/SledraComm.h"

namespace NVSystem
{

// An adapter that cannot be allocated leaves its connection without a sensor; the others are made.
void CSledraComm::CreateSensorAdapters()
{
    if (!IsSledra(this))
        return;
    CScopedLock lock(m_DeviceLock);
    CreateFirstSensorAdapters();
    // The pH/ORP sensor takes its temperature from the level sensor.
    if (m_pPhOrpSensor == nullptr)
        m_pPhOrpSensor.reset(new (std::nothrow) CPHORPSensor(this, 4, m_pLevelSensor.get()));
}

} // namespace NVSystem
