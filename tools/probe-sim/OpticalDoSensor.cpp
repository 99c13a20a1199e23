#include "tools/probe-sim/OpticalDoSensor.h"

#include "tools/probe-sim/OpticalDoCalibration.h"
#include "tools/probe-sim/SensorUnits.h"
#include "tools/probe-sim/WaterPhysics.h"

namespace probesim
{

namespace
{

// Unit ids the sensor offers.
constexpr uint16_t kMilliBar = 21;
constexpr uint16_t kTorr = 26;
constexpr uint16_t kPpm = 113;
constexpr uint16_t kMilligramPerLitre = 117;
constexpr uint16_t kMicrogramPerLitre = 118;
constexpr uint16_t kPercentSaturation = 177;

// Bits over the unit classes (base 1, 17, 113, 177).
constexpr uint16_t kTemperatureUnits = 0x0007;
constexpr uint16_t kPressureUnits = 0x0235;      // PSI, kPa, mBar, mmHg, Torr
constexpr uint16_t kConcentrationUnits = 0x0031; // ppm, mg/L, µg/L
constexpr uint16_t kSaturationUnits = 0x0001;

constexpr float kSentinel = -9999.0f;
constexpr double kMillimetresHgPerMilliBar = 0.750062;
constexpr double kPsiPerMilliBar = 1.0 / 68.94757;
// The sensing cap has aged since the factory calibrated it: it sees a little less oxygen than there
// is, so that a calibration has something to correct.
constexpr double kCapResponse = 0.975;

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

double LiveBaro(const SampleContext& context)
{
    return Setting(context, dosensor::kLiveBaro, kStandardAtmosphere);
}

// Percent saturation as the sensor reports it: the oxygen pressure the cap sees, against that of
// air-saturated water at the barometric pressure the sensor was told, after the calibration it took
// (slope and offset are the last two calibration floats).
double Saturation(const SampleContext& context)
{
    const WaterSample& water = context.water;
    const double oxygen =
        water.oxygenSaturation / 100.0 * AirSaturatedOxygenPressure(water.celsius, water.barometricPressure);
    const double airSaturated = AirSaturatedOxygenPressure(water.celsius, LiveBaro(context));
    const double raw = airSaturated > 0.0 ? kCapResponse * oxygen / airSaturated * 100.0 : 0.0;
    return raw * context.calibration[6] + context.calibration[7];
}

float Temperature(const SampleContext& context)
{
    return static_cast<float>(FromBaseUnit(context.unitId, context.water.celsius));
}

// From the saturation by the solubility at the temperature and the salinity and barometric
// pressure the sensor was told.
float Concentration(const SampleContext& context)
{
    const double celsius = context.water.celsius;
    const double salinity = Setting(context, dosensor::kLiveSalinity, 0.0);
    const double mgPerLitre =
        Saturation(context) / 100.0 * OxygenSolubility(celsius, salinity, LiveBaro(context));
    switch (context.unitId)
    {
    case kMicrogramPerLitre:
        return static_cast<float>(mgPerLitre * 1000.0);
    case kPpm: // by mass: mg per kg of water
        return static_cast<float>(mgPerLitre / WaterDensity(celsius, salinity));
    default:
        return static_cast<float>(mgPerLitre);
    }
}

float PartialPressure(const SampleContext& context)
{
    const double mbar =
        Saturation(context) / 100.0 * AirSaturatedOxygenPressure(context.water.celsius, LiveBaro(context));
    switch (context.unitId)
    {
    case kMilliBar:
        return static_cast<float>(mbar);
    case kTorr: // as mmHg within a part in a million
        return static_cast<float>(mbar * kMillimetresHgPerMilliBar);
    default:
        return static_cast<float>(FromBaseUnit(context.unitId, mbar * kPsiPerMilliBar));
    }
}

} // namespace

SimSensor OpticalDoSensor(uint32_t serialNumber)
{
    SimSensor sensor;
    sensor.sensorId = kOpticalDoSensorId;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {
        {20, kMilligramPerLitre, kConcentrationUnits, kSentinel, Concentration},
        {1, unit::kCelsius, kTemperatureUnits, kSentinel, Temperature},
        {21, kPercentSaturation, kSaturationUnits, kSentinel,
         [](const SampleContext& context) { return static_cast<float>(Saturation(context)); }},
        {30, kTorr, kPressureUnits, kSentinel, PartialPressure},
    };
    // DO 100 %, temperature, salinity and barometric pressure at 100 %, DO and temperature at 0 %,
    // slope, offset: the factory calibration the sensor returns to.
    const auto standardBaro = static_cast<float>(kStandardAtmosphere);
    sensor.calibration = {8.0f, 25.0f, 0.0f, standardBaro, 0.0f, 25.0f, 1.0f, 0.0f};
    sensor.calibrationSettings = dosensor::kCalDo100;
    sensor.onUpdateCalibration = ComputeOpticalDoCalibration;
    sensor.settings = {{dosensor::kLiveSalinity, 0.0f},
                       {dosensor::kDefaultSalinity, 0.0f},
                       {dosensor::kLiveBaro, standardBaro},
                       {dosensor::kDefaultBaro, standardBaro}};
    uint16_t offset = dosensor::kCalDo100;
    for (float value : sensor.calibration)
    {
        sensor.settings.push_back({offset, value});
        offset = static_cast<uint16_t>(offset + 2);
    }
    return sensor;
}

} // namespace probesim
