// The multi-sensor probe: downcast and the sensors it holds.
#include "models/SledraComm.h"

namespace NVSystem
{

CSledraComm::~CSledraComm()
{
    ClearClassSignature();
    // The pH/ORP sensor forwards to the level sensor: it goes first.
    m_pPhOrpSensor.reset();
}

CSledraComm* CSledraComm::QuerySledraComm()
{
    if (!IsSledra(this))
        return nullptr;
    AddRef();
    return this;
}

HRESULT CSledraComm::GetSensor(USHORT connection, ULONG /*flags*/, ISensor_Interface*& sensor)
{
    sensor = connection == 4 ? GetpHORPSensor() : FirstSensorAt(connection);
    return sensor != nullptr ? S_OK : E_FAIL;
}

} // namespace NVSystem
