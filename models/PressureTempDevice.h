// What the barometric logger, the control unit and the Bluetooth communication device share: the
// device is its own pressure and temperature sensor on connection 1 (pressure parameter 1,
// temperature 2), without any pressure calibration: the calibration operations refuse with
// MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED and send nothing.
#pragma once

#include "models/BuiltInPressureSensor.h"

namespace NVSystem
{

class CPressureTempDevice : public CBuiltInPressureSensor<ISensor_PressureTemp>
{
public:
    // The class test of the device classes built on this one: true for a live object of that class.
    static bool IsOfClass(CDeviceComm* device, uint32_t classSignature)
    {
        return device != nullptr && device->IsTagged() && device->GetClassSignature() == classSignature;
    }

    // --- ISensor_Interface ---

    ULONG GetSensorType() override { return SENSOR_TYPE_PRESSURE_TEMP; }

    // --- ISensor_PressureTemp: no pressure calibration ---

    HRESULT SetPressureOffset(float /*offset*/) override { return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED; }
    HRESULT ReadPressureOffset(float& /*offset*/) override
    {
        return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED;
    }
    HRESULT ZeroPressure() override { return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED; }
    HRESULT RestorePressureFactoryCal() override { return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED; }
    HRESULT WriteZeroPressureNote() override { return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED; }

protected:
    using CBuiltInPressureSensor::CBuiltInPressureSensor;
    ~CPressureTempDevice() override = default;

    // The device itself, with a reference more, while it carries both signatures.
    template <typename Class>
    Class* QueryThis(Class* self)
    {
        if (!CarriesSignatures())
            return nullptr;
        AddRef();
        return self;
    }
};

} // namespace NVSystem
