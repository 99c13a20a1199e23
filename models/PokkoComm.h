// The handheld (device type 21): optical DO on connection 1, conductivity on 2, level on 3, pH on 4
// and ORP on 5, each a sensor adapter that the device factory makes right after the device
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

class CPokkoComm : public CDeviceComm
{
public:
    static constexpr uint32_t kClassSignature = 0x504F4B4B; // 'POKK'
    static constexpr USHORT kSensorConnections = 5;

    // With the registers the handheld places: template version 47000, external voltage 47004. No
    // sensors yet.
    explicit CPokkoComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live device object of this class.
    static bool IsPokko(CDeviceComm* device);

    // The five adapters in connection order. An adapter that cannot be allocated leaves its
    // connection empty. Once: connections that have a sensor keep it.
    void CreateSensorAdapters();

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    CPokkoComm* QueryPokkoComm() override;
    ISensor_VoxPro* GetVoxProSensor() override;
    ISensor_Conductivity* GetConductivitySensor() override;
    ISensor_PressureTempLevel* GetPressureTempLevelSensor() override;
    ISensor_pH* GetpHSensor() override;
    ISensor_ORP* GetORPSensor() override;
    // The sensor of connection 1 to 5; E_FAIL for another connection or one without a sensor, and
    // the output is left as it was. The flags are not used.
    HRESULT GetSensor(USHORT connection, ULONG flags, ISensor_Interface*& sensor) override;

protected:
    ~CPokkoComm() override;

private:
    template <typename Sensor>
    Sensor* SensorOf(const std::unique_ptr<Sensor>& field);

    std::atomic<uint32_t> m_nClassSignature{kClassSignature};
    std::unique_ptr<ISensor_VoxPro> m_pVoxSensor;                // connection 1
    std::unique_ptr<ISensor_Conductivity> m_pConductivitySensor; // 2
    std::unique_ptr<ISensor_PressureTempLevel> m_pLevelSensor;   // 3
    std::unique_ptr<ISensor_pH> m_pPhSensor;                     // 4
    std::unique_ptr<ISensor_ORP> m_pOrpSensor;                   // 5
};

} // namespace NVSystem
