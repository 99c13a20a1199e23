#include "tools/probe-sim/DialledSensors.h"

#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/DeviceTypes.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"

namespace probesim
{

namespace
{

constexpr uint16_t kOxygenConnection = 1;
constexpr uint16_t kConductivityConnection = 2;
constexpr uint16_t kLevelConnection = 3;
constexpr uint16_t kPhOrpConnection = 4;
constexpr uint16_t kConductivityActual = 1;
constexpr uint16_t kConductivityTemperature = 2;
constexpr uint16_t kConductivitySpecific = 3;
constexpr uint16_t kLevelTemperature = 2;

uint32_t SerialOf(const Instrument& probe, uint16_t connection)
{
    return probe.Config().serialNumber * 10u + connection;
}

} // namespace

void FitDialledSensors(Instrument& probe, const SensorDials& dials)
{
    SensorBank& bank = probe.Sensors();
    // The test is the standard: the water keeps the dialled temperature while a sensor calibrates.
    Water water;
    water.celsius = [temperature = dials.temperature](double) { return temperature.Get(); };
    water.standards = false;
    bank.SetWater(std::move(water));

    SimSensor oxygen = OpticalDoSensor(SerialOf(probe, kOxygenConnection));
    ScriptParameter(oxygen, dosensor::kConcentration, dials.oxygen.Function());
    ScriptParameter(oxygen, dosensor::kTemperature, dials.temperature.Function());
    ScriptParameter(oxygen, dosensor::kSaturation, dials.saturation.Function());
    bank.Add(kOxygenConnection, oxygen);
    if (probe.Config().deviceType != kMultiSensorProbeType)
        return;
    SimSensor conductivity = ConductivitySensor(kProbeConductivity, SerialOf(probe, kConductivityConnection));
    ScriptParameter(conductivity, kConductivityActual, dials.actualConductivity.Function());
    ScriptParameter(conductivity, kConductivityTemperature, dials.temperature.Function());
    ScriptParameter(conductivity, kConductivitySpecific, dials.specificConductivity.Function());
    bank.Add(kConductivityConnection, conductivity);
    SimSensor level = LevelSensor(SerialOf(probe, kLevelConnection));
    level.sensorId = kProbeLevelSensorId;
    ScriptParameter(level, kLevelTemperature, dials.temperature.Function());
    bank.Add(kLevelConnection, level);
    // The pH follows the dialled millivolts through the sensor's calibration.
    SimSensor phOrp = PhOrpSensor(SerialOf(probe, kPhOrpConnection));
    ScriptParameter(phOrp, phsensor::kPhMillivolts, dials.pHMillivolts.Function());
    ScriptParameter(phOrp, phsensor::kOrp, dials.orp.Function());
    bank.Add(kPhOrpConnection, phOrp);
}

} // namespace probesim
