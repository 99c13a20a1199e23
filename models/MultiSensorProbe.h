// What the multi-sensor probes share (device type 18, SledraComm.h, and the handheld of type 21,
// PokkoComm.h): the registers their family places (template version 47000, external voltage 47004),
// the class test, and the adapters of their first three connections (optical DO on 1, conductivity
// on 2, level on 3), which the device factory makes right after the device and the device owns and
// deletes. The getters hand the adapters out without a reference; a caller that keeps one keeps a
// reference on the device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "device/DeviceComm.h"
#include "models/HeldSensor.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

class CMultiSensorProbe : public CDeviceComm
{
public:
    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    ISensor_VoxPro* GetVoxProSensor() override { return SensorOf(m_pVoxSensor); }
    ISensor_Conductivity* GetConductivitySensor() override { return SensorOf(m_pConductivitySensor); }
    ISensor_PressureTempLevel* GetPressureTempLevelSensor() override { return SensorOf(m_pLevelSensor); }

protected:
    // No sensors yet.
    CMultiSensorProbe(const SlaveIdInfo& slaveId, uint32_t classSignature);
    // These go in connection order, after the class's own sensors unless the class deleted them
    // first.
    ~CMultiSensorProbe() override;

    // Whatever the pointer: true for a live device object of the class.
    static bool IsOfClass(CDeviceComm* device, uint32_t classSignature)
    {
        return device != nullptr && device->IsTagged() && device->GetClassSignature() == classSignature;
    }
    // First in the destructor of the class: a stray pointer fails the class test from then on.
    void ClearClassSignature() { m_nClassSignature.store(0); }

    // Under the device lock, the adapters of connections 1 to 3 where they are missing. An adapter
    // that cannot be allocated leaves its connection empty.
    void CreateFirstSensorAdapters();
    // The adapters of connections 1 to 3, in that order; for a class whose own adapters go after
    // them (the base's destructor finds none left).
    void DeleteFirstSensorAdapters();
    // The sensor of connection 1, 2 or 3; null for another connection or one without a sensor.
    ISensor_Interface* FirstSensorAt(USHORT connection);

    // A sensor the device holds; null once the device is gone. Without the device lock (HeldSensor.h).
    template <typename Sensor>
    Sensor* SensorOf(const CHeldSensor<Sensor>& field) const
    {
        return IsTagged() ? field.get() : nullptr;
    }

    CHeldSensor<ISensor_PressureTempLevel> m_pLevelSensor; // connection 3

private:
    std::atomic<uint32_t> m_nClassSignature;
    CHeldSensor<ISensor_VoxPro> m_pVoxSensor;                // connection 1
    CHeldSensor<ISensor_Conductivity> m_pConductivitySensor; // 2
};

} // namespace NVSystem
