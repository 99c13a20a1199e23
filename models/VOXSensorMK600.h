// The optical dissolved-oxygen sensor of the multi-parameter sonde (sonde sensor id 57): the probes'
// optical-DO adapter (VOXSensor.h) with its DO quantity B on parameter 2, its temperature from the
// sonde's temperature sensor, its salinity and barometric pressure from the sonde's other sensors,
// the sensing cap's serial number at offset 119 (a float), and its calibration note.
//
// Salinity: the live value is the conductivity sensor's salinity (its quantity 3) where the sonde has
// one, else the default, the float at offset 123; the live value is not written. Barometric pressure
// (mbar): on device type 33 the device registers 47005 (live) and 47007 (default); on the other
// types the barometer's reading (live, not written) and its sentinel (default), each converted to
// and from the barometer's unit; without a barometer E_FAIL.
//
// A value for the oxygen's compensation is never made up: a salinity reading that holds no
// measurement (the sentinel of a sensor warming up, a quality of error, disabled or offline), and a
// barometer in a unit that does not convert to millibar, answer ADAPTER_E_INVALID_DEVICE_RESPONSE
// with the output untouched.
//
// The sources are the sonde's sensor objects, owned by the sonde like this one; they are fixed when
// the sonde's sensor factory builds this sensor.
#pragma once

#include "models/VOXSensor.h"

namespace NVSystem
{

class CVOXSensorMK600 : public CVOXSensor
{
public:
    static constexpr uint32_t kSignature = SensorSignature("VOX6");

    static constexpr USHORT kOxygenB = 2;           // sensor parameter
    static constexpr USHORT kCapSerialNumber = 119; // register offsets
    static constexpr USHORT kDefaultSalinity = 123;
    static constexpr USHORT kBaroRegistersType = 33;
    static constexpr USHORT kLiveBaroRegister = 47005;
    static constexpr USHORT kDefaultBaroRegister = 47007;
    static constexpr USHORT kMilliBar = 21;

    CVOXSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature,
                    ISensor_Barometric* barometric, ISensor_Conductivity* conductivity);
    ~CVOXSensorMK600() override;

    // --- ISensor_Temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override;
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;

    // --- ISensor_VoxPro ---

    HRESULT ReadLiveSalinity(float& value) override;
    HRESULT SetLiveSalinity(float value) override;
    HRESULT ReadDefaultSalinity(float& value) override;
    HRESULT SetDefaultSalinity(float value) override;
    HRESULT ReadLiveBaro(float& value) override;
    HRESULT SetLiveBaro(float value) override;
    HRESULT ReadDefaultBaro(float& value) override;
    HRESULT SetDefaultBaro(float value) override;
    HRESULT GetVoxSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    // The float at offset 119 as an integer; 0 with the failure when it cannot be read.
    HRESULT GetCapSerialNumber(ULONG& serialNumber) override;
    // The calibration's slope and offset with the sensor's and the cap's serial numbers; E_FAIL
    // without an active log, and no note when the slope or offset cannot be read (that failure).
    HRESULT WriteCalibrationNote() override;

private:
    template <typename Operation>
    HRESULT WithSignature(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
    // Device type 33: a barometric register of the device.
    bool KeepsBaroInRegisters(HRESULT& hr);
    HRESULT ReadBaroRegister(USHORT reg, float& value);
    HRESULT WriteBaroRegister(USHORT reg, float value);

    ISensor_Temperature* m_pTemperature = nullptr;
    ISensor_Barometric* m_pBarometric = nullptr;
    ISensor_Conductivity* m_pConductivity = nullptr;
};

} // namespace NVSystem
