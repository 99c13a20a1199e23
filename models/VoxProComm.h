// The optical dissolved-oxygen probe (device types 12, 19, 20, 24, 31, 35, 36 and 37): one Modbus
// device that is at the same time its own single sensor on connection 1. The object is a device and
// the sensor's ISensor_VoxPro at once; the interface part reaches its device inside the same object.
//
// Sensor parameters of connection 1: 1 DO quantity A, 2 temperature, 3 DO quantity B, 4 DO
// quantity C. The salinity, barometric pressure and calibration floats are holding registers 40118
// to 40140, read and written directly through the network under the device lock, with a trace line
// each ("VOXPro Device: " and the address).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "device/DeviceComm.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

inline constexpr USHORT VOXPRO_CONNECTION = 1;

class CVOXSensor;

class CVoxProComm : public CDeviceComm, public ISensor_VoxPro
{
public:
    static constexpr uint32_t kClassSignature = 0x564F5850; // 'VOXP'

    // With the registers the probe family places: template version 47000, external voltage 47001.
    explicit CVoxProComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live probe object of this class.
    static bool IsVoxPro(CDeviceComm* device);

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    CVoxProComm* QueryVoxProComm() override;
    ISensor_VoxPro* GetVoxProSensor() override;

    // The device's operations of these names beside the sensor's below.
    using CDeviceComm::GetNextFactoryCalDate;
    using CDeviceComm::GetSerialNumber;

    // --- ISensor_Interface and ISensor_Temperature ---

    ULONG GetSensorType() override { return SENSOR_TYPE_VOX; }
    // The sensor serial number of connection 1.
    HRESULT GetSerialNumber(ULONG& serialNumber) override;
    USHORT GetConnection() override { return VOXPRO_CONNECTION; }
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
    // Then the live salinity too, once the default is written.
    HRESULT SetDefaultSalinity(float value) override;
    HRESULT ReadLiveBaro(float& value) override;
    HRESULT SetLiveBaro(float value) override;
    HRESULT ReadDefaultBaro(float& value) override;
    // Then the live pressure too, once the default is written.
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

    // The device's serial number from its identity record; no bus traffic.
    HRESULT GetVoxSerialNumber(ULONG& serialNumber) override;
    // The sensor serial number of connection 1.
    HRESULT GetCapSerialNumber(ULONG& serialNumber) override;
    USHORT GetVoxConnection() override { return VOXPRO_CONNECTION; }
    // The probe writes no calibration note: E_FAIL.
    HRESULT WriteCalibrationNote() override { return E_FAIL; }
    // The sensor answers with its next factory calibration date.
    BOOL IsSensorPresent() override;
    HRESULT GetTimeToFactoryCal(int64_t& milliseconds) override;
    HRESULT GetNextFactoryCalDate(CDeviceTimestamp& date) override;
    HRESULT GetSensorStatus(ULONG& status) override;

protected:
    ~CVoxProComm() override;
    // The temporary sensor through which the status is worked out; null when it cannot be had.
    virtual std::unique_ptr<CVOXSensor> NewStatusSensor();

private:
    // One float register under the device lock, traced with the success text and the value or the
    // failure text and the code.
    HRESULT ReadFloatRegister(USHORT reg, float& value, const char16_t* success, const char16_t* failure);
    HRESULT WriteFloatRegister(USHORT reg, float value, const char16_t* success, const char16_t* failure);
    template <typename Access>
    HRESULT AccessFloatRegister(Access&& access, float& value, const char16_t* success,
                                const char16_t* failure) noexcept;
    bool CarriesSignatures() const;

    std::atomic<uint32_t> m_nClassSignature{kClassSignature};
};

} // namespace NVSystem
