// The device's operations on one sensor by connection number: identity and dates, parameter values,
// units and sentinels, header and block re-reads, and single registers by offset. Each guards the
// device, finds the connection's record under the device lock and hands the work to it.
#include "device/DeviceComm.h"
#include "device/SensorCtrl.h"
#include "foundation/NameLookups.h"

namespace NVSystem
{

HRESULT CDeviceComm::GetSensorId(USHORT connection, USHORT& sensorId)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       sensorId = 0;
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor) { return sensor.GetSensorId(sensorId); });
                   });
}

HRESULT CDeviceComm::GetSensorSerialNumber(USHORT connection, ULONG& serialNumber)
{
    return Guarded(GUARDS_ALL,
                   [&] {
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.GetSerialNumber(serialNumber); });
                   });
}

HRESULT CDeviceComm::ReadSensorHeader(USHORT connection)
{
    return Guarded(
        GUARDS_ALL,
        [&] { return OnSensor(connection, [](CSensorCtrl& sensor) { return sensor.ReadSensorHeader(); }); });
}

HRESULT CDeviceComm::ReadSensorParameterBlocks(USHORT connection)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection,
                                       [](CSensorCtrl& sensor) {
                                           return sensor.ReadSensorParameterBlocks(SENSOR_BLOCKS_WITH_VALUES);
                                       });
                   });
}

HRESULT CDeviceComm::ReadSensorParameterBlock(USHORT connection, USHORT parameter)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.ReadParameterBlock(parameter, TRUE); });
                   });
}

HRESULT CDeviceComm::GetNextFactoryCalDate(USHORT connection, CDeviceTimestamp& date)
{
    return Guarded(GUARDS_ALL,
                   [&] {
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.GetNextFactoryCalDate(date); });
                   });
}

HRESULT CDeviceComm::GetLastUserCalDate(USHORT connection, CDeviceTimestamp& date)
{
    return Guarded(GUARDS_ALL,
                   [&] {
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor) { return sensor.GetLastUserCalDate(date); });
                   });
}

HRESULT CDeviceComm::GetWarmupTime(USHORT connection, ULONG& ms)
{
    return Guarded(
        GUARDS_ALL,
        [&] { return OnSensor(connection, [&](CSensorCtrl& sensor) { return sensor.GetWarmupTime(ms); }); });
}

HRESULT CDeviceComm::GetFastestSampleRate(USHORT connection, ULONG& ms)
{
    return Guarded(GUARDS_ALL,
                   [&] {
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor) { return sensor.GetFastestSampleRate(ms); });
                   });
}

HRESULT CDeviceComm::GetParameterId(USHORT connection, USHORT parameter, USHORT& parameterId)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       parameterId = 0;
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.GetParameterId(parameter, parameterId); });
                   });
}

HRESULT CDeviceComm::GetParameterUnitId(USHORT connection, USHORT parameter, USHORT& unitId)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       unitId = 0;
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.GetParameterUnitId(parameter, unitId); });
                   });
}

HRESULT CDeviceComm::SetParameterUnitId(USHORT connection, USHORT parameter, USHORT unitId)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.SetParameterUnitId(parameter, unitId); });
                   });
}

HRESULT CDeviceComm::GetParameterSentinel(USHORT connection, USHORT parameter, float& sentinel)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.GetParameterSentinel(parameter, sentinel); });
                   });
}

HRESULT CDeviceComm::SetParameterSentinel(USHORT connection, USHORT parameter, float sentinel)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection, [&](CSensorCtrl& sensor)
                                       { return sensor.SetParameterSentinel(parameter, sentinel); });
                   });
}

// --- Traced operations ---

HRESULT CDeviceComm::ReadParameterValue(USHORT connection, USHORT parameter, float& value, USHORT& quality,
                                        USHORT& unitId, BOOL cachedOnly)
{
    if (IsTagged())
        Trace(TRACE_LEVEL1) << u" - reading sensor: " << connection << u" Parameter: " << parameter
                            << TRACE_END;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       quality = SENSOR_QUALITY_NONE;
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor)
                                       {
                                           const HRESULT hr = sensor.GetParameterValue(
                                               parameter, value, quality, unitId, cachedOnly);
                                           if (Failed(hr))
                                               Trace(TRACE_LEVEL1) << u" - failed to get sensor reading, EC: "
                                                                   << TraceHr(hr) << TRACE_END;
                                           else
                                               Trace(TRACE_LEVEL1)
                                                   << u" - success, Value: " << value << u" Qual:"
                                                   << FormatReadingQuality(quality) << u" UnitId: "
                                                   << GetUnitAbbreviation(unitId) << TRACE_END;
                                           return hr;
                                       });
                   });
}

HRESULT CDeviceComm::GetSensorInfo(USHORT connection, sSensorInfo& info)
{
    info.Clear();
    if (IsTagged())
        Trace(TRACE_LEVEL1) << u" - get sensor: " << connection << TRACE_END;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor)
                                       {
                                           const HRESULT hr = sensor.GetSensorInfo(info);
                                           if (Failed(hr))
                                               Trace(TRACE_LEVEL1) << u" - failed to load sensor, EC: "
                                                                   << TraceHr(hr) << TRACE_END;
                                           return hr;
                                       });
                   });
}

HRESULT CDeviceComm::GetSensorParameters(USHORT connection, CDynArray<sParameterReading>& readings,
                                         BOOL cachedAllowed)
{
    readings.RemoveAll();
    if (IsTagged())
        Trace(TRACE_LEVEL1) << u" - getting sensor parameters sensor: " << connection << TRACE_END;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor)
                                       {
                                           const HRESULT hr = sensor.GetParameters(readings, cachedAllowed);
                                           if (Failed(hr))
                                               Trace(TRACE_LEVEL1) << u" - failed to load parameters, EC: "
                                                                   << TraceHr(hr) << TRACE_END;
                                           return hr;
                                       });
                   });
}

HRESULT CDeviceComm::GetMeasuredSensorParameters(USHORT connection, CDynArray<sParameterReading>& readings)
{
    readings.RemoveAll();
    if (IsTagged())
        Trace(TRACE_LEVEL1) << u" - getting measured sensor parameters sensor: " << connection << TRACE_END;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor)
                                       {
                                           const HRESULT hr = sensor.GetMeasuredParameters(readings);
                                           if (Failed(hr))
                                               Trace(TRACE_LEVEL1) << u" - failed to load parameters, EC: "
                                                                   << TraceHr(hr) << TRACE_END;
                                           return hr;
                                       });
                   });
}

// The frame of the register accesses by offset: opening trace, the record's access, failure trace.
HRESULT CDeviceComm::AccessSensorAtOffset(USHORT connection, USHORT offset, const char16_t* opening,
                                          const char16_t* what, const char16_t* failure,
                                          const std::function<HRESULT(CSensorCtrl&)>& access)
{
    if (IsTagged())
        Trace(TRACE_LEVEL1) << opening << connection << what << offset << TRACE_END;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       return OnSensor(connection,
                                       [&](CSensorCtrl& sensor)
                                       {
                                           const HRESULT hr = access(sensor);
                                           if (Failed(hr))
                                               Trace(TRACE_LEVEL1) << failure << TraceHr(hr) << TRACE_END;
                                           return hr;
                                       });
                   });
}

HRESULT CDeviceComm::ReadSensorUShort(USHORT connection, USHORT offset, USHORT& value)
{
    return AccessSensorAtOffset(connection, offset, u" - reading sensor: ", u" USHORT at offset: ",
                                u" - failed to get USHORT value, EC: ",
                                [&](CSensorCtrl& sensor)
                                { return sensor.ReadUShortAtOffset(offset, value); });
}

HRESULT CDeviceComm::WriteSensorUShort(USHORT connection, USHORT offset, USHORT value)
{
    return AccessSensorAtOffset(connection, offset, u" - writing sensor: ", u" USHORT at offset: ",
                                u" - failed to set USHORT value, EC: ",
                                [&](CSensorCtrl& sensor)
                                { return sensor.WriteUShortAtOffset(offset, value); });
}

HRESULT CDeviceComm::ReadSensorULong(USHORT connection, USHORT offset, ULONG& value)
{
    return AccessSensorAtOffset(connection, offset, u" - reading sensor: ", u" ULONG at offset: ",
                                u" - failed to get ULONG value, EC: ",
                                [&](CSensorCtrl& sensor) { return sensor.ReadULongAtOffset(offset, value); });
}

HRESULT CDeviceComm::ReadSensorFloat(USHORT connection, USHORT offset, float& value)
{
    return AccessSensorAtOffset(connection, offset, u" - reading sensor: ", u" FLOAT at offset: ",
                                u" - failed to get FLOAT value, EC: ",
                                [&](CSensorCtrl& sensor) { return sensor.ReadFloatAtOffset(offset, value); });
}

HRESULT CDeviceComm::WriteSensorFloat(USHORT connection, USHORT offset, float value)
{
    return AccessSensorAtOffset(connection, offset, u" - writing sensor: ", u" FLOAT at offset: ",
                                u" - failed to set FLOAT value, EC: ",
                                [&](CSensorCtrl& sensor)
                                { return sensor.WriteFloatAtOffset(offset, value); });
}

HRESULT CDeviceComm::ReadSensorTime(USHORT connection, USHORT offset, CDeviceTimestamp& time)
{
    return AccessSensorAtOffset(connection, offset, u" - reading sensor: ", u" TIME at offset: ",
                                u" - failed to get TIME value, EC: ",
                                [&](CSensorCtrl& sensor) { return sensor.ReadTimeAtOffset(offset, time); });
}

} // namespace NVSystem
