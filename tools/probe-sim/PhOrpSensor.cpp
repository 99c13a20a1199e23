#include "tools/probe-sim/PhOrpSensor.h"

#include <cmath>
#include <numbers>

#include "tools/probe-sim/SensorUnits.h"

namespace probesim
{

namespace
{

constexpr uint16_t kPhId = 17; // parameter ids
constexpr uint16_t kPhMillivoltsId = 18;
constexpr uint16_t kOrpId = 19;

constexpr uint16_t kPhUnits = 0x0001;
constexpr uint16_t kVoltageUnits = 0x0007; // µV, mV, V
constexpr float kSentinel = -9999.0f;

constexpr float kNernst = 59.16f; // mV per pH at 25 C
constexpr float kFactorySlope = -1.0f / kNernst;
constexpr float kNeutral = 7.0f;

double Wave(double seconds, double period)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period);
}

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

// What the pH electrode gives in the water, in mV (the level sensor's water temperature).
double ElectrodeMillivolts(const SampleContext& context)
{
    const double ph = 7.2 + 0.3 * Wave(context.seconds, 150.0);
    const double kelvin = 12.0 + 0.5 * Wave(context.seconds, 600.0) + 273.15;
    return -kNernst * (ph - kNeutral) * kelvin / 298.15;
}

float Ph(const SampleContext& context)
{
    using namespace phsensor;
    const double mv = ElectrodeMillivolts(context);
    const uint16_t segment = Setting(context, kPointCount, 2) >= 3 && mv < 0.0 ? 2 : 1;
    return static_cast<float>(Setting(context, SegmentOffset(segment), kNeutral) +
                              Setting(context, SegmentSlope(segment), kFactorySlope) * mv);
}

float Orp(const SampleContext& context)
{
    using namespace phsensor;
    const double electrode = 200.0 + 20.0 * Wave(context.seconds, 180.0);
    const double mv = Setting(context, kOrpSlope, 1.0) * electrode + Setting(context, kOrpOffset, 0.0);
    return static_cast<float>(FromBaseUnit(context.unitId, mv));
}

} // namespace

SimSensor PhOrpSensor(uint32_t serialNumber)
{
    using namespace phsensor;
    SimSensor sensor;
    sensor.sensorId = kPhOrpSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {
        {kPhId, unit::kPh, kPhUnits, kSentinel, Ph},
        {kPhMillivoltsId, unit::kMilliVolt, kVoltageUnits, kSentinel,
         [](const SampleContext& context)
         { return static_cast<float>(FromBaseUnit(context.unitId, ElectrodeMillivolts(context))); }},
        {kOrpId, unit::kMilliVolt, kVoltageUnits, kSentinel, Orp},
    };
    // Two points at pH 7 and 4 make the factory calibration; the third is the base-side buffer.
    const float points[3][3] = {
        {7.0f, 0.0f, 25.0f}, {4.0f, 3.0f * kNernst, 25.0f}, {10.0f, -3.0f * kNernst, 25.0f}};
    sensor.settings.push_back(SensorSetting::Calibration(kPointCount, 2.0f, SettingType::Word));
    for (uint16_t point = 1; point <= 3; ++point)
    {
        for (uint16_t value = 0; value < 3; ++value)
            sensor.settings.push_back(
                SensorSetting::Float(PointValue(point, value), points[point - 1][value]));
    }
    for (uint16_t segment = 1; segment <= 2; ++segment)
    {
        sensor.settings.push_back(SensorSetting::Calibration(SegmentSlope(segment), kFactorySlope));
        sensor.settings.push_back(SensorSetting::Calibration(SegmentOffset(segment), kNeutral));
    }
    sensor.settings.push_back(SensorSetting::Word(kOrpCalibrationWord, 0));
    sensor.settings.push_back(SensorSetting::Float(kOrpSolution, 0.0f));
    sensor.settings.push_back(SensorSetting::Float(kOrpResponse, 0.0f));
    sensor.settings.push_back(SensorSetting::Float(kOrpTemperature, 25.0f));
    sensor.settings.push_back(SensorSetting::Calibration(kOrpSlope, 1.0f));
    sensor.settings.push_back(SensorSetting::Calibration(kOrpOffset, 0.0f));
    return sensor;
}

} // namespace probesim
