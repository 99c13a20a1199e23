#include "tools/probe-sim/ConductivitySensor.h"

#include "tools/probe-sim/SensorUnits.h"
#include "tools/probe-sim/WaterPhysics.h"

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
constexpr uint16_t kSalinityPpt = 98;
// Temperature's is the one of every other sensor; each quantity of its own has another, so that a
// reading compared with another parameter's sentinel is noticed.
constexpr float kSentinel = -9999.0f;
constexpr float kActualSentinel = -9991.0f;
constexpr float kSpecificSentinel = -9992.0f;
constexpr float kResistivitySentinel = -9993.0f;
constexpr float kSalinitySentinel = -9994.0f;
constexpr float kTdsSentinel = -9995.0f;
constexpr float kDensitySentinel = -9996.0f;

constexpr float kReferenceTemperature = 25.0f;
constexpr float kAlpha = 0.0191f; // the water's own temperature coefficient, per C
constexpr float kTdsFactor = 0.65f;
constexpr size_t kCoefficients = 8;
// The cell has fouled a little since the factory measured its constant: it reads low, so that a
// calibration has something to correct.
constexpr double kCellResponse = 0.975;

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

// µS/cm at the water's temperature, after the cell's calibration.
double Actual(const ConductivityLayout& layout, const SampleContext& context)
{
    const WaterSample& water = context.water;
    const double conductivity =
        water.specificConductance * (1.0 + kAlpha * (water.celsius - kReferenceTemperature));
    const double cell = kCellResponse * conductivity;
    return Setting(context, layout.cellConstant, 1.0) * cell + Setting(context, layout.cellOffset, 0.0);
}

// The compensation polynomial p(T) of the eight coefficients, c0 + c1 T + ... + c7 T^7.
double Polynomial(const ConductivityLayout& layout, const SampleContext& context)
{
    double p = 0.0;
    for (size_t n = kCoefficients; n-- > 0;)
        p = p * context.water.celsius +
            Setting(context, layout.Coefficient(static_cast<uint16_t>(n)), n == 0);
    return p;
}

// The actual conductivity brought to the reference temperature by the sensor's compensation:
// actual x p(T) / (1 + alpha (T - reference)).
double Specific(const ConductivityLayout& layout, const SampleContext& context)
{
    const double alpha = Setting(context, layout.Alpha(), kAlpha);
    const double reference = Setting(context, layout.referenceTemperature, kReferenceTemperature);
    const double divisor = 1.0 + alpha * (context.water.celsius - reference);
    return divisor == 0.0 ? 0.0 : Actual(layout, context) * Polynomial(layout, context) / divisor;
}

double Salinity(const ConductivityLayout& layout, const SampleContext& context)
{
    return PracticalSalinity(Actual(layout, context), context.water.celsius);
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
        {kActualId, unit::kMicroSiemens, kConductivityUnits, kActualSentinel, InUnit(Actual, layout)});
    if (layout.temperature)
    {
        sensor.parameters.push_back(
            {kTemperatureId, unit::kCelsius, kTemperatureUnits, kSentinel, [](const SampleContext& context) {
                 return static_cast<float>(FromBaseUnit(context.unitId, context.water.celsius));
             }});
    }
    sensor.parameters.push_back(
        {kSpecificId, unit::kMicroSiemens, kConductivityUnits, kSpecificSentinel, InUnit(Specific, layout)});
    sensor.parameters.push_back({kResistivityId, unit::kOhmCm, kOneUnit, kResistivitySentinel,
                                 [layout](const SampleContext& context)
                                 {
                                     const double actual = Actual(layout, context);
                                     return static_cast<float>(actual <= 0.0 ? 0.0 : 1.0e6 / actual);
                                 }});
    sensor.parameters.push_back({kSalinityId, unit::kPsu, kSalinityUnits, kSalinitySentinel,
                                 [layout](const SampleContext& context)
                                 {
                                     const double psu = Salinity(layout, context);
                                     return static_cast<float>(
                                         context.unitId == kSalinityPpt ? SalinityPpt(psu) : psu);
                                 }});
    sensor.parameters.push_back({kTdsId, unit::kPpm, kTdsUnits, kTdsSentinel,
                                 [layout](const SampleContext& context)
                                 {
                                     const double ppm = Specific(layout, context) *
                                                        Setting(context, layout.tdsFactor, kTdsFactor);
                                     // mg/L as ppm: the factor is taken by volume.
                                     return static_cast<float>(FromBaseUnit(context.unitId, ppm));
                                 }});
    sensor.parameters.push_back(
        {kDensityId, unit::kGramPerCm3, kOneUnit, kDensitySentinel, [layout](const SampleContext& context) {
             return static_cast<float>(WaterDensity(context.water.celsius, Salinity(layout, context)));
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
