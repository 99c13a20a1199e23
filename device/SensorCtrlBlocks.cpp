// The sensor record's parameter blocks: refreshing one reading or all of them, the time-out a read
// with values needs, the live value, the cached block fields and the unit and sentinel writes.
#include <algorithm>

#include "device/DeviceComm.h"
#include "device/SensorCtrl.h"
#include "foundation/CommTimeouts.h"
#include "foundation/NameLookups.h"

namespace NVSystem
{

namespace
{

constexpr uint32_t kBlockBytes = 16;
constexpr uint32_t kDescriptionBytes = 12;
// Sensors of the first device types sample at a fixed pace whatever their header says.
constexpr USHORT kLastEarlyDeviceType = 4;
constexpr ULONG kEarlyDeviceSampleTime = 1000;
constexpr uint32_t kUnitIdField = 3;
constexpr uint32_t kSentinelField = 5;

// What a reading shows after a refresh that failed: no value, only the sentinel.
void Invalidate(sParameterReading& reading)
{
    reading.Value = reading.Sentinel;
    reading.Status = E_FAIL;
    reading.ReadingTime = DEVICE_TIME_MIN;
}

} // namespace

HRESULT CSensorCtrl::CheckParameter(USHORT parameter) const
{
    if (parameter < 1 || parameter > m_Info.ParameterCount)
        return MODBUSCOMM_E_INVALID_PARAMETER_NUMBER;
    // The device's parameter count is not trusted to keep the block inside the holding registers.
    if (!SensorWindowHolds(SensorParameterBlockRegister(m_Connection.SensorBase, parameter),
                           SENSOR_PARAMETER_BLOCK_REGISTERS))
        return MODBUSCOMM_E_INVALID_PARAMETER_NUMBER;
    return S_OK;
}

HRESULT CSensorCtrl::PrepareParameter(USHORT parameter)
{
    if (!m_bBlocksValid)
    {
        if (const HRESULT hr = ReadSensorParameterBlocks(SENSOR_BLOCKS_DESCRIPTIONS); Failed(hr))
            return hr;
    }
    if (const HRESULT hr = CheckParameter(parameter); Failed(hr))
        return hr;
    if (parameter > m_Info.Parameters.GetCount())
        return MODBUSCOMM_E_INVALID_PARAMETER_NUMBER;
    return S_OK;
}

bool CSensorCtrl::IsEarlyDeviceType() const
{
    USHORT deviceTypeId = 0;
    return m_pDevice != nullptr && Succeeded(m_pDevice->GetDeviceTypeId(deviceTypeId)) &&
           deviceTypeId <= kLastEarlyDeviceType;
}

ULONG CSensorCtrl::SampleTime() const
{
    return IsEarlyDeviceType() ? kEarlyDeviceSampleTime : ULONG{m_Info.WarmupTime} + m_Info.FastestSampleRate;
}

ULONG CSensorCtrl::SingleBlockTimeout() const
{
    return std::max<ULONG>(SampleTime(), GetReadRegisterTimeout());
}

ULONG CSensorCtrl::AllBlocksTimeout() const
{
    ULONG sampleTime = SampleTime();
    // Without its measurement cache the instrument measures every parameter of the request in turn,
    // whatever pace its type otherwise keeps.
    USHORT version = 0;
    USHORT cacheTimeout = 1;
    if (Succeeded(m_pDevice->GetRegisterMapVersion(version)) && version >= 3 &&
        Succeeded(m_pDevice->GetMeasurementCacheTimeout(cacheTimeout)) && cacheTimeout == 0)
        sampleTime = ULONG{m_Info.FastestSampleRate} * m_Info.ParameterCount + ULONG{m_Info.WarmupTime};
    return std::max(sampleTime, GetReadRegisterTimeout());
}

HRESULT CSensorCtrl::DecodeParameterBlock(USHORT parameter, CBufferReader& reader, sParameterReading& reading)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_SENSOR_THIS;
    reading.DeviceTypeId = m_Info.DeviceTypeId;
    reading.Connection = m_Info.Connection;
    reading.SensorId = m_Info.SensorId;
    reading.ParameterNumber = parameter;
    reading.DeviceSerialNumber = m_Info.DeviceSerialNumber;
    reading.SerialNumber = m_Info.SerialNumber;
    reading.Value = 0.0f;
    return ::DecodeParameterBlock(reader, reading);
}

HRESULT CSensorCtrl::ReadParameterBlock(USHORT parameter, BOOL withValue)
{
    return Run(CHECK_SIGNATURE,
               [&]
               {
                   if (const HRESULT hr = CheckParameter(parameter); Failed(hr))
                       return hr;
                   const auto block =
                       static_cast<USHORT>(SensorParameterBlockRegister(m_Connection.SensorBase, parameter));
                   if (const int index = m_Info.FindParameter(parameter); index >= 0)
                       Invalidate(m_Info.Parameters[static_cast<uint32_t>(index)]);

                   CDynArray<sRegisterBlock> ranges;
                   if (!BuildParameterBlockRanges(block, withValue, ranges))
                       return E_OUTOFMEMORY;
                   CByteBuffer data;
                   HRESULT hr =
                       ReadRanges(ranges, withValue ? SingleBlockTimeout() : GetReadRegisterTimeout(), data);
                   // A reply of other than the registers asked, refused by the network, is a block
                   // of the wrong size.
                   if (hr == MODBUSCOMM_E_INVALID_RESPONSE_LENGTH)
                       return MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE;
                   if (Failed(hr))
                   {
                       m_Trace << TRACE_LEVEL1 << u"Failed to read parameter blk for sensor - connection: "
                               << m_Connection.Connection << u" Parameter: " << parameter << TRACE_END;
                       return hr;
                   }
                   SYSTEMTIME now;
                   ::GetSystemTime(now);
                   if (data.GetLength() != (withValue ? kBlockBytes : kDescriptionBytes))
                       return MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE;
                   if (!withValue)
                   {
                       // The description form decodes as a block whose value is 0.0.
                       static constexpr BYTE kNoValue[4] = {};
                       CByteBuffer block16;
                       if (!block16.Append(sizeof(kNoValue), kNoValue) ||
                           !block16.Append(data.GetLength(), data.GetData()))
                           return E_OUTOFMEMORY;
                       data = block16;
                   }

                   CBufferReader reader(data);
                   reader.m_bHighWordFirst = HighWordFirst();
                   sParameterReading reading;
                   hr = DecodeParameterBlock(parameter, reader, reading);
                   if (Failed(hr))
                       return hr;
                   reading.Address = m_pDevice->GetAddress();
                   reading.ReadingTime = now;
                   reading.Status = hr;
                   if (m_Info.Parameters.GetCount() < parameter && !m_Info.Parameters.SetSize(parameter))
                       return E_OUTOFMEMORY;
                   m_Info.Parameters[parameter - 1u] = reading;
                   return hr;
               });
}

HRESULT CSensorCtrl::ReadSensorParameterBlocks(ULONG mode)
{
    return Run(CHECK_ATTACHED,
               [&]
               {
                   m_bBlocksValid = FALSE;
                   m_bBlocksMeasured = FALSE;
                   m_Info.Parameters.RemoveAll();
                   if (const HRESULT hr = PrepareHeader(); Failed(hr))
                       return hr;
                   const USHORT count = m_Info.ParameterCount;
                   // Blocks run upwards: when the last one fits the window, all do.
                   if (count > 0)
                   {
                       if (const HRESULT hr = CheckParameter(count); Failed(hr))
                           return hr;
                   }
                   if (mode == SENSOR_BLOCKS_DESCRIPTIONS)
                   {
                       for (USHORT n = 1; n <= count; ++n)
                       {
                           if (const HRESULT hr = ReadParameterBlock(n, FALSE); Failed(hr))
                               return hr;
                       }
                       m_bBlocksValid = TRUE;
                       return S_OK;
                   }

                   CDynArray<sRegisterBlock> ranges;
                   for (USHORT n = 1; n <= count; ++n)
                   {
                       const auto block =
                           static_cast<USHORT>(SensorParameterBlockRegister(m_Connection.SensorBase, n));
                       if (!BuildParameterBlockRanges(block, TRUE, ranges))
                           return E_OUTOFMEMORY;
                   }
                   CByteBuffer data;
                   HRESULT hr = ReadRanges(ranges, AllBlocksTimeout(), data);
                   if (hr == MODBUSCOMM_E_INVALID_RESPONSE_LENGTH)
                       return MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE;
                   if (Failed(hr))
                   {
                       m_Trace << TRACE_LEVEL1
                               << u"Failed to read complete parameter blk for sensor - connection: "
                               << m_Connection.Connection << TRACE_END;
                       return hr;
                   }
                   if (data.GetLength() != kBlockBytes * count)
                       return MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE;
                   SYSTEMTIME now;
                   ::GetSystemTime(now);
                   CBufferReader reader(data);
                   reader.m_bHighWordFirst = HighWordFirst();
                   for (USHORT n = 1; n <= count; ++n)
                   {
                       sParameterReading reading;
                       hr = DecodeParameterBlock(n, reader, reading);
                       if (Failed(hr))
                           return hr;
                       reading.Address = m_pDevice->GetAddress();
                       reading.ReadingTime = now;
                       reading.Status = hr;
                       if (m_Info.Parameters.Add(reading) < 0)
                           return E_OUTOFMEMORY;
                   }
                   m_bBlocksValid = TRUE;
                   m_bBlocksMeasured = TRUE;
                   return S_OK;
               });
}

HRESULT CSensorCtrl::GetParameterValue(USHORT parameter, float& value, USHORT& quality, USHORT& unitId,
                                       BOOL cachedOnly)
{
    return Run(CHECK_ATTACHED,
               [&]
               {
                   HRESULT result = S_OK;
                   if (!m_bBlocksValid)
                   {
                       result = ReadSensorParameterBlocks(SENSOR_BLOCKS_DESCRIPTIONS);
                       if (Failed(result))
                           return result;
                   }
                   if (const HRESULT hr = CheckParameter(parameter); Failed(hr))
                       return hr;
                   value = 0.0f;
                   quality = SENSOR_QUALITY_NONE;
                   if (parameter > m_Info.Parameters.GetCount())
                       return MODBUSCOMM_E_INVALID_PARAMETER_NUMBER;
                   if (!cachedOnly)
                   {
                       if (const HRESULT hr = ReadParameterBlock(parameter, TRUE); Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u"- failed to update cached sensor value - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                   }
                   const sParameterReading& reading = m_Info.Parameters[parameter - 1u];
                   value = reading.Value;
                   quality = reading.Quality;
                   unitId = reading.UnitId;
                   Trace(TRACE_LEVEL3) << u" Param#:" << parameter << (cachedOnly ? u"Val(cached):" : u"Val:")
                                       << value << u" Qual: " << FormatReadingQuality(quality) << u" UnitId: "
                                       << GetUnitAbbreviation(unitId) << TRACE_END;
                   return result;
               });
}

HRESULT CSensorCtrl::GetParameterId(USHORT parameter, USHORT& parameterId)
{
    return FromParameter(parameter,
                         [&](const sParameterReading& reading)
                         {
                             parameterId = reading.ParameterId;
                             Trace(TRACE_LEVEL3) << u" read parameter id from cache - "
                                                 << GetParameterIdName(parameterId) << TRACE_END;
                         });
}

HRESULT CSensorCtrl::GetParameterUnitId(USHORT parameter, USHORT& unitId)
{
    return FromParameter(parameter,
                         [&](const sParameterReading& reading)
                         {
                             unitId = reading.UnitId;
                             Trace(TRACE_LEVEL3)
                                 << u" Unit id from cache: " << GetUnitAbbreviation(unitId) << TRACE_END;
                         });
}

HRESULT CSensorCtrl::GetParameterSentinel(USHORT parameter, float& sentinel)
{
    return FromParameter(parameter,
                         [&](const sParameterReading& reading)
                         {
                             sentinel = reading.Sentinel;
                             Trace(TRACE_LEVEL3)
                                 << u" - sentinal value from cache: " << sentinel << TRACE_END;
                         });
}

HRESULT CSensorCtrl::SetParameterUnitId(USHORT parameter, USHORT unitId)
{
    return Run(CHECK_ATTACHED,
               [&]
               {
                   if (const HRESULT hr = PrepareParameter(parameter); Failed(hr))
                       return hr;
                   if (m_Info.Parameters[parameter - 1u].UnitId == unitId)
                       return S_OK;
                   const auto reg = static_cast<USHORT>(
                       SensorParameterBlockRegister(m_Connection.SensorBase, parameter) + kUnitIdField);
                   HRESULT hr =
                       m_pNetwork->WriteUShort(Address(), reg, unitId, GetWriteRegisterTimeout(), Retries());
                   if (Failed(hr))
                   {
                       Trace(TRACE_LEVEL1) << u" - failed to set units id on param#:" << parameter << u" - "
                                           << TraceHr(hr) << TRACE_END;
                       return hr;
                   }
                   hr = ReadSensorHeader();
                   if (Failed(hr))
                   {
                       Trace(TRACE_LEVEL1)
                           << u" - failed to update sensor cache after changing units on param#:" << parameter
                           << TRACE_END;
                       return hr;
                   }
                   hr = ReadParameterBlock(parameter, TRUE);
                   if (Failed(hr))
                   {
                       Trace(TRACE_LEVEL1)
                           << u" - failed to update parameter cache after changing units on param#:"
                           << parameter << TRACE_END;
                       return hr;
                   }
                   Trace(TRACE_LEVEL1) << u" set units id on param#:" << parameter << u" to "
                                       << GetUnitAbbreviation(unitId) << TRACE_END;
                   return hr;
               });
}

HRESULT CSensorCtrl::SetParameterSentinel(USHORT parameter, float sentinel)
{
    return Run(CHECK_ATTACHED,
               [&]
               {
                   if (const HRESULT hr = PrepareParameter(parameter); Failed(hr))
                       return hr;
                   const auto reg = static_cast<USHORT>(
                       SensorParameterBlockRegister(m_Connection.SensorBase, parameter) + kSentinelField);
                   const HRESULT hr =
                       m_pNetwork->WriteFloat(Address(), reg, sentinel, GetWriteRegisterTimeout(), Retries());
                   if (Failed(hr))
                   {
                       Trace(TRACE_LEVEL1)
                           << u" - failed to set sentinel val on param#:" << parameter << TRACE_END;
                       return hr;
                   }
                   m_Info.Parameters[parameter - 1u].Sentinel = sentinel;
                   Trace(TRACE_LEVEL1)
                       << u" set sentinel val on param#:" << parameter << u" to " << sentinel << TRACE_END;
                   return hr;
               });
}

HRESULT CSensorCtrl::GetSensorInfo(sSensorInfo& info)
{
    info.Clear();
    return Run(CHECK_ATTACHED,
               [&]
               {
                   if (const HRESULT hr = ReadSensorHeader(); Failed(hr))
                       return hr;
                   if (const HRESULT hr = ReadSensorParameterBlocks(SENSOR_BLOCKS_DESCRIPTIONS); Failed(hr))
                       return hr;
                   info = m_Info;
                   return S_OK;
               });
}

HRESULT CSensorCtrl::GetParameters(CDynArray<sParameterReading>& readings, BOOL cachedAllowed)
{
    readings.RemoveAll();
    return Run(CHECK_ATTACHED,
               [&]
               {
                   if (!m_bBlocksValid || !cachedAllowed)
                   {
                       if (const HRESULT hr = ReadSensorParameterBlocks(SENSOR_BLOCKS_WITH_VALUES);
                           Failed(hr))
                           return hr;
                   }
                   readings = m_Info.Parameters;
                   return S_OK;
               });
}

HRESULT CSensorCtrl::GetMeasuredParameters(CDynArray<sParameterReading>& readings)
{
    readings.RemoveAll();
    return Run(CHECK_ATTACHED,
               [&]
               {
                   if (!m_bBlocksValid || !m_bBlocksMeasured)
                   {
                       if (const HRESULT hr = ReadSensorParameterBlocks(SENSOR_BLOCKS_WITH_VALUES);
                           Failed(hr))
                           return hr;
                   }
                   readings = m_Info.Parameters;
                   return S_OK;
               });
}

} // namespace NVSystem
