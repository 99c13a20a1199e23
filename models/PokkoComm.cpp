// The handheld: downcast and the sensors it holds.
#include "models/PokkoComm.h"

#include <new>

#include "models/ORPSensor.h"
#include "models/PHSensor.h"

namespace NVSystem
{

CPokkoComm::~CPokkoComm()
{
    ClearClassSignature();
    // Connections 1 to 5 in order.
    DeleteFirstSensorAdapters();
    m_pPhSensor.reset();
    m_pOrpSensor.reset();
}

void CPokkoComm::CreateSensorAdapters()
{
    if (!IsPokko(this))
        return;
    CScopedLock lock(m_DeviceLock);
    CreateFirstSensorAdapters();
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

HRESULT CPokkoComm::GetSensor(USHORT connection, ULONG /*flags*/, ISensor_Interface*& sensor)
{
    ISensor_Interface* found = connection == 4   ? GetpHSensor()
                               : connection == 5 ? GetORPSensor()
                                                 : FirstSensorAt(connection);
    if (found == nullptr)
        return E_FAIL;
    sensor = found;
    return S_OK;
}

} // namespace NVSystem
