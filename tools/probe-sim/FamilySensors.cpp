#include "tools/probe-sim/FamilySensors.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/MovedSettings.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace probesim
{

namespace
{

constexpr uint16_t kLevelSondeType = 5;
constexpr uint16_t kConductivityOnlyType = 10;

constexpr uint16_t kFlowId = 28; // parameter ids
constexpr uint16_t kFlowTotalId = 29;
constexpr uint16_t kFlowUnit = 209; // the first unit of each class
constexpr uint16_t kFlowTotalUnit = 225;
constexpr float kSentinel = -9999.0f;

double Wave(double seconds, double period)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period);
}

} // namespace

SimParameter WaterTemperature()
{
    return LevelSensor().parameters.at(levelsensor::kTemperature - 1);
}

SimSensor ConductivitySondeSensor(uint16_t deviceType, uint32_t serialNumber, PressureSource pressure)
{
    if (deviceType != kLevelSondeType && deviceType != kConductivityOnlyType)
        throw std::invalid_argument("no conductivity sonde of device type " + std::to_string(deviceType));
    using namespace sondesensor;
    // The conductivity sensor of the probes keeps its settings where the sonde does already.
    SimSensor sensor = ConductivitySensor(kProbeConductivity, serialNumber);
    sensor.sensorId = kConductivitySondeSensorId;
    if (deviceType == kLevelSondeType)
    {
        const MovedSettings moved{{levelsensor::kSpecificGravity, kSpecificGravity},
                                  {levelsensor::kPressureOffset, kPressureOffset},
                                  {levelsensor::kLevelReference, kLevelReference},
                                  {levelsensor::kPressureReference, kPressureReference}};
        const SimSensor level = LevelSensor(serialNumber, std::move(pressure));
        std::vector<SimParameter> parameters{WithSettingsAt(level.parameters[0], moved), sensor.parameters[1],
                                             WithSettingsAt(level.parameters[2], moved),
                                             sensor.parameters[0]};
        parameters.insert(parameters.end(), sensor.parameters.begin() + 2, sensor.parameters.end());
        sensor.parameters = std::move(parameters);
        sensor.captures = {{kLevelReference, levelsensor::kPressure, kPressureReference}};
    }
    // Type 10 keeps the registers of the level settings without pressure to apply them to.
    sensor.settings.insert(sensor.settings.end(), {SensorSetting::Calibration(kPressureOffset, 0.0f),
                                                   SensorSetting::Float(kSpecificGravity, 1.0f),
                                                   SensorSetting::Float(kLevelReference, 0.0f),
                                                   SensorSetting::Float(kPressureReference, 0.0f),
                                                   SensorSetting::Float(kDynamicFactor, 0.0f)});
    return sensor;
}

SimSensor FlowHeadSensor(uint32_t serialNumber, PressureSource pressure)
{
    SimSensor sensor = LevelSensor(serialNumber, std::move(pressure));
    sensor.sensorId = kFlowHeadSensorId;
    sensor.calibrationTakenAsWritten = true;
    SimParameter& head = sensor.parameters.at(flowsensor::kHead - 1);
    head.parameterId = flowsensor::kHeadId;
    head.otherIds.clear();
    sensor.parameters.push_back({kFlowId, kFlowUnit, 0x0001, kSentinel, [](const SampleContext& context) {
                                     return static_cast<float>(12.5 + 0.5 * Wave(context.seconds, 240.0));
                                 }});
    sensor.parameters.push_back({kFlowTotalId, kFlowTotalUnit, 0x0001, kSentinel,
                                 [](const SampleContext& context)
                                 { return static_cast<float>(1000.0 + 12.5 * context.seconds); }});
    return sensor;
}

void FitFlowFormula(Instrument& logger)
{
    constexpr float kFactory[flowsensor::kCoefficients] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.5f};
    for (uint16_t n = 0; n < flowsensor::kCoefficients; ++n)
        logger.Registers().SetFloat(static_cast<uint16_t>(flowsensor::kFirstCoefficient + 2 * n),
                                    kFactory[n]);
}

SimSensor PhSensor(uint32_t serialNumber)
{
    SimSensor combined = PhOrpSensor(serialNumber);
    SimSensor sensor;
    sensor.sensorId = kPhSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {combined.parameters.at(phsensor::kPh - 1),
                         combined.parameters.at(phsensor::kPhMillivolts - 1), WaterTemperature()};
    for (const SensorSetting& setting : combined.settings)
    {
        if (setting.offset < phsensor::kOrpCalibrationWord)
            sensor.settings.push_back(setting);
    }
    return sensor;
}

SimSensor OrpSensor(uint32_t serialNumber)
{
    using namespace orpsensor;
    const SimSensor combined = PhOrpSensor(serialNumber);
    SimSensor sensor;
    sensor.sensorId = kOrpSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {WithSettingsAt(combined.parameters.at(phsensor::kOrp - 1),
                                        {{phsensor::kOrpSlope, kSlope}, {phsensor::kOrpOffset, kOffset}}),
                         WaterTemperature()};
    sensor.settings = {SensorSetting::Word(kCalibrationWord, 0), SensorSetting::Float(kSolution, 0.0f),
                       SensorSetting::Float(kResponse, 0.0f),    SensorSetting::Float(kTemperature, 25.0f),
                       SensorSetting::Calibration(kSlope, 1.0f), SensorSetting::Calibration(kOffset, 0.0f)};
    return sensor;
}

} // namespace probesim
