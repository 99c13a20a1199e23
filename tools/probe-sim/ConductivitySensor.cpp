#include "tools/probe-sim/ConductivitySensor.h"

#include <cmath>
#include <numbers>

#include "tools/probe-sim/SensorUnits.h"

namespace probesim
{

namespace
{

constexpr uint16_t kActualId = 9; // parameter ids
constexpr uint16_t kSpecificId = 10;
constexpr uint16_t kResistivityId = 11;
constexpr uint16_t kSalinityId = 12;
constexpr uint16_t kTdsId = 13;
constexpr uint16_t kDensityId = 14;
constexpr uint16_t kTemperatureId = 1;

constexpr uint16_t kConductivityUnits = 0x0003; // µS/cm, mS/cm
constexpr uint16_t kSalinityUnits = 0x0003;     // PSU, ppt
constexpr uint16_t kTdsUnits = 0x0013;          // ppm, ppt, mg/L
constexpr uint16_t kOneUnit = 0x0001;
constexpr uint16_t kTemperatureUnits = 0x0007;
constexpr float kSentinel = -9999.0f;

constexpr float kReferenceTemperature = 25.0f;
constexpr float kAlpha = 0.0191f;
constexpr float kTdsFactor = 0.65f;

double Wave(double seconds, double period, double phase)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period + phase);
}

double Celsius(const SampleContext& context)
{
    return 20.0 + 2.0 * Wave(context.seconds, 120.0, 0.0);
}

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

// µS/cm at the water's temperature, after the cell's calibration.
double Actual(const ConductivityLayout& layout, const SampleContext& context)
{
    const double specific = 450.0 + 30.0 * Wave(context.seconds, 200.0, 0.5);
    const double cell = specific * (1.0 + kAlpha * (Celsius(context) - kReferenceTemperature));
    return Setting(context, layout.cellConstant, 1.0) * cell + Setting(context, layout.cellOffset, 0.0);
}

double Specific(const ConductivityLayout& layout, const SampleContext& context)
{
    const double alpha = Setting(context, layout.Alpha(), kAlpha);
    const double reference = Setting(context, layout.referenceTemperature, kReferenceTemperature);
    const double divisor = 1.0 + alpha * (Celsius(context) - reference);
    return divisor == 0.0 ? 0.0 : Actual(layout, context) / divisor;
}

double Salinity(const ConductivityLayout& layout, const SampleContext& context)
{
    return Specific(layout, context) * 0.00064;
}

ValueFunction InUnit(double (*quantity)(const ConductivityLayout&, const SampleContext&),
                     const ConductivityLayout& layout)
{
    return [quantity, layout](const SampleContext& context)
    { return static_cast<float>(FromBaseUnit(context.unitId, quantity(layout, context))); };
}

} // namespace

SimSensor ConductivitySensor(const ConductivityLayout& layout, uint32_t serialNumber)
{
    SimSensor sensor;
    sensor.sensorId = layout.sensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters.push_back(
        {kActualId, unit::kMicroSiemens, kConductivityUnits, kSentinel, InUnit(Actual, layout)});
    if (layout.temperature)
    {
        sensor.parameters.push_back(
            {kTemperatureId, unit::kCelsius, kTemperatureUnits, kSentinel, [](const SampleContext& context) {
                 return static_cast<float>(FromBaseUnit(context.unitId, Celsius(context)));
             }});
    }
    sensor.parameters.push_back(
        {kSpecificId, unit::kMicroSiemens, kConductivityUnits, kSentinel, InUnit(Specific, layout)});
    sensor.parameters.push_back({kResistivityId, unit::kOhmCm, kOneUnit, kSentinel,
                                 [layout](const SampleContext& context)
                                 {
                                     const double actual = Actual(layout, context);
                                     return static_cast<float>(actual <= 0.0 ? 0.0 : 1.0e6 / actual);
                                 }});
    sensor.parameters.push_back({kSalinityId, unit::kPsu, kSalinityUnits, kSentinel,
                                 [layout](const SampleContext& context)
                                 { return static_cast<float>(Salinity(layout, context)); }});
    sensor.parameters.push_back({kTdsId, unit::kPpm, kTdsUnits, kSentinel,
                                 [layout](const SampleContext& context)
                                 {
                                     const double ppm = Specific(layout, context) *
                                                        Setting(context, layout.tdsFactor, kTdsFactor);
                                     return static_cast<float>(FromBaseUnit(context.unitId, ppm));
                                 }});
    sensor.parameters.push_back({kDensityId, unit::kGramPerCm3, kOneUnit, kSentinel,
                                 [layout](const SampleContext& context)
                                 {
                                     const double celsius = Celsius(context);
                                     return static_cast<float>(0.99985 + 0.00078 * Salinity(layout, context) -
                                                               0.0002 * (celsius - 4.0));
                                 }});

    sensor.settings = {SensorSetting::Calibration(layout.cellOffset, 0.0f),
                       SensorSetting::Calibration(layout.cellConstant, 1.0f),
                       SensorSetting::Float(layout.referenceTemperature, kReferenceTemperature),
                       SensorSetting::Float(layout.Alpha(), kAlpha),
                       SensorSetting::Float(layout.tdsFactor, kTdsFactor)};
    for (uint16_t n = 0; n < 8; ++n)
        sensor.settings.push_back(SensorSetting::Float(layout.Coefficient(n), n == 0 ? 1.0f : 0.0f));
    return sensor;
}

} // namespace probesim
