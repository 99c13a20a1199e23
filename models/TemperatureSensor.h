// A plain temperature sensor of the multi-parameter sonde (sonde sensor ids 55 and 79): parameter 1,
// its temperature. The sonde prefers it as the temperature of its sensors that measure none.
//
// Every operation that reaches the device first checks the signature and that a device is bound.
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CTemperatureSensor : public CSensorAdapter<ISensor_Temperature>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("TEMP");
    static constexpr USHORT kTemperature = 1;

    CTemperatureSensor(CDeviceComm* device, USHORT connection)
        : CSensorAdapter(device, connection, kSignature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_NONE; }

    // The pair of the temperature level is not provided: serial number 0 and connection 0.
    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return S_OK;
    }
    USHORT GetConnection() override { return 0; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Checked([&] { return ReadParameter(kTemperature, value, quality, unitId, cachedOnly); });
    }
    HRESULT GetTemperatureUnit(USHORT& unitId) override
    {
        return Checked([&] { return GetUnit(kTemperature, unitId); });
    }
    HRESULT SetTemperatureUnit(USHORT unitId) override
    {
        return Checked([&] { return SetUnit(kTemperature, unitId); });
    }
    HRESULT GetTemperatureSentinel(float& sentinel) override
    {
        return Checked([&] { return GetSentinel(kTemperature, sentinel); });
    }

private:
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
};

} // namespace NVSystem
