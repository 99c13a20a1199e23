#include "tools/probe-sim/DialledSensors.h"

#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/DeviceTypes.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/SensorUnits.h"

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

// The dial holds the value in the parameter's unit at start; a master that chose another unit of
// the class gets it converted, as from a sensor's own value.
ValueFunction InChosenUnit(const ValueDial& dial, uint16_t dialUnit)
{
    return [value = dial.Function(), dialUnit](const SampleContext& context)
    {
        const float dialled = value(context);
        if (context.unitId == 0 || context.unitId == dialUnit)
            return dialled;
        return static_cast<float>(FromBaseUnit(context.unitId, ToBaseUnit(dialUnit, dialled)));
    };
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
    ScriptParameter(oxygen, dosensor::kConcentration, InChosenUnit(dials.oxygen, unit::kMilligramPerLitre));
    ScriptParameter(oxygen, dosensor::kTemperature, InChosenUnit(dials.temperature, unit::kCelsius));
    ScriptParameter(oxygen, dosensor::kSaturation, dials.saturation.Function());
    bank.Add(kOxygenConnection, oxygen);
    if (probe.Config().deviceType != kMultiSensorProbeType)
        return;
    SimSensor conductivity = ConductivitySensor(kProbeConductivity, SerialOf(probe, kConductivityConnection));
    ScriptParameter(conductivity, kConductivityActual,
                    InChosenUnit(dials.actualConductivity, unit::kMicroSiemens));
    ScriptParameter(conductivity, kConductivityTemperature, InChosenUnit(dials.temperature, unit::kCelsius));
    ScriptParameter(conductivity, kConductivitySpecific,
                    InChosenUnit(dials.specificConductivity, unit::kMicroSiemens));
    bank.Add(kConductivityConnection, conductivity);
    SimSensor level = LevelSensor(SerialOf(probe, kLevelConnection));
    level.sensorId = kProbeLevelSensorId;
    ScriptParameter(level, kLevelTemperature, InChosenUnit(dials.temperature, unit::kCelsius));
    bank.Add(kLevelConnection, level);
    // The pH follows the dialled millivolts through the sensor's calibration.
    SimSensor phOrp = PhOrpSensor(SerialOf(probe, kPhOrpConnection));
    ScriptParameter(phOrp, phsensor::kPhMillivolts, InChosenUnit(dials.pHMillivolts, unit::kMilliVolt));
    ScriptParameter(phOrp, phsensor::kOrp, InChosenUnit(dials.orp, unit::kMilliVolt));
    bank.Add(kPhOrpConnection, phOrp);
}

} // namespace probesim
