// The state of the probe's sensing cap, worked out as the optical-DO sensor adapter works it out.
#include <memory>
#include <new>

#include "models/VOXSensor.h"
#include "models/VoxProComm.h"

namespace NVSystem
{

std::unique_ptr<CVOXSensor> CVoxProComm::NewStatusSensor()
{
    return std::unique_ptr<CVOXSensor>(new (std::nothrow) CVOXSensor(this, VOXPRO_CONNECTION));
}

HRESULT CVoxProComm::GetSensorStatus(ULONG& status)
{
    const std::unique_ptr<CVOXSensor> sensor = NewStatusSensor();
    // Without the temporary sensor there is no status: a failure, not a success with the status
    // left unwritten.
    if (sensor == nullptr)
        return E_OUTOFMEMORY;
    return sensor->GetSensorStatus(status);
}

} // namespace NVSystem
