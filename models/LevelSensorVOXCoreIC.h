// The pressure/depth sensor on connection 3 of the VOX core probe (device type 39), present when the
// device reports three sensors or more. Callers reach it only through the device's pressure/depth
// getter: it keeps the root's sensor type and answers no cast.
//
// Sensor parameters: 1 pressure, 2 depth. Float settings (register offsets): 119 the automatic
// density correction from the conductivity sensor (1.0 on, 0.0 off), 121 a second depth
// calibration value, 123 the pressure offset in the pressure parameter's unit.
//
// The operations that reach the device first check the signature and that a device is bound.
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CLevelSensorVOXCoreIC : public CSensorAdapter<ISensor_PressureDepth>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("VCIL");

    static constexpr USHORT kPressure = 1; // sensor parameters
    static constexpr USHORT kDepth = 2;

    static constexpr USHORT kDensityCorrection = 119; // register offsets
    static constexpr USHORT kDepthCalB = 121;
    static constexpr USHORT kPressureOffset = 123;

    CLevelSensorVOXCoreIC(CDeviceComm* device, USHORT connection)
        : CSensorAdapter(device, connection, kSignature)
    {
    }

    HRESULT GetPressureSerialNumber(ULONG& serialNumber) override;
    USHORT GetPressureConnection() override { return m_nConnection; }
    HRESULT GetPressureUnit(USHORT& unitId) override;
    HRESULT SetPressureUnit(USHORT unitId) override;
    HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // The pressure offset.
    HRESULT WriteDepthCalA(float value) override;
    HRESULT ReadDepthCalA(float& value) override;
    HRESULT Reserved28() override { return S_OK; }
    HRESULT Reserved29() override { return S_OK; }
    HRESULT GetDepthSerialNumber(ULONG& serialNumber) override;
    USHORT GetDepthConnection() override { return m_nConnection; }
    HRESULT GetDepthUnit(USHORT& unitId) override;
    HRESULT SetDepthUnit(USHORT unitId) override;
    HRESULT ReadDepth(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // 1 for any stored value but 0.0 (a NaN included); a failed read leaves the flag as it was.
    HRESULT IsDepthCalEnabled(ULONG& enabled) override;
    HRESULT SetDepthCalEnabled(BOOL enabled) override;
    HRESULT WriteDepthCalB(float value) override;
    HRESULT ReadDepthCalB(float& value) override;

private:
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
};

} // namespace NVSystem
