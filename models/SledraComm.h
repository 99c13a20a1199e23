// The multi-sensor probe of device type 18: optical DO on connection 1, conductivity on 2, level on 3
// and pH/ORP on 4, each a sensor adapter that the device factory makes right after the device
// (CreateSensorAdapters) and the device owns and deletes. The getters and GetSensor hand them out
// without a reference; a caller that keeps one keeps a reference on the device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "device/DeviceComm.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

class CSledraComm : public CDeviceComm
{
public:
    static constexpr uint32_t kClassSignature = 0x534C4544; // 'SLED'

    // With the registers the probe family places: template version 47000, external voltage 47004.
    // No sensors yet.
    explicit CSledraComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live device object of this class.
    static bool IsSledra(CDeviceComm* device);

    // The four adapters in connection order, the pH/ORP adapter linked to the level adapter. An
    // adapter that cannot be allocated leaves its connection empty. Once: connections that have a
    // sensor keep it.
    void CreateSensorAdapters();

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    CSledraComm* QuerySledraComm() override;
    ISensor_VoxPro* GetVoxProSensor() override;
    ISensor_Conductivity* GetConductivitySensor() override;
    ISensor_PressureTempLevel* GetPressureTempLevelSensor() override;
    ISensor_pHORP* GetpHORPSensor() override;
    // The sensor of connection 1 to 4; E_FAIL for another connection or one without a sensor. The
    // flags are not used.
    HRESULT GetSensor(USHORT connection, ULONG flags, ISensor_Interface*& sensor) override;

protected:
    ~CSledraComm() override;

private:
    template <typename Sensor>
    Sensor* SensorOf(const std::unique_ptr<Sensor>& field);

    std::atomic<uint32_t> m_nClassSignature{kClassSignature};
    std::unique_ptr<ISensor_VoxPro> m_pVoxSensor;                // connection 1
    std::unique_ptr<ISensor_Conductivity> m_pConductivitySensor; // 2
    std::unique_ptr<ISensor_PressureTempLevel> m_pLevelSensor;   // 3
    std::unique_ptr<ISensor_pHORP> m_pPhOrpSensor;               // 4
};

} // namespace NVSystem
