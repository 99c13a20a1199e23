// The VOX core probe (device type 39): an optical dissolved-oxygen core with conductivity and, when
// fitted, depth. Its sensors are adapter objects that the connection routine makes right after the
// device factory (InitVOXCoreICSensors) and hands to the device, which owns them from then on: they
// are never replaced and are deleted with the device. The getters hand them out without a reference
// (and without the device lock: HeldSensor.h); a caller that keeps one keeps a reference on the
// device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "device/DeviceComm.h"
#include "models/HeldSensor.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

class CVOXCoreICComm : public CDeviceComm
{
public:
    static constexpr uint32_t kClassSignature = 0x4B454C44; // 'KELD'

    explicit CVOXCoreICComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live device object of this class.
    static bool IsVOXCoreIC(CDeviceComm* device);

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    CVOXCoreICComm* QueryVOXCoreICComm() override;
    ISensor_VoxPro* GetVoxProSensor() override;
    ISensor_Conductivity* GetConductivitySensor() override;
    ISensor_PressureDepth* GetPressureDepthSensor() override;

    // The device takes the sensor and owns it. A field that holds a sensor already keeps it: E_FAIL,
    // and the offered sensor stays the caller's. E_POINTER for null.
    HRESULT SetVoxProSensor(std::unique_ptr<ISensor_VoxPro>& sensor);
    HRESULT SetConductivitySensor(std::unique_ptr<ISensor_Conductivity>& sensor);
    HRESULT SetPressureDepthSensor(std::unique_ptr<ISensor_PressureDepth>& sensor);

protected:
    ~CVOXCoreICComm() override;

private:
    template <typename Sensor>
    HRESULT TakeSensor(CHeldSensor<Sensor>& field, std::unique_ptr<Sensor>& sensor);
    template <typename Sensor>
    Sensor* SensorOf(const CHeldSensor<Sensor>& field) const;

    std::atomic<uint32_t> m_nClassSignature{kClassSignature};
    CHeldSensor<ISensor_VoxPro> m_pVoxSensor;
    CHeldSensor<ISensor_Conductivity> m_pConductivitySensor;
    CHeldSensor<ISensor_PressureDepth> m_pDepthSensor;
};

} // namespace NVSystem
