// What the single-sensor devices with a built-in pressure and temperature sensor share (the level,
// flow and barometric loggers, the conductivity sonde, the control unit and the Bluetooth
// communication device): the object is the device and, on connection 1, its own sensor. The sensor's
// serial number is the device's, from its identity record; readings and units are the device's
// sensor access for connection 1 with the parameter numbers below.
//
// Every operation first checks the device tag and the class signature, which the class clears when
// it is destroyed; a mismatch answers MODBUSCOMM_E_INVALID_DEVICE_THIS and sends nothing.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/DeviceComm.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

inline constexpr USHORT BUILT_IN_SENSOR_CONNECTION = 1;

template <typename Interface>
class CBuiltInPressureSensor : public CDeviceComm, public Interface
{
public:
    static constexpr USHORT kPressureParameter = 1;
    static constexpr USHORT kTemperatureParameter = 2;

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }

    // The device's identity check beside the sensor's serial number below.
    using CDeviceComm::GetSerialNumber;

    // --- ISensor_Temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        if (!CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return Guarded(0,
                       [&]
                       {
                           serialNumber = m_SlaveId.SerialNumber;
                           return S_OK;
                       });
    }
    USHORT GetConnection() override { return BUILT_IN_SENSOR_CONNECTION; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kTemperatureParameter, value, quality, unitId, cachedOnly);
    }
    HRESULT GetTemperatureUnit(USHORT& unitId) override { return GetUnit(kTemperatureParameter, unitId); }
    HRESULT SetTemperatureUnit(USHORT unitId) override { return SetUnit(kTemperatureParameter, unitId); }

    // --- ISensor_PressureTemp ---

    HRESULT GetPressureSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    USHORT GetPressureConnection() override { return BUILT_IN_SENSOR_CONNECTION; }
    HRESULT GetPressureUnit(USHORT& unitId) override { return GetUnit(kPressureParameter, unitId); }
    HRESULT SetPressureUnit(USHORT unitId) override { return SetUnit(kPressureParameter, unitId); }
    HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kPressureParameter, value, quality, unitId, cachedOnly);
    }

protected:
    CBuiltInPressureSensor(const SlaveIdInfo& slaveId, uint32_t classSignature)
        : CDeviceComm(slaveId), m_nOwnSignature(classSignature), m_nClassSignature(classSignature)
    {
        m_pBuiltInSensor = static_cast<Interface*>(this);
    }
    ~CBuiltInPressureSensor() override
    {
        m_nClassSignature.store(0);
        m_pBuiltInSensor = nullptr;
    }

    bool CarriesSignatures() const { return IsTagged() && m_nClassSignature.load() == m_nOwnSignature; }

    HRESULT Read(USHORT parameter, float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
    {
        if (!CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return ReadParameterValue(BUILT_IN_SENSOR_CONNECTION, parameter, value, quality, unitId, cachedOnly);
    }
    HRESULT GetUnit(USHORT parameter, USHORT& unitId)
    {
        if (!CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return GetParameterUnitId(BUILT_IN_SENSOR_CONNECTION, parameter, unitId);
    }
    HRESULT SetUnit(USHORT parameter, USHORT unitId)
    {
        if (!CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return SetParameterUnitId(BUILT_IN_SENSOR_CONNECTION, parameter, unitId);
    }

private:
    const uint32_t m_nOwnSignature;
    std::atomic<uint32_t> m_nClassSignature;
};

} // namespace NVSystem
