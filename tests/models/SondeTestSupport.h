// What the tests of the multi-parameter sonde share: a simulated sonde with the sensors of a list of
// sonde sensor ids on connections 1, 2, ..., the sonde device the factory makes for it, and its
// sensor objects by connection.
#pragma once

#include <vector>

#include "models/MK600Comm.h"
#include "tests/models/FamilyTestSupport.h"
#include "tools/probe-sim/SondeSensors.h"

namespace modeltest
{

class SondeTest : public ModelTest
{
protected:
    void StartSonde(const std::vector<uint16_t>& sensorIds, uint16_t type = 26, bool inBootCode = false)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(type, kProbeSerial);
        config.boot.startInBoot = inBootCode;
        StartProbe(config, probesim::ProbeSensors::None);
        probesim::FitSondeSensors(Probe(), sensorIds);
        ASSERT_TRUE(Succeeded(CreateDevice()));
        ASSERT_TRUE(NVSystem::CMK600Comm::IsMK600(&Device()));
        Mark();
    }

    // A sonde with the sensors as described, on connections 1, 2, ...
    void StartSondeWith(const std::vector<probesim::SimSensor>& sensors, uint16_t type = 26)
    {
        StartProbe(probesim::ProbeConfig(type, kProbeSerial), probesim::ProbeSensors::None);
        probesim::FitSondeSensors(Probe(), {});
        for (size_t i = 0; i < sensors.size(); ++i)
            Probe().Sensors().Add(static_cast<uint16_t>(i + 1), sensors[i]);
        ASSERT_TRUE(Succeeded(CreateDevice()));
        Mark();
    }
    // The preset sonde's sensor of the id, as it would sit on the connection.
    static probesim::SimSensor SondeSensor(uint16_t sensorId, uint16_t connection)
    {
        return probesim::SondeSensor(sensorId, SensorSerial(connection));
    }

    // The sonde's object for the connection; null when it has none.
    NVSystem::ISensor_Interface* At(uint16_t connection)
    {
        NVSystem::ISensor_Interface* sensor = nullptr;
        EXPECT_EQ(Device().GetSensor(connection, 0, sensor), S_OK) << connection;
        Mark();
        return sensor;
    }
};

} // namespace modeltest
