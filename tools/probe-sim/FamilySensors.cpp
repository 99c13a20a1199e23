#include "tools/probe-sim/FamilySensors.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
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
constexpr uint16_t kBarometricPressureId = 16;
// The conductivity quantities in the instruments' order.
constexpr uint16_t kConductivityOrder[] = {9, 10, 12, 13, 11, 14};
constexpr uint16_t kFlowUnit = 209; // the first unit of each class
constexpr uint16_t kFlowTotalUnit = 225;
constexpr float kSentinel = -9999.0f;
constexpr double kStandardAtmospherePsi = 14.6959;

double Wave(double seconds, double period)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period);
}

} // namespace

SimParameter WaterTemperature()
{
    return LevelSensor().parameters.at(levelsensor::kTemperature - 1);
}

std::vector<SimParameter> ConductivityQuantities(const std::vector<SimParameter>& parameters)
{
    std::vector<SimParameter> ordered;
    for (uint16_t id : kConductivityOrder)
    {
        const auto found = std::find_if(parameters.begin(), parameters.end(),
                                        [id](const SimParameter& p) { return p.parameterId == id; });
        if (found == parameters.end())
            throw std::invalid_argument("no conductivity quantity of parameter id " + std::to_string(id));
        ordered.push_back(*found);
    }
    return ordered;
}

SimSensor ConductivitySondeSensor(uint16_t deviceType, uint32_t serialNumber, PressureSource pressure)
{
    if (deviceType != kLevelSondeType && deviceType != kConductivityOnlyType)
        throw std::invalid_argument("no conductivity sonde of device type " + std::to_string(deviceType));
    using namespace sondesensor;
    // The conductivity sensor of the probes keeps its settings where the sonde does already.
    SimSensor sensor = ConductivitySensor(kProbeConductivity, serialNumber);
    const std::vector<SimParameter> quantities = ConductivityQuantities(sensor.parameters);
    const SimParameter temperature = sensor.parameters.at(1);
    if (deviceType == kLevelSondeType)
    {
        const MovedSettings moved{{levelsensor::kSpecificGravity, kSpecificGravity},
                                  {levelsensor::kPressureOffset, kPressureOffset},
                                  {levelsensor::kLevelReference, kLevelReference},
                                  {levelsensor::kPressureReference, kPressureReference}};
        const SimSensor level = LevelSensor(serialNumber, std::move(pressure));
        sensor.sensorId = kConductivitySondeSensorId;
        sensor.parameters = {WithSettingsAt(level.parameters[0], moved), temperature,
                             WithSettingsAt(level.parameters[2], moved)};
        sensor.parameters.insert(sensor.parameters.end(), quantities.begin(), quantities.end());
        sensor.captures = {{kLevelReference, levelsensor::kPressure, kPressureReference}};
    }
    else
    {
        sensor.sensorId = kConductivityOnlySondeSensorId;
        sensor.parameters = {quantities.front(), temperature};
        sensor.parameters.insert(sensor.parameters.end(), quantities.begin() + 1, quantities.end());
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

SimSensor BarometricLoggerSensor(uint32_t serialNumber)
{
    // The air's pressure, moving slowly around the standard atmosphere.
    SimSensor sensor = PressureTemperatureSensor(
        serialNumber, [](double seconds) { return kStandardAtmospherePsi + 0.05 * Wave(seconds, 600.0); });
    sensor.sensorId = kBarometricLoggerSensorId;
    sensor.parameters.at(0).parameterId = kBarometricPressureId;
    return sensor;
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
