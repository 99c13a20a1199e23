// The optical dissolved-oxygen sensor of a multi-sensor probe (connection 1 of device types 18, 21
// and 39), and the temporary sensor through which the single-sensor probe reports its cap status
// and the time to its factory calibration.
//
// Sensor parameters: 1 DO quantity A, 2 temperature, 3 DO quantity B, 4 DO quantity C. Float
// settings (register offsets): 117 live and 119 default salinity, 121 live and 123 default
// barometric pressure, the calibration readings at 100 % (125 DO, 127 temperature, 129 salinity,
// 131 barometric pressure) and at 0 % (133 DO, 135 temperature), 137 slope and 139 offset.
//
// The serial-number and temperature operations check the signature (and that a device is bound);
// the others only that a device is bound, and answer E_FAIL without one.
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CVOXSensor : public CSensorAdapter<ISensor_VoxPro>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("VOXS");

    static constexpr USHORT kOxygenA = 1; // sensor parameters
    static constexpr USHORT kTemperature = 2;
    static constexpr USHORT kOxygenB = 3;
    static constexpr USHORT kOxygenC = 4;

    static constexpr USHORT kLiveSalinity = 117; // register offsets
    static constexpr USHORT kDefaultSalinity = 119;
    static constexpr USHORT kLiveBaro = 121;
    static constexpr USHORT kDefaultBaro = 123;
    static constexpr USHORT kCalDO100 = 125;
    static constexpr USHORT kCalTemp100 = 127;
    static constexpr USHORT kCalSalinity100 = 129;
    static constexpr USHORT kCalBaro100 = 131;
    static constexpr USHORT kCalDO0 = 133;
    static constexpr USHORT kCalTemp0 = 135;
    static constexpr USHORT kCalSlope = 137;
    static constexpr USHORT kCalOffset = 139;

    // The cap states of GetSensorStatus.
    static constexpr ULONG kStatusNormal = 0;
    static constexpr ULONG kStatusWear = 1;
    static constexpr ULONG kStatusExpired = 2;
    static constexpr ULONG kStatusDamaged = 3;
    static constexpr ULONG kStatusNotDetected = 4;
    static constexpr ULONG kStatusReadFailure = 5;

    CVOXSensor(CDeviceComm* device, USHORT connection) : CVOXSensor(device, connection, kOxygenB) {}

    ULONG GetSensorType() override { return SENSOR_TYPE_VOX; }

    // --- ISensor_Temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override;
    USHORT GetConnection() override { return m_nConnection; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;

    // --- ISensor_VoxPro ---

    HRESULT ReadOxygenParamA(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetOxygenParamAUnit(USHORT& unitId) override;
    HRESULT SetOxygenParamAUnit(USHORT unitId) override;
    HRESULT GetOxygenParamASentinel(float& sentinel) override;
    HRESULT SetOxygenParamASentinel(float sentinel) override;
    HRESULT ReadOxygenParamB(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetOxygenParamBUnit(USHORT& unitId) override;
    HRESULT SetOxygenParamBUnit(USHORT unitId) override;
    HRESULT GetOxygenParamBSentinel(float& sentinel) override;
    HRESULT SetOxygenParamBSentinel(float sentinel) override;
    HRESULT ReadOxygenParamC(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetOxygenParamCUnit(USHORT& unitId) override;
    HRESULT SetOxygenParamCUnit(USHORT unitId) override;
    HRESULT GetOxygenParamCSentinel(float& sentinel) override;
    HRESULT SetOxygenParamCSentinel(float sentinel) override;

    HRESULT CalModeOn() override;
    HRESULT CalModeOff() override;
    HRESULT UpdateCalibration() override;

    HRESULT ReadLiveSalinity(float& value) override;
    HRESULT SetLiveSalinity(float value) override;
    HRESULT ReadDefaultSalinity(float& value) override;
    // The default first; only when it is taken, the live value too (whose outcome is not reported).
    HRESULT SetDefaultSalinity(float value) override;
    HRESULT ReadLiveBaro(float& value) override;
    HRESULT SetLiveBaro(float value) override;
    HRESULT ReadDefaultBaro(float& value) override;
    // As SetDefaultSalinity.
    HRESULT SetDefaultBaro(float value) override;
    HRESULT ReadCalDO100(float& value) override;
    HRESULT SetCalDO100(float value) override;
    HRESULT ReadCalTemp100(float& value) override;
    HRESULT SetCalTemp100(float value) override;
    HRESULT ReadCalSalinity100(float& value) override;
    HRESULT SetCalSalinity100(float value) override;
    HRESULT ReadCalBaro100(float& value) override;
    HRESULT SetCalBaro100(float value) override;
    HRESULT ReadCalDO0(float& value) override;
    HRESULT SetCalDO0(float value) override;
    HRESULT ReadCalTemp0(float& value) override;
    HRESULT SetCalTemp0(float value) override;
    HRESULT ReadCalSlope(float& value) override;
    HRESULT SetCalSlope(float value) override;
    HRESULT ReadCalOffset(float& value) override;
    HRESULT SetCalOffset(float value) override;

    HRESULT GetVoxSerialNumber(ULONG& serialNumber) override;
    // The cap has no serial number of its own here: the sensor's.
    HRESULT GetCapSerialNumber(ULONG& serialNumber) override;
    USHORT GetVoxConnection() override { return m_nConnection; }
    // No note: E_FAIL.
    HRESULT WriteCalibrationNote() override { return E_FAIL; }
    // The sensor answers with a serial number other than 0.
    BOOL IsSensorPresent() override;
    HRESULT GetTimeToFactoryCal(int64_t& milliseconds) override;
    HRESULT GetNextFactoryCalDate(CDeviceTimestamp& date) override;
    // From a live reading of DO quantity A: its quality word 5, 2, 3 or 7 gives 1, 2, 3 or 4; a
    // sensor the connection does not hold gives 4 with success; any other failure 5 and the failure.
    HRESULT GetSensorStatus(ULONG& status) override;

protected:
    // A sensor of this kind that measures DO quantity B on another parameter.
    CVOXSensor(CDeviceComm* device, USHORT connection, USHORT oxygenB)
        : CSensorAdapter(device, connection, kSignature), m_nOxygenB(oxygenB)
    {
    }

    template <typename Operation>
    HRESULT WithDevice(Operation&& operation)
    {
        return m_pDevice != nullptr ? operation() : E_FAIL;
    }

private:
    template <typename Operation>
    HRESULT WithSignature(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }

    const USHORT m_nOxygenB;
};

} // namespace NVSystem
