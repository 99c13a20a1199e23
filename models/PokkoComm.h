// The handheld (device type 21): optical DO on connection 1, conductivity on 2, level on 3
// (MultiSensorProbe.h), pH on 4 and ORP on 5, each a sensor adapter that the device factory makes
// right after the device (CreateSensorAdapters) and the device owns and deletes in connection order.
#pragma once

#include <cstdint>
#include <memory>

#include "models/MultiSensorProbe.h"

namespace NVSystem
{

class CPokkoComm : public CMultiSensorProbe
{
public:
    static constexpr uint32_t kClassSignature = 0x504F4B4B; // 'POKK'
    static constexpr USHORT kSensorConnections = 5;

    // With the registers the handheld places: template version 47000, external voltage 47004. No
    // sensors yet.
    explicit CPokkoComm(const SlaveIdInfo& slaveId) : CMultiSensorProbe(slaveId, kClassSignature) {}

    // Whatever the pointer: true for a live device object of this class.
    static bool IsPokko(CDeviceComm* device) { return IsOfClass(device, kClassSignature); }

    // The five adapters in connection order. An adapter that cannot be allocated leaves its
    // connection empty. Once: connections that have a sensor keep it.
    void CreateSensorAdapters();

    CPokkoComm* QueryPokkoComm() override;
    ISensor_pH* GetpHSensor() override { return SensorOf(m_pPhSensor); }
    ISensor_ORP* GetORPSensor() override { return SensorOf(m_pOrpSensor); }
    // The sensor of connection 1 to 5; E_FAIL for another connection or one without a sensor, and
    // the output is left as it was. The flags are not used.
    HRESULT GetSensor(USHORT connection, ULONG flags, ISensor_Interface*& sensor) override;

protected:
    ~CPokkoComm() override;

private:
    CHeldSensor<ISensor_pH> m_pPhSensor;   // connection 4
    CHeldSensor<ISensor_ORP> m_pOrpSensor; // 5
};

} // namespace NVSystem
