#include "tools/probe-sim/PhOrpSensor.h"

#include "tools/probe-sim/SensorUnits.h"
#include "tools/probe-sim/WaterPhysics.h"

namespace probesim
{

namespace
{

constexpr uint16_t kPhId = 17; // parameter ids
constexpr uint16_t kPhMillivoltsId = 18;
constexpr uint16_t kOrpId = 19;

constexpr uint16_t kPhUnits = 0x0001;
constexpr uint16_t kVoltageUnits = 0x0007; // µV, mV, V
// One sentinel a parameter, so that a reading compared with another parameter's is noticed.
constexpr float kPhSentinel = -9981.0f;
constexpr float kMillivoltsSentinel = -9982.0f;
constexpr float kOrpSentinel = -9983.0f;

constexpr float kNernst = 59.16f; // mV per pH at 25 C
constexpr float kFactorySlope = -1.0f / kNernst;
constexpr float kNeutral = 7.0f;
constexpr double kZeroCelsius = 273.15;
// The electrode as it has aged: a little short of the Nernst slope, a few mV off at pH 7; the ORP
// reference a few mV off its nominal potential.
constexpr double kSlopeEfficiency = 0.98;
constexpr double kAsymmetry = 6.0;     // mV
constexpr double kOrpReference = -7.0; // mV

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

// What the pH electrode gives in the water, in mV.
double ElectrodeMillivolts(const SampleContext& context)
{
    const WaterSample& water = context.water;
    return kAsymmetry - kSlopeEfficiency * NernstSlope(water.celsius) * (water.ph - kNeutral);
}

float Ph(const SampleContext& context)
{
    using namespace phsensor;
    const uint16_t unit = context.unitOf ? context.unitOf(kPhMillivolts) : unit::kMilliVolt;
    const double mv =
        context.valueOf ? ToBaseUnit(unit, context.valueOf(kPhMillivolts)) : ElectrodeMillivolts(context);
    const bool baseSide =
        Setting(context, kPointCount, 2) >= 3 && mv < Setting(context, PointValue(2, 1), 0.0);
    const uint16_t segment = baseSide ? 2 : 1;
    const double reference = Setting(context, PointValue(segment, 2), 25.0) + kZeroCelsius;
    const double compensation = reference / (context.water.celsius + kZeroCelsius);
    return static_cast<float>(Setting(context, SegmentOffset(segment), kNeutral) +
                              Setting(context, SegmentSlope(segment), kFactorySlope) * mv * compensation);
}

float Orp(const SampleContext& context)
{
    using namespace phsensor;
    const double electrode = context.water.orp + kOrpReference;
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
        {kPhId, unit::kPh, kPhUnits, kPhSentinel, Ph},
        {kPhMillivoltsId, unit::kMilliVolt, kVoltageUnits, kMillivoltsSentinel,
         [](const SampleContext& context)
         { return static_cast<float>(FromBaseUnit(context.unitId, ElectrodeMillivolts(context))); }},
        {kOrpId, unit::kMilliVolt, kVoltageUnits, kOrpSentinel, Orp},
    };
    // Two points at pH 7 and 4 make the factory calibration; the third is the base-side buffer.
    const float points[3][3] = {
        {7.0f, 0.0f, 25.0f}, {4.0f, 3.0f * kNernst, 25.0f}, {10.0f, -3.0f * kNernst, 25.0f}};
    sensor.settings.push_back(SensorSetting::Calibration(kPointCount, 2.0f, SettingType::Word));
    for (uint16_t point = 1; point <= 3; ++point)
    {
        for (uint16_t value = 0; value < 3; ++value)
            sensor.settings.push_back(
                SensorSetting::Calibration(PointValue(point, value), points[point - 1][value]));
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
