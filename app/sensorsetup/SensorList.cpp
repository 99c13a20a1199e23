#include "app/sensorsetup/SensorList.h"

#include "connection/SensorReadings.h"
#include "foundation/NameLookups.h"
#include "foundation/ResultCodes.h"
#include "platform/CaseFold.h"

namespace
{

CWideString SensorEntryText(USHORT sensorId, const std::function<CWideString()>& capText)
{
    switch (sensorId)
    {
    case SENSOR_ID_OPTICAL_DO:
        return capText();
    case SENSOR_ID_PRESSURE_LEVEL_A:
    case SENSOR_ID_PRESSURE_LEVEL_B:
    case SENSOR_ID_PRESSURE_LEVEL_C:
        return CWideString(u"Pressure/Level");
    case SENSOR_ID_PH_ORP:
        return CWideString(u"pH/ORP");
    default:
        return GetSensorTypeName(sensorId);
    }
}

bool StartsWithNoCase(const CWideString& text, const CWideString& prefix)
{
    const uint32_t length = prefix.GetLength();
    if (text.GetLength() < length)
        return false;
    return platform::EqualsIgnoreCase(std::u16string_view(text, length), std::u16string_view(prefix, length));
}

} // namespace

bool IsAbsentSensor(HRESULT hr)
{
    return hr == MODBUSCOMM_E_PORT_NO_SENSOR || hr == MODBUSCOMM_E_INVALID_SENSOR_PORT;
}

sSensorEntries BuildSensorEntries(NVSystem::CDeviceComm& device, const std::function<CWideString()>& capText)
{
    sSensorEntries list;
    if (Failed(device.GetActiveSensorPorts(list.connections)))
    {
        list.connections.RemoveAll();
        return list;
    }
    list.entries.push_back({CWideString(u"Temperature"), SENSOR_ENTRY_TEMPERATURE});
    for (uint32_t i = 0; i < list.connections.GetCount(); ++i)
    {
        const USHORT connection = list.connections[i];
        USHORT sensorId = 0;
        const HRESULT hr = device.GetSensorId(connection, sensorId);
        // A sensor pulled out while the table still lists it must not hide the ones after it.
        if (IsAbsentSensor(hr))
            continue;
        if (Failed(hr))
            return list;
        list.entries.push_back({SensorEntryText(sensorId, capText), connection});
    }
    list.entries.push_back({CWideString(u"All"), SENSOR_ENTRY_ALL});
    list.complete = TRUE;
    return list;
}

HRESULT CollectParameterReadings(NVSystem::CDeviceComm& device, const CDynArray<USHORT>& connections,
                                 USHORT itemData, BOOL useCache, CDynArray<sParameterReading>& readings)
{
    readings.RemoveAll();
    for (uint32_t i = 0; i < connections.GetCount(); ++i)
    {
        const USHORT connection = connections[i];
        if (!useCache && IsSensorEntry(itemData) && connection != itemData)
            continue;
        CDynArray<sParameterReading> sensorReadings;
        const HRESULT hr = device.GetSensorParameters(connection, sensorReadings, useCache);
        if (IsAbsentSensor(hr))
            continue;
        if (Failed(hr))
            return hr;
        for (uint32_t k = 0; k < sensorReadings.GetCount(); ++k)
        {
            if (readings.Add(sensorReadings[k]) < 0)
                return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

int FindEntryByPrefix(const std::vector<sSensorEntry>& entries, const CWideString& prefix, int start)
{
    const int count = static_cast<int>(entries.size());
    if (count == 0)
        return -1;
    const int first = start < 0 || start >= count ? 0 : start + 1;
    for (int step = 0; step < count; ++step)
    {
        const int index = (first + step) % count;
        if (StartsWithNoCase(entries[static_cast<size_t>(index)].text, prefix))
            return index;
    }
    return -1;
}

CDynArray<sParameterReading> ChooseParameterRows(USHORT itemData,
                                                 const CDynArray<sParameterReading>& readings)
{
    CDynArray<sParameterReading> rows;
    if (itemData == SENSOR_ENTRY_ALL)
        return BuildOfferedReadings(readings);
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
    {
        const sParameterReading& reading = readings[i];
        if (itemData == SENSOR_ENTRY_TEMPERATURE)
        {
            if (reading.ParameterId == PARAMETER_ID_TEMPERATURE)
            {
                rows.Add(reading);
                break;
            }
        }
        else if (reading.Connection == itemData && reading.ParameterId != PARAMETER_ID_TEMPERATURE)
        {
            rows.Add(reading);
        }
    }
    return rows;
}
