// The turbidity sensor of the multi-parameter sonde (sonde sensor id 50): parameters 1 turbidity and
// 2 a second quantity of its firmware, and three calibration floats at offsets 117, 119 and 121, of
// which the second and third are the slope and offset its calibration note carries. It measures no
// temperature and has no temperature source: its temperature level answers constants.
//
// Every operation that reaches the device first checks the signature and that the device is a live
// device object (MODBUSCOMM_E_INVALID_DEVICE_THIS).
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CTurbiditySensorMK600 : public CSensorAdapter<ISensor_Turbidity>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("TUR6");
    static constexpr USHORT kTurbidity = 1; // sensor parameters
    static constexpr USHORT kParam2 = 2;
    static constexpr USHORT kCal1 = 117; // register offsets
    static constexpr USHORT kCal2 = 119;
    static constexpr USHORT kCal3 = 121;

    CTurbiditySensorMK600(CDeviceComm* device, USHORT connection)
        : CSensorAdapter(device, connection, kSignature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_TURBIDITY; }

    // --- ISensor_Temperature: no temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return S_OK;
    }
    USHORT GetConnection() override { return 0; }
    // 0.0 with quality 0 and unit 0, without device access.
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // Degrees Celsius.
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT /*unitId*/) override { return S_OK; }

    // --- ISensor_Turbidity ---

    HRESULT ReadTurbidity(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Checked([&] { return ReadParameter(kTurbidity, value, quality, unitId, cachedOnly); });
    }
    HRESULT ReadTurbidityParam2(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Checked([&] { return ReadParameter(kParam2, value, quality, unitId, cachedOnly); });
    }
    HRESULT GetTurbidityUnit(USHORT& unitId) override
    {
        return Checked([&] { return GetUnit(kTurbidity, unitId); });
    }
    HRESULT SetTurbidityUnit(USHORT unitId) override
    {
        return Checked([&] { return SetUnit(kTurbidity, unitId); });
    }
    HRESULT GetTurbidityParam2Unit(USHORT& unitId) override
    {
        return Checked([&] { return GetUnit(kParam2, unitId); });
    }
    HRESULT SetTurbidityParam2Unit(USHORT unitId) override
    {
        return Checked([&] { return SetUnit(kParam2, unitId); });
    }
    HRESULT WriteTurbidityCal1(float value) override
    {
        return Checked([&] { return WriteFloat(kCal1, value); });
    }
    HRESULT ReadTurbidityCal1(float& value) override
    {
        return Checked([&] { return ReadFloat(kCal1, value); });
    }
    HRESULT ReadTurbidityCal2(float& value) override
    {
        return Checked([&] { return ReadFloat(kCal2, value); });
    }
    HRESULT WriteTurbidityCal2(float value) override
    {
        return Checked([&] { return WriteFloat(kCal2, value); });
    }
    HRESULT ReadTurbidityCal3(float& value) override
    {
        return Checked([&] { return ReadFloat(kCal3, value); });
    }
    HRESULT WriteTurbidityCal3(float value) override
    {
        return Checked([&] { return WriteFloat(kCal3, value); });
    }
    // 0 with the failure when it cannot be had.
    HRESULT GetTurbiditySerialNumber(ULONG& serialNumber) override;
    USHORT GetTurbidityConnection() override { return m_nConnection; }
    // E_FAIL without an active log; a calibration value that cannot be read is the result, and no
    // note is written.
    HRESULT WriteTurbidityCalNote() override;

private:
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsBoundToLiveDevice(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
};

} // namespace NVSystem
