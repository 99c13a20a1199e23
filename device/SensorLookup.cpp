// Questions about the sensor connections: which record serves a connection, the connection records,
// the listed connections, the connection of a kind of sensor, and the device's sensor interface.
#include "device/DeviceComm.h"
#include "device/SensorCache.h"
#include "device/SensorCtrl.h"

namespace NVSystem
{

namespace
{

// Device types whose instrument class carries one built-in sensor interface.
bool HasBuiltInSensor(USHORT deviceType)
{
    switch (deviceType)
    {
    case 0x8000:
    case 0x8001:
    case 0x8002:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 15:
    case 16:
    case 17:
    case 19:
    case 20:
    case 24:
    case 30:
    case 31:
    case 35:
    case 36:
    case 37:
        return true;
    default:
        return false;
    }
}

// Device types with several sensor connections, whose classes hand out their own interfaces.
bool HasSensorAdapters(USHORT deviceType)
{
    switch (deviceType)
    {
    case 7:
    case 18:
    case 21:
    case 26:
    case 33:
    case 34:
    case 39:
        return true;
    default:
        return false;
    }
}

bool IsConnectionNumber(USHORT connection)
{
    return connection >= 1 && connection <= SENSOR_MAX_CONNECTIONS;
}

} // namespace

HRESULT CDeviceComm::FindSensorAtConnection(USHORT connection, CSensorCtrl*& sensor)
{
    sensor = nullptr;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       if (!IsConnectionNumber(connection))
                           return MODBUSCOMM_E_INVALID_SENSOR_PORT;
                       if (const HRESULT hr = EnsureSensorCache(); Failed(hr))
                           return hr;
                       const CDynArray<CSensorCtrl*>& sensors = m_pSensorCache->m_Sensors;
                       for (uint32_t i = 0; i < sensors.GetCount(); ++i)
                       {
                           CSensorCtrl* candidate = sensors[i];
                           USHORT number = 0;
                           if (candidate == nullptr || !candidate->IsTagged() ||
                               Failed(candidate->GetConnectionNumber(number)))
                               continue;
                           if (number == connection)
                           {
                               sensor = candidate;
                               return S_OK;
                           }
                       }
                       return MODBUSCOMM_E_INVALID_SENSOR_PORT;
                   });
}

HRESULT CDeviceComm::FindSensorAtConnection(USHORT connection, CLockedSensor& sensor)
{
    sensor.Reset();
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    // Taken once more than the lookup takes it, and handed to the caller's object with the record.
    m_DeviceLock.Lock();
    CSensorCtrl* record = nullptr;
    HRESULT hr = FindSensorAtConnection(connection, record);
    if (Succeeded(hr) && record == nullptr)
        hr = NoSensorRecord();
    if (Failed(hr))
    {
        m_DeviceLock.Unlock();
        return hr;
    }
    sensor.Hold(m_DeviceLock, record);
    return hr;
}

HRESULT CDeviceComm::NoSensorRecord()
{
    Trace(TRACE_LEVEL1) << u"Unable to find sensor at specified connection" << TRACE_END;
    return MODBUSCOMM_E_INVALID_INDEX;
}

HRESULT CDeviceComm::GetSensorConnectionInfo(USHORT connection, SensorConnectionInfo& info)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       if (!IsConnectionNumber(connection))
                           return MODBUSCOMM_E_INVALID_SENSOR_PORT;
                       if (const HRESULT hr = EnsureSensorCache(); Failed(hr))
                           return hr;
                       // A connection the table does not list has no record, not another one's.
                       if (connection > m_pSensorCache->m_Connections.GetCount())
                           return MODBUSCOMM_E_INVALID_SENSOR_PORT;
                       info = m_pSensorCache->m_Connections[connection - 1u];
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetSensorCount(USHORT& count)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       if (const HRESULT hr = EnsureSensorCache(); Failed(hr))
                           return hr;
                       count = static_cast<USHORT>(m_pSensorCache->m_Sensors.GetCount());
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetActiveSensorPortMask(ULONG& mask)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       if (const HRESULT hr = EnsureSensorCache(); Failed(hr))
                           return hr;
                       mask = m_pSensorCache->m_nActiveMask;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetActiveSensorPorts(CDynArray<USHORT>& ports, BOOL /*unused*/)
{
    ports.RemoveAll();
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       ULONG mask = 0;
                       if (const HRESULT hr = GetActiveSensorPortMask(mask); Failed(hr))
                           return hr;
                       for (USHORT bit = 0; bit < SENSOR_MAX_CONNECTIONS; ++bit)
                       {
                           if ((mask >> bit & 1u) != 0 && ports.Add(static_cast<USHORT>(bit + 1)) < 0)
                               return E_OUTOFMEMORY;
                       }
                       Trace(TRACE_LEVEL3)
                           << u" - read active sensor ports: " << ports.GetCount() << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetSensorPort(USHORT& connection, const USHORT* sensorIds, int count)
{
    if (IsTagged())
        Trace(TRACE_LEVEL3) << u" - get sensor port: " << TRACE_END;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       if (sensorIds == nullptr && count > 0)
                           return E_POINTER;
                       if (const HRESULT hr = EnsureSensorCache(); Failed(hr))
                           return hr;
                       const CDynArray<CSensorCtrl*>& sensors = m_pSensorCache->m_Sensors;
                       for (uint32_t i = 0; i < sensors.GetCount(); ++i)
                       {
                           CSensorCtrl* sensor = sensors[i];
                           if (sensor == nullptr)
                               continue;
                           USHORT sensorId = 0;
                           if (const HRESULT hr = sensor->GetSensorId(sensorId); Failed(hr))
                               return hr;
                           for (int k = 0; k < count; ++k)
                           {
                               if (sensorIds[k] != sensorId)
                                   continue;
                               Trace(TRACE_LEVEL3)
                                   << u" - get sensor port sensor ID " << sensorId << TRACE_END;
                               return sensor->GetConnectionNumber(connection);
                           }
                       }
                       return MODBUSCOMM_E_SENSOR_ID_NOT_FOUND;
                   });
}

HRESULT CDeviceComm::GetSensor(USHORT /*connection*/, ULONG /*flags*/, ISensor_Interface*& sensor)
{
    sensor = nullptr;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       const USHORT deviceType = m_SlaveId.DeviceTypeId;
                       if (HasBuiltInSensor(deviceType))
                       {
                           sensor = m_pBuiltInSensor;
                           return S_OK;
                       }
                       if (HasSensorAdapters(deviceType))
                           return S_OK;
                       return MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN;
                   });
}

} // namespace NVSystem
