// The sensor record's life, its binding to the device, the header and the cached header values.
#include "device/SensorCtrl.h"

#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"
#include "foundation/NameLookups.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kUnusableAddress = 255;
constexpr USHORT kMaxPacketAsked = 1024;
constexpr uint32_t kHeaderBytes = 2u * SENSOR_HEADER_REGISTERS;
constexpr USHORT kLastUserCalOffset = 10;

// (offset, registers) of the header fields in register order.
constexpr sRegisterBlock kHeaderFields[] = {
    {0, 1},  {1, 2},  {3, 1},  {4, 3},  {7, 3},  {10, 3}, {13, 3}, {16, 1}, {17, 1}, {18, 1},
    {19, 1}, {20, 1}, {21, 2}, {23, 2}, {25, 2}, {27, 2}, {29, 2}, {31, 2}, {33, 2}, {35, 2},
};

} // namespace

CSensorCtrl::~CSensorCtrl()
{
    if (m_pNetwork != nullptr)
        m_pNetwork->Release();
    m_pNetwork = nullptr;
    m_pDevice = nullptr;
    m_nSignature = 0;
    m_bHeaderValid = FALSE;
    m_bBlocksValid = FALSE;
    m_bLastUserCalStale = FALSE;
    m_Trace.Close();
    m_Info.Clear();
}

HRESULT CSensorCtrl::Attach(CDeviceComm* device, const SensorConnectionInfo& connection, CModbusComm* network,
                            platform::CCriticalSection* deviceLock, const CTraceLog& trace)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_SENSOR_THIS;
    if (device == nullptr || network == nullptr)
        return E_POINTER;
    if (connection.Connection < 1 || connection.Connection > SENSOR_MAX_CONNECTIONS)
        return MODBUSCOMM_E_INVALID_SENSOR_PORT;
    // A base outside the holding registers would send every read of the sensor somewhere else.
    if (!SensorWindowHolds(connection.SensorBase, SENSOR_HEADER_REGISTERS))
        return MODBUSCOMM_E_INVALID_SENSOR_PORT;
    // Only a linked device whose instrument is still the one it was created for gets a record.
    USHORT deviceTypeId = 0;
    if (const HRESULT hr = device->GetDeviceTypeId(deviceTypeId); Failed(hr))
        return hr;

    m_pDevice = device;
    m_pDeviceLock = deviceLock;
    m_pNetwork = network;
    m_pNetwork->AddRef();
    m_Trace = trace;
    m_Connection = connection;
    m_bHeaderValid = FALSE;
    m_bBlocksValid = FALSE;
    m_Info.Clear();
    Trace(TRACE_LEVEL1) << u" - attached to device: " << Address() << TRACE_END;
    return S_OK;
}

void CSensorCtrl::CopyTrace(const CTraceLog& trace)
{
    if (!IsTagged())
        return;
    try
    {
        m_Trace = trace;
    }
    catch (...)
    {
        // The record keeps tracing where it did.
    }
}

bool CSensorCtrl::IsAttached() const
{
    return m_pDevice != nullptr && m_pDevice->IsTagged() && m_pNetwork != nullptr && m_pNetwork->IsTagged();
}

USHORT CSensorCtrl::Address() const
{
    if (m_pDevice == nullptr || m_pNetwork == nullptr)
        return kUnusableAddress;
    return m_pDevice->GetAddress();
}

USHORT CSensorCtrl::Retries() const
{
    return m_pDevice != nullptr ? m_pDevice->GetRetryCount() : 0;
}

BOOL CSensorCtrl::HighWordFirst() const
{
    return m_pNetwork != nullptr && m_pNetwork->m_bHighWordFirst.load() != 0 ? TRUE : FALSE;
}

CTraceLog& CSensorCtrl::Trace(TraceCtrl level)
{
    return m_Trace << level << u"Device: " << Address() << u" Connection: " << m_Connection.Connection;
}

HRESULT CSensorCtrl::ReadRanges(const CDynArray<sRegisterBlock>& ranges, ULONG timeoutMs, CByteBuffer& data)
{
    if (!IsAttached())
        return MODBUSCOMM_E_NO_CONNECTION;
    USHORT maxPacket = kMaxPacketAsked;
    if (const HRESULT hr = m_pDevice->GetMaxPacketSize(maxPacket); Failed(hr))
        return hr;
    return m_pNetwork->ReadRegisterBlocks(Address(), data, timeoutMs, Retries(), maxPacket, ranges);
}

BOOL CSensorCtrl::BuildHeaderRanges(USHORT base, CDynArray<sRegisterBlock>& ranges)
{
    constexpr uint32_t count = sizeof(kHeaderFields) / sizeof(kHeaderFields[0]);
    if (!ranges.SetSize(count))
        return FALSE;
    for (uint32_t i = 0; i < count; ++i)
        ranges[i] = {static_cast<USHORT>(base + kHeaderFields[i].Register), kHeaderFields[i].Count};
    return TRUE;
}

BOOL CSensorCtrl::BuildParameterBlockRanges(USHORT blockRegister, BOOL withValue,
                                            CDynArray<sRegisterBlock>& ranges)
{
    static constexpr sRegisterBlock kFields[] = {{0, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {7, 1}};
    const uint32_t first = withValue ? 0 : 1;
    constexpr uint32_t fields = sizeof(kFields) / sizeof(kFields[0]);
    const uint32_t start = ranges.GetCount();
    if (!ranges.SetSize(start + fields - first))
        return FALSE;
    for (uint32_t i = first; i < fields; ++i)
        ranges[start + i - first] = {static_cast<USHORT>(blockRegister + kFields[i].Register),
                                     kFields[i].Count};
    return TRUE;
}

HRESULT CSensorCtrl::ReadSensorHeader()
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   m_Info.Clear();
                   m_bHeaderValid = FALSE;
                   m_bBlocksValid = FALSE;
                   if (!SensorWindowHolds(m_Connection.SensorBase, SENSOR_HEADER_REGISTERS))
                       return MODBUSCOMM_E_INVALID_SENSOR_PORT;

                   CDynArray<sRegisterBlock> ranges;
                   if (!BuildHeaderRanges(m_Connection.SensorBase, ranges))
                       return E_OUTOFMEMORY;
                   CByteBuffer data;
                   HRESULT hr = ReadRanges(ranges, GetReadRegisterTimeout(), data);
                   // A reply of other than the registers asked, refused by the network, is a
                   // header of the wrong size.
                   if (hr == MODBUSCOMM_E_INVALID_RESPONSE_LENGTH ||
                       (Succeeded(hr) && data.GetLength() != kHeaderBytes))
                       return MODBUSCOMM_E_INVALID_SENSOR_HEADER_SIZE;
                   if (Failed(hr))
                   {
                       m_Trace << TRACE_LEVEL1 << u"Failed to read sensor header registers - port: "
                               << m_Connection.Connection << TRACE_END;
                       return hr;
                   }

                   m_Info.Address = Address();
                   m_Info.DeviceTypeId = m_Connection.DeviceTypeId;
                   m_Info.Connection = m_Connection.Connection;
                   m_Info.DeviceSerialNumber = m_Connection.DeviceSerialNumber;
                   CBufferReader reader(data);
                   reader.m_bHighWordFirst = HighWordFirst();
                   hr = DecodeSensorHeader(reader, m_Info);
                   if (Failed(hr))
                   {
                       m_Info.Clear();
                       return hr;
                   }
                   m_bHeaderValid = TRUE;
                   return S_OK;
               });
}

HRESULT CSensorCtrl::PrepareHeader()
{
    return m_bHeaderValid ? S_OK : ReadSensorHeader();
}

HRESULT CSensorCtrl::GetSensorId(USHORT& sensorId)
{
    return FromHeader(
        [&]
        {
            sensorId = m_Info.SensorId;
            Trace(TRACE_LEVEL3) << u" - sensor id read from cache: " << GetSensorTypeName(sensorId)
                                << TRACE_END;
        });
}

HRESULT CSensorCtrl::GetSerialNumber(ULONG& serialNumber)
{
    return FromHeader(
        [&]
        {
            serialNumber = m_Info.SerialNumber;
            Trace(TRACE_LEVEL3) << u" - read cached sensor serial#: " << serialNumber << TRACE_END;
        });
}

HRESULT CSensorCtrl::GetWarmupTime(ULONG& ms)
{
    ms = 0xFFFFFFFFu;
    return FromHeader(
        [&]
        {
            ms = m_Info.WarmupTime;
            Trace(TRACE_LEVEL3) << u" - get cached warmup time: " << ms << TRACE_END;
        });
}

HRESULT CSensorCtrl::GetFastestSampleRate(ULONG& ms)
{
    ms = 0;
    return FromHeader(
        [&]
        {
            ms = m_Info.FastestSampleRate;
            Trace(TRACE_LEVEL3) << u" - get cached fastest sample rate :" << ms << TRACE_END;
        });
}

HRESULT CSensorCtrl::GetNextFactoryCalDate(CDeviceTimestamp& date)
{
    return FromHeader(
        [&]
        {
            date = m_Info.NextFactoryCalDate;
            Trace(TRACE_LEVEL3) << u" - get cached next factory cal date: " << date.Format() << TRACE_END;
        });
}

HRESULT CSensorCtrl::GetLastUserCalDate(CDeviceTimestamp& date)
{
    return Run(
        CHECK_ATTACHED,
        [&]
        {
            if (const HRESULT hr = PrepareHeader(); Failed(hr))
                return hr;
            if (!m_bLastUserCalStale)
            {
                date = m_Info.LastUserCalDate;
                Trace(TRACE_LEVEL3) << u" - last user cal date from cache:" << date.Format() << TRACE_END;
                return S_OK;
            }
            const HRESULT hr = m_pNetwork->ReadTime(Address(), OffsetRegister(kLastUserCalOffset), date,
                                                    GetReadRegisterTimeout(), Retries());
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to read last user cal date - " << TraceHr(hr) << TRACE_END;
                return hr;
            }
            m_Info.LastUserCalDate = date;
            m_bLastUserCalStale = FALSE;
            Trace(TRACE_LEVEL3) << u" - read cached last user cal date: " << date.Format() << TRACE_END;
            return hr;
        });
}

HRESULT CSensorCtrl::GetConnectionNumber(USHORT& connection)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_SENSOR_THIS;
    try
    {
        if (!IsAttached())
            return MODBUSCOMM_E_NO_CONNECTION;
        connection = m_Connection.Connection;
        Trace(TRACE_LEVEL3) << u" read connection# from cache" << TRACE_END;
        return S_OK;
    }
    catch (...)
    {
        return MODBUSCOMM_E_INVALID_SENSOR_CTRL;
    }
}

} // namespace NVSystem
