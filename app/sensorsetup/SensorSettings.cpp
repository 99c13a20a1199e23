#include "app/sensorsetup/SensorSettings.h"

#include "app/sensorsetup/ProbeSettingRegisters.h"
#include "foundation/NameLookups.h"
#include "foundation/ResultCodes.h"
#include "models/ProbeSensorInterfaces.h"

namespace
{

sSettingsFailure Failure(const char16_t* text, HRESULT code)
{
    return sSettingsFailure{text, code};
}

// The optical sensor, or the failure of getting it (also when the probe has none).
NVSystem::ISensor_VoxPro* VoxSensor(CProbeConnection& connection, const char16_t* failureText,
                                    sSettingsFailure& failure)
{
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    const HRESULT hr = connection.GetVoxProSensor(sensor);
    if (Failed(hr) || sensor == nullptr)
        failure = Failure(failureText, Failed(hr) ? hr : E_FAIL);
    return sensor;
}

sSettingsFailure ReadVoxValues(NVSystem::ISensor_VoxPro& sensor, sVoxValues& values)
{
    if (const HRESULT hr = sensor.ReadLiveSalinity(values.liveSalinity); Failed(hr))
        return Failure(u"Failed to get live salinity value.", hr);
    if (const HRESULT hr = sensor.ReadLiveBaro(values.liveBaro); Failed(hr))
        return Failure(u"Failed to get live baro value.", hr);
    if (const HRESULT hr = sensor.ReadDefaultSalinity(values.defaultSalinity); Failed(hr))
        return Failure(u"Failed to get default salinity value.", hr);
    if (const HRESULT hr = sensor.ReadDefaultBaro(values.defaultBaro); Failed(hr))
        return Failure(u"Failed to get default baro value.", hr);
    return {};
}

HRESULT RereadParameters(NVSystem::CDeviceComm& device, USHORT connection)
{
    CDynArray<sParameterReading> readings;
    return device.GetSensorParameters(connection, readings, FALSE);
}

} // namespace

sSensorSettingsLoad LoadSensorSettings(CProbeConnection& connection)
{
    sSensorSettingsLoad load;
    if (!connection.IsConnected())
        return load;
    if (connection.IsMultiSensorProbe())
    {
        if (const HRESULT hr = ReadAutoSalinity(connection, load.autoSalinity); Failed(hr))
        {
            load.failure = Failure(u"Failed to read auto salinity register.", hr);
            return load;
        }
    }
    NVSystem::ISensor_Conductivity* conductivity = nullptr;
    if (const HRESULT hr = connection.GetConductivitySensor(conductivity); Failed(hr))
    {
        load.failure = Failure(u"Failed attempting to get conductivity interface.", hr);
        return load;
    }
    if (conductivity != nullptr)
    {
        float temperature = 0.0f;
        float second = 0.0f;
        CDynArray<float> coefficients;
        if (const HRESULT hr = conductivity->ReadCalibrationBlock(temperature, second, coefficients);
            Failed(hr))
        {
            load.failure = Failure(u"Failed to get conductivity coefficients.", hr);
            return load;
        }
        load.referenceTemperature = temperature;
    }
    NVSystem::ISensor_VoxPro* vox = VoxSensor(connection, u"Failed to get VOX interface.", load.failure);
    if (vox == nullptr)
        return load;
    sVoxValues values;
    load.failure = ReadVoxValues(*vox, values);
    if (!load.failure)
        load.vox = values;
    return load;
}

sPressureSettingsLoad LoadPressureSettings(CProbeConnection& connection)
{
    sPressureSettingsLoad load;
    if (!connection.IsConnected())
        return load;
    NVSystem::ISensor_PressureDepth* sensor = nullptr;
    if (const HRESULT hr = connection.GetPressureDepthSensor(sensor); Failed(hr))
    {
        load.failure = Failure(u"Failed attempting to get Pressure / Depth interface", hr);
        return load;
    }
    if (sensor == nullptr)
        return load;
    load.present = TRUE;
    if (const HRESULT hr = sensor->GetPressureUnit(load.unitId); Failed(hr))
    {
        load.failure = Failure(u"Failed to get pressure unit type.", hr);
        return load;
    }
    float offset = 0.0f;
    if (const HRESULT hr = sensor->ReadDepthCalA(offset); Failed(hr))
    {
        load.failure = Failure(u"Failed to get pressure offset value.", hr);
        return load;
    }
    load.offset = offset;
    ULONG enabled = 0;
    if (const HRESULT hr = sensor->IsDepthCalEnabled(enabled); Failed(hr))
    {
        load.failure = Failure(u"Failed to get auto density enabled.", hr);
        return load;
    }
    load.autoDensity = enabled != 0 ? TRUE : FALSE;
    return load;
}

CWideString FormatPressureLabel(USHORT unitId)
{
    return CWideString(u"Current Value (%s):", static_cast<const char16_t*>(GetUnitAbbreviation(unitId)));
}

HRESULT ReadReferenceTemperature(CProbeConnection& connection, float& temperature)
{
    NVSystem::ISensor_Conductivity* sensor = nullptr;
    if (const HRESULT hr = connection.GetConductivitySensor(sensor); Failed(hr))
        return hr;
    if (sensor == nullptr)
        return S_FALSE;
    float second = 0.0f;
    CDynArray<float> coefficients;
    return sensor->ReadCalibrationBlock(temperature, second, coefficients);
}

HRESULT WriteReferenceTemperature(CProbeConnection& connection, float temperature)
{
    NVSystem::ISensor_Conductivity* sensor = nullptr;
    if (const HRESULT hr = connection.GetConductivitySensor(sensor); Failed(hr))
        return hr;
    if (sensor == nullptr)
        return S_OK;
    float current = 0.0f;
    float second = 0.0f;
    CDynArray<float> coefficients;
    if (const HRESULT hr = sensor->ReadCalibrationBlock(current, second, coefficients); Failed(hr))
        return hr;
    return sensor->WriteCalibrationBlock(temperature, second, coefficients);
}

sVoxWrite WriteSalinity(CProbeConnection& connection, float salinity, BOOL asDefault)
{
    sVoxWrite write;
    NVSystem::ISensor_VoxPro* sensor = VoxSensor(connection, u"Failed to get VOX interface", write.failure);
    if (sensor == nullptr)
        return write;
    if (const HRESULT hr = sensor->SetLiveSalinity(salinity); Failed(hr))
    {
        write.failure = Failure(u"Failed to set live salinity.", hr);
        return write;
    }
    write.liveWritten = TRUE;
    if (asDefault)
    {
        if (const HRESULT hr = sensor->SetDefaultSalinity(salinity); Failed(hr))
        {
            write.failure = Failure(u"Failed to set default salinity.", hr);
            return write;
        }
        write.defaultWritten = TRUE;
    }
    return write;
}

sVoxWrite WriteBaro(CProbeConnection& connection, float pressureMbar, BOOL asDefault)
{
    sVoxWrite write;
    NVSystem::ISensor_VoxPro* sensor = VoxSensor(connection, u"Failed to get VOX interface.", write.failure);
    if (sensor == nullptr)
        return write;
    if (asDefault)
    {
        if (const HRESULT hr = sensor->SetDefaultBaro(pressureMbar); Failed(hr))
        {
            write.failure = Failure(u"Failed to set default baro value.", hr);
            return write;
        }
        write.defaultWritten = TRUE;
    }
    if (const HRESULT hr = sensor->SetLiveBaro(pressureMbar); Failed(hr))
    {
        write.failure = Failure(u"Failed to set live baro value.", hr);
        return write;
    }
    write.liveWritten = TRUE;
    return write;
}

sBaroValues ReadBaroValues(CProbeConnection& connection)
{
    sBaroValues values;
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    if (Failed(connection.GetVoxProSensor(sensor)) || sensor == nullptr)
        return values;
    if (float live = 0.0f; Succeeded(sensor->ReadLiveBaro(live)))
        values.live = live;
    if (float value = 0.0f; Succeeded(sensor->ReadDefaultBaro(value)))
        values.defaultValue = value;
    return values;
}

sSettingsFailure WriteAutoDensity(CProbeConnection& connection, BOOL enabled)
{
    if (!connection.IsConnected())
        return {};
    NVSystem::ISensor_PressureDepth* sensor = nullptr;
    const HRESULT hr = connection.GetPressureDepthSensor(sensor);
    if (Failed(hr) || sensor == nullptr)
        return Failure(u"Failed to get Pressure/Depth interface.", Failed(hr) ? hr : E_FAIL);
    if (const HRESULT set = sensor->SetDepthCalEnabled(enabled); Failed(set))
        return Failure(u"Failed to set Auto Density.", set);
    return {};
}

HRESULT ChangeParameterUnit(CProbeConnection& connection, const sParameterReading& reading, USHORT unitId)
{
    NVSystem::CDeviceComm* device = connection.GetProbe();
    if (!connection.IsConnected() || device == nullptr)
        return E_FAIL;
    const HRESULT hr = device->SetParameterUnitId(reading.Connection, reading.ParameterNumber, unitId);
    if (Succeeded(hr))
        RereadParameters(*device, reading.Connection);
    return hr;
}

HRESULT ChangeParameterSentinel(CProbeConnection& connection, const sParameterReading& reading,
                                float sentinel)
{
    NVSystem::CDeviceComm* device = connection.GetProbe();
    if (!connection.IsConnected() || device == nullptr)
        return E_FAIL;
    const HRESULT hr = device->SetParameterSentinel(reading.Connection, reading.ParameterNumber, sentinel);
    if (Succeeded(hr))
        RereadParameters(*device, reading.Connection);
    return hr;
}
