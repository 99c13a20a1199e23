#include "tools/probe-sim/PressureSensors.h"

#include <cmath>
#include <numbers>

#include "tools/probe-sim/SensorUnits.h"

namespace probesim
{

namespace
{

constexpr uint16_t kPressureId = 2; // parameter ids
constexpr uint16_t kTemperatureId = 1;
constexpr uint16_t kDepthId = 3;

constexpr uint16_t kPressureUnits = 0x01FF; // PSI .. inH2O
constexpr uint16_t kTemperatureUnits = 0x0007;
constexpr uint16_t kLengthUnits = 0x003F;
constexpr float kSentinel = -9999.0f;

double Wave(double seconds, double period)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period);
}

PressureSource OrDefault(PressureSource source)
{
    if (source)
        return source;
    return [](double seconds) { return 5.0 + 0.02 * Wave(seconds, 300.0); };
}

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

// The pressure the sensor reports, in PSI, after the offset it holds in the pressure unit.
double CorrectedPsi(const PressureSource& source, const SampleContext& context, uint16_t offsetSetting)
{
    const uint16_t pressureUnit = context.unitOf ? context.unitOf(1) : unit::kPsi;
    const double offset = Setting(context, offsetSetting, 0.0);
    return source(context.seconds) - ToBaseUnit(pressureUnit, offset);
}

ValueFunction Pressure(PressureSource source, uint16_t offsetSetting)
{
    return [source = std::move(source), offsetSetting](const SampleContext& context)
    {
        const double offset = Setting(context, offsetSetting, 0.0);
        return static_cast<float>(FromBaseUnit(context.unitId, source(context.seconds)) - offset);
    };
}

float Temperature(const SampleContext& context)
{
    return static_cast<float>(FromBaseUnit(context.unitId, context.water.celsius));
}

float Level(const PressureSource& source, const SampleContext& context)
{
    using namespace levelsensor;
    const double gravity = Setting(context, kSpecificGravity, 1.0);
    auto depth = [gravity](double psi)
    { return gravity == 0.0 ? 0.0 : psi * kMetresOfWaterPerPsi / gravity; };
    const double metres = depth(CorrectedPsi(source, context, kPressureOffset));
    if (context.parameterId == kDepthOfProbe)
        return static_cast<float>(FromBaseUnit(context.unitId, metres));
    const uint16_t pressureUnit = context.unitOf ? context.unitOf(kPressure) : unit::kPsi;
    const double reference = ToBaseUnit(context.unitId, Setting(context, kLevelReference, 0.0));
    const double atReference = depth(ToBaseUnit(pressureUnit, Setting(context, kPressureReference, 0.0)));
    const double rise = metres - atReference;
    const double level = context.parameterId == kDepthToWater ? reference - rise : reference + rise;
    return static_cast<float>(FromBaseUnit(context.unitId, level));
}

} // namespace

SimSensor LevelSensor(uint32_t serialNumber, PressureSource pressure)
{
    using namespace levelsensor;
    const PressureSource source = OrDefault(std::move(pressure));
    SimSensor sensor;
    sensor.sensorId = kLevelSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {
        {kPressureId, unit::kPsi, kPressureUnits, kSentinel, Pressure(source, kPressureOffset)},
        {kTemperatureId, unit::kCelsius, kTemperatureUnits, kSentinel, Temperature},
        {kDepthOfProbe,
         unit::kMetre,
         kLengthUnits,
         kSentinel,
         [source](const SampleContext& context) { return Level(source, context); },
         {kDepthToWater, kSurfaceElevation}},
    };
    sensor.settings = {
        SensorSetting::Float(kSpecificGravity, 1.0f), SensorSetting::Calibration(kPressureOffset, 0.0f),
        SensorSetting::Float(kLevelReference, 0.0f), SensorSetting::Float(kPressureReference, 0.0f)};
    sensor.captures = {{kLevelReference, kPressure, kPressureReference}};
    return sensor;
}

SimSensor DepthSensor(uint32_t serialNumber, PressureSource pressure)
{
    using namespace depthsensor;
    const PressureSource source = OrDefault(std::move(pressure));
    SimSensor sensor;
    sensor.sensorId = kDepthSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {
        {kPressureId, unit::kPsi, kPressureUnits, kSentinel, Pressure(source, kPressureOffset)},
        {kDepthId, unit::kMetre, kLengthUnits, kSentinel,
         [source](const SampleContext& context)
         {
             const double metres = CorrectedPsi(source, context, kPressureOffset) * kMetresOfWaterPerPsi;
             return static_cast<float>(FromBaseUnit(context.unitId, metres));
         }},
    };
    sensor.settings = {SensorSetting::Float(kDensityCorrection, 1.0f),
                       SensorSetting::Float(kCalibrationB, 0.0f),
                       SensorSetting::Calibration(kPressureOffset, 0.0f)};
    return sensor;
}

SimSensor PressureTemperatureSensor(uint32_t serialNumber, PressureSource pressure)
{
    const PressureSource source = OrDefault(std::move(pressure));
    SimSensor sensor;
    sensor.sensorId = kPressureTemperatureSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {
        {kPressureId, unit::kPsi, kPressureUnits, kSentinel,
         [source](const SampleContext& context)
         { return static_cast<float>(FromBaseUnit(context.unitId, source(context.seconds))); }},
        {kTemperatureId, unit::kCelsius, kTemperatureUnits, kSentinel, Temperature},
    };
    return sensor;
}

} // namespace probesim
