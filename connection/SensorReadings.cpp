#include "connection/SensorReadings.h"

#include "foundation/ResultCodes.h"

HRESULT CollectSensorReadings(NVSystem::CDeviceComm& device, CDynArray<sParameterReading>& readings,
                              UnpluggedSensors unplugged, ReadingsStep* failedStep, ReadingsAge age)
{
    readings.RemoveAll();
    CDynArray<USHORT> connections;
    if (const HRESULT hr = device.GetActiveSensorPorts(connections); Failed(hr))
    {
        if (failedStep != nullptr)
            *failedStep = ReadingsStep::Connections;
        return hr;
    }
    for (uint32_t i = 0; i < connections.GetCount(); ++i)
    {
        CDynArray<sParameterReading> sensorReadings;
        const HRESULT hr = age == ReadingsAge::Measured
                               ? device.GetMeasuredSensorParameters(connections[i], sensorReadings)
                               : device.GetSensorParameters(connections[i], sensorReadings, TRUE);
        if (hr == MODBUSCOMM_E_PORT_NO_SENSOR && unplugged == UnpluggedSensors::Skip)
            continue;
        if (Failed(hr))
        {
            if (failedStep != nullptr)
                *failedStep = ReadingsStep::Parameters;
            return hr;
        }
        for (uint32_t k = 0; k < sensorReadings.GetCount(); ++k)
        {
            if (readings.Add(sensorReadings[k]) < 0)
                return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

CDynArray<sParameterReading> BuildOfferedReadings(const CDynArray<sParameterReading>& readings)
{
    CDynArray<sParameterReading> offered;
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
    {
        if (readings[i].ParameterId == PARAMETER_ID_TEMPERATURE)
        {
            offered.Add(readings[i]);
            break;
        }
    }
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
    {
        if (readings[i].ParameterId != PARAMETER_ID_TEMPERATURE)
            offered.Add(readings[i]);
    }
    return offered;
}

int FindReading(const CDynArray<sParameterReading>& readings, USHORT sensorId, USHORT parameterId)
{
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
    {
        if (readings[i].SensorId == sensorId && readings[i].ParameterId == parameterId)
            return static_cast<int>(i);
    }
    return -1;
}
