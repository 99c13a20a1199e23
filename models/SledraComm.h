// The multi-sensor probe of device type 18: optical DO on connection 1, conductivity on 2, level on 3
// (MultiSensorProbe.h) and pH/ORP on 4, each a sensor adapter that the device factory makes right
// after the device (CreateSensorAdapters) and the device owns and deletes.
#pragma once

#include <cstdint>
#include <memory>

#include "models/MultiSensorProbe.h"

namespace NVSystem
{

class CSledraComm : public CMultiSensorProbe
{
public:
    static constexpr uint32_t kClassSignature = 0x534C4544; // 'SLED'

    // With the registers the probe family places. No sensors yet.
    explicit CSledraComm(const SlaveIdInfo& slaveId) : CMultiSensorProbe(slaveId, kClassSignature) {}

    // Whatever the pointer: true for a live device object of this class.
    static bool IsSledra(CDeviceComm* device) { return IsOfClass(device, kClassSignature); }

    // The four adapters in connection order, the pH/ORP adapter linked to the level adapter. An
    // adapter that cannot be allocated leaves its connection empty. Once: connections that have a
    // sensor keep it.
    void CreateSensorAdapters();

    CSledraComm* QuerySledraComm() override;
    ISensor_pHORP* GetpHORPSensor() override { return SensorOf(m_pPhOrpSensor); }
    // The sensor of connection 1 to 4; E_FAIL, with the output null, for another connection or one
    // without a sensor. The flags are not used.
    HRESULT GetSensor(USHORT connection, ULONG flags, ISensor_Interface*& sensor) override;

protected:
    ~CSledraComm() override;

private:
    CHeldSensor<ISensor_pHORP> m_pPhOrpSensor; // connection 4
};

} // namespace NVSystem
