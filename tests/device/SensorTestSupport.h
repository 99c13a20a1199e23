// What the sensor tests share: an instrument with sensors on its connections, a device linked to it,
// and the register numbers of a sensor window.
#pragma once

#include <cstdint>
#include <vector>

#include "device/SensorCache.h"
#include "device/SensorCtrl.h"
#include "tests/device/DeviceTestSupport.h"

namespace devicetest
{

inline constexpr uint16_t kDoSerial = 5150;
inline constexpr uint16_t kDoParameters = 4;

// Register of field `field` of parameter n's block in the window at base.
constexpr uint16_t BlockRegister(uint16_t base, uint16_t parameter, uint16_t field = 0)
{
    return static_cast<uint16_t>(base + 29 + 8 * parameter + field);
}

class SensorOnSimulator : public DeviceOnSimulator
{
protected:
    // The instrument of the configuration with the optical DO sensor on connection 1, before the
    // device is attached: tests add further sensors or change the table first.
    void StartWithDoSensor(probesim::InstrumentConfig config = {.deviceType = 12})
    {
        StartLine(config);
        Probe().Sensors().Add(1, probesim::OpticalDoSensor(kDoSerial));
    }

    uint16_t Base(uint16_t connection = 1) { return Probe().Sensors().Base(connection); }

    // The parameter descriptions read, so that the next operations start from valid blocks.
    void LoadDescriptions(uint16_t connection = 1)
    {
        USHORT unit = 0;
        ASSERT_EQ(Device().GetParameterUnitId(connection, 1, unit), S_OK);
        Mark();
    }
};

} // namespace devicetest
