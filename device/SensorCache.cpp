// Building and dropping the device's sensor cache from the instrument's connection table.
#include "device/SensorCache.h"

#include <new>
#include <utility>

#include "device/DeviceComm.h"
#include "device/SensorCtrl.h"
#include "foundation/BufferReader.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kSummaryRegisters = 3; // N and the u32 mask

} // namespace

void SensorCache::Clear()
{
    m_bBuilt = FALSE;
    m_nConnectionCount = 0;
    m_nActiveMask = 0;
    m_Connections.RemoveAll();
    for (uint32_t i = 0; i < m_Sensors.GetCount(); ++i)
        delete m_Sensors[i];
    m_Sensors.RemoveAll();
}

void CLockedSensor::Hold(platform::CCriticalSection& lock, CSensorCtrl* sensor)
{
    Reset();
    m_pLock = &lock;
    m_pSensor = sensor;
}

void CLockedSensor::Reset()
{
    m_pSensor = nullptr;
    if (m_pLock != nullptr)
        std::exchange(m_pLock, nullptr)->Unlock();
}

HRESULT CDeviceComm::BuildSensorCache()
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       Trace(TRACE_LEVEL1) << u" Starting build of sensor cache" << TRACE_END;
                       if (m_pSensorCache == nullptr)
                           m_pSensorCache = new SensorCache;
                       SensorCache& cache = *m_pSensorCache;
                       cache.Clear();

                       CModbusComm& network = Network();
                       CByteBuffer summary;
                       HRESULT hr =
                           network.ReadRegisters(Address(), m_RegisterMap.SensorCount, kSummaryRegisters,
                                                 summary, m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u" - failed to read the reserved register block(3) - "
                                               << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       // The table's u32 is high word first whatever the line's word order.
                       CBufferReader summaryReader(summary);
                       summaryReader.m_bHighWordFirst = TRUE;
                       USHORT count = 0;
                       ULONG mask = 0;
                       hr = summaryReader.ReadUShort(count);
                       if (Succeeded(hr))
                           hr = summaryReader.ReadULong(mask);
                       if (Failed(hr))
                           return hr;
                       if (count > SENSOR_MAX_CONNECTIONS)
                       {
                           Trace(TRACE_LEVEL1) << u" - max sensor count exceeds limit of 32" << TRACE_END;
                           return MODBUSCOMM_E_INVALID_SENSOR_PORT;
                       }

                       CDynArray<sRegisterBlock> ranges;
                       if (!ranges.SetSize(uint32_t{SENSOR_CONNECTION_REGISTERS} * count))
                           return E_OUTOFMEMORY;
                       for (uint32_t i = 0; i < ranges.GetCount(); ++i)
                           ranges[i] = {static_cast<USHORT>(REG_SENSOR_CONNECTIONS + i), 1};
                       CByteBuffer table;
                       hr = network.ReadRegisterBlocks(Address(), table, m_nReadTimeout, m_nRetryCount,
                                                       m_SlaveId.MaxPacketSize, ranges);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to read the reserved register block - sensor connections - "
                               << TraceHr(hr) << TRACE_END;
                           return hr;
                       }

                       cache.m_nConnectionCount = count;
                       cache.m_nActiveMask = mask;
                       CBufferReader reader(table);
                       for (USHORT k = 1; k <= count; ++k)
                       {
                           SensorConnectionInfo info;
                           info.DeviceTypeId = m_SlaveId.DeviceTypeId;
                           info.Connection = k;
                           info.DeviceSerialNumber = m_SlaveId.SerialNumber;
                           info.Register1 = SensorConnectionRegister(k, 1);
                           info.CommandRegister = SensorConnectionRegister(k, 2);
                           USHORT ignored = 0;
                           USHORT offset = 0;
                           hr = reader.ReadUShort(info.Word0);
                           if (Succeeded(hr))
                               hr = reader.ReadUShort(ignored);
                           if (Succeeded(hr))
                               hr = reader.ReadUShort(ignored);
                           if (Succeeded(hr))
                               hr = reader.ReadUShort(info.Word3);
                           if (Succeeded(hr))
                               hr = reader.ReadUShort(offset);
                           if (Failed(hr))
                               return hr;
                           // An offset that wraps the sum lands below the holding registers, where attaching
                           // refuses it.
                           info.SensorBase = static_cast<USHORT>(offset + SENSOR_REGISTER_OFFSET_BASE);
                           if (cache.m_Connections.Add(info) < 0)
                               return E_OUTOFMEMORY;
                       }
                       cache.m_bBuilt = TRUE;

                       bool lastFailed = false;
                       for (USHORT k = 1; k <= count; ++k)
                       {
                           if ((mask >> (k - 1) & 1u) == 0)
                               continue;
                           CSensorCtrl* sensor = new (std::nothrow) CSensorCtrl;
                           if (sensor == nullptr)
                           {
                               lastFailed = true;
                               break;
                           }
                           hr = sensor->Attach(this, cache.m_Connections[k - 1u], &network, &m_DeviceLock,
                                               m_Trace);
                           if (Failed(hr))
                           {
                               Trace(TRACE_LEVEL1) << u" - failed to attach device to sensor at connection#: "
                                                   << k << u" hr: " << TraceHr(hr) << TRACE_END;
                               delete sensor;
                               lastFailed = true;
                               continue;
                           }
                           if (cache.m_Sensors.Add(sensor) < 0)
                           {
                               delete sensor;
                               lastFailed = true;
                               break;
                           }
                           lastFailed = false;
                       }
                       Trace(TRACE_LEVEL1) << (lastFailed ? u" Sensor cache initialization failed"
                                                          : u" Sensor cache initialized")
                                           << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::EnsureSensorCache()
{
    if (m_pSensorCache != nullptr && m_pSensorCache->m_bBuilt)
        return S_OK;
    return BuildSensorCache();
}

void CDeviceComm::DeleteSensorCache()
{
    delete std::exchange(m_pSensorCache, nullptr);
}

void CDeviceComm::CopyTraceToSensors()
{
    if (m_pSensorCache == nullptr || !m_pSensorCache->m_bBuilt)
        return;
    for (uint32_t i = 0; i < m_pSensorCache->m_Sensors.GetCount(); ++i)
    {
        CSensorCtrl* sensor = m_pSensorCache->m_Sensors[i];
        if (sensor != nullptr && sensor->IsTagged())
            sensor->CopyTrace(m_Trace);
    }
}

void CDeviceComm::RereadSensorRecords()
{
    if (m_pSensorCache == nullptr)
        return;
    for (uint32_t i = 0; i < m_pSensorCache->m_Sensors.GetCount(); ++i)
    {
        CSensorCtrl* sensor = m_pSensorCache->m_Sensors[i];
        if (sensor == nullptr || !sensor->IsTagged())
            continue;
        sensor->ReadSensorHeader();
        sensor->ReadSensorParameterBlocks(SENSOR_BLOCKS_DESCRIPTIONS);
    }
}

} // namespace NVSystem
