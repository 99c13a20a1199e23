// The barometric sensor of the multi-parameter sonde (sonde sensor id 59): parameter 1, the
// barometric pressure, and its calibration float at offset 117. Its sentinel is the default pressure
// the sonde's optical DO sensor falls back to; it is handed over with its unit and converted into the
// parameter's unit of the moment when it is set, or refused when it does not convert.
//
// Every operation first checks the signature (MODBUSCOMM_E_INVALID_DEVICE_THIS); all but WriteBaroCal
// then answer E_FAIL without a device.
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CBarometricSensorMK600 : public CSensorAdapter<ISensor_Barometric>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("BRO6");
    static constexpr USHORT kPressure = 1;
    static constexpr USHORT kCalibration = 117;

    CBarometricSensorMK600(CDeviceComm* device, USHORT connection)
        : CSensorAdapter(device, connection, kSignature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_BAROMETRIC; }

    // The pair of the interface is not provided: serial number 0 and connection 0.
    HRESULT GetBaroSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return S_OK;
    }
    USHORT GetBaroConnection() override { return 0; }
    HRESULT ReadBarometricPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetBaroUnit(USHORT& unitId) override;
    HRESULT SetBaroUnit(USHORT unitId) override;
    HRESULT GetBaroSentinel(float& sentinel, USHORT& unitId) override;
    // Stored in the parameter's unit of the moment. Nothing is written when that unit cannot be read
    // (its failure) or the value's unit does not convert into it (ADAPTER_E_INVALID_PARAMETER).
    HRESULT SetBaroSentinel(float sentinel, USHORT unitId) override;
    HRESULT WriteBaroCal(float value) override;

private:
    template <typename Operation>
    HRESULT WithDevice(Operation&& operation)
    {
        if (m_nSignature != kSignature)
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return m_pDevice != nullptr ? operation() : E_FAIL;
    }
};

} // namespace NVSystem
