// The VOX core device: class test, downcast, and the three sensors it holds.
#include "models/VOXCoreICComm.h"

namespace NVSystem
{

CVOXCoreICComm::CVOXCoreICComm(const SlaveIdInfo& slaveId) : CDeviceComm(slaveId) {}

CVOXCoreICComm::~CVOXCoreICComm()
{
    m_nClassSignature.store(0);
    // The conductivity sensor forwards to the optical-DO sensor: it goes first.
    m_pDepthSensor.reset();
    m_pConductivitySensor.reset();
    m_pVoxSensor.reset();
}

bool CVOXCoreICComm::IsVOXCoreIC(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CVOXCoreICComm* CVOXCoreICComm::QueryVOXCoreICComm()
{
    if (!IsVOXCoreIC(this))
        return nullptr;
    AddRef();
    return this;
}

template <typename Sensor>
Sensor* CVOXCoreICComm::SensorOf(const CHeldSensor<Sensor>& field) const
{
    return IsTagged() ? field.get() : nullptr;
}

template <typename Sensor>
HRESULT CVOXCoreICComm::TakeSensor(CHeldSensor<Sensor>& field, std::unique_ptr<Sensor>& sensor)
{
    if (!IsVOXCoreIC(this))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    if (sensor == nullptr)
        return E_POINTER;
    // The device lock keeps two placings apart; the getters do without it.
    CScopedLock lock(m_DeviceLock);
    if (field != nullptr)
        return E_FAIL;
    field.reset(sensor.release());
    return S_OK;
}

ISensor_VoxPro* CVOXCoreICComm::GetVoxProSensor()
{
    return SensorOf(m_pVoxSensor);
}

ISensor_Conductivity* CVOXCoreICComm::GetConductivitySensor()
{
    return SensorOf(m_pConductivitySensor);
}

ISensor_PressureDepth* CVOXCoreICComm::GetPressureDepthSensor()
{
    return SensorOf(m_pDepthSensor);
}

HRESULT CVOXCoreICComm::SetVoxProSensor(std::unique_ptr<ISensor_VoxPro>& sensor)
{
    return TakeSensor(m_pVoxSensor, sensor);
}

HRESULT CVOXCoreICComm::SetConductivitySensor(std::unique_ptr<ISensor_Conductivity>& sensor)
{
    return TakeSensor(m_pConductivitySensor, sensor);
}

HRESULT CVOXCoreICComm::SetPressureDepthSensor(std::unique_ptr<ISensor_PressureDepth>& sensor)
{
    return TakeSensor(m_pDepthSensor, sensor);
}

} // namespace NVSystem
