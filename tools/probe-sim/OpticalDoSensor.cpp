#include "tools/probe-sim/OpticalDoSensor.h"

#include <cmath>
#include <numbers>

#include "tools/probe-sim/OpticalDoCalibration.h"

namespace probesim
{

namespace
{

// Unit ids the sensor offers.
constexpr uint16_t kCelsius = 1;
constexpr uint16_t kFahrenheit = 2;
constexpr uint16_t kKelvin = 3;
constexpr uint16_t kPsi = 17;
constexpr uint16_t kKiloPascal = 19;
constexpr uint16_t kMilliBar = 21;
constexpr uint16_t kMillimetreHg = 22;
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

constexpr float kStandardBaro = 1013.25f; // mBar
constexpr float kSentinel = -9999.0f;

double Wave(double seconds, double period, double phase)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period + phase);
}

double Celsius(const SampleContext& context)
{
    return 20.0 + 2.0 * Wave(context.seconds, 120.0, 0.0);
}

// Percent saturation after the calibration the sensor took (slope and offset are the last two
// calibration floats).
double Saturation(const SampleContext& context)
{
    const double raw = 95.0 + 3.0 * Wave(context.seconds, 90.0, 1.0);
    return raw * context.calibration[6] + context.calibration[7];
}

double Setting(const SampleContext& context, uint16_t offset, double fallback)
{
    if (!context.setting)
        return fallback;
    return context.setting(offset).value_or(static_cast<float>(fallback));
}

float Temperature(const SampleContext& context)
{
    const double celsius = Celsius(context);
    switch (context.unitId)
    {
    case kFahrenheit:
        return static_cast<float>(celsius * 1.8 + 32.0);
    case kKelvin:
        return static_cast<float>(celsius + 273.15);
    default:
        return static_cast<float>(celsius);
    }
}

float Concentration(const SampleContext& context)
{
    const double salinity = Setting(context, dosensor::kLiveSalinity, 0.0);
    const double baro = Setting(context, dosensor::kLiveBaro, kStandardBaro);
    const double mgPerLitre = Saturation(context) / 100.0 * OxygenSolubility(Celsius(context)) *
                              (1.0 - 0.006 * salinity) * baro / kStandardBaro;
    switch (context.unitId)
    {
    case kMicrogramPerLitre:
        return static_cast<float>(mgPerLitre * 1000.0);
    case kPpm: // in water as mg/L
    default:
        return static_cast<float>(mgPerLitre);
    }
}

float PartialPressure(const SampleContext& context)
{
    const double baro = Setting(context, dosensor::kLiveBaro, kStandardBaro);
    const double vapour = 4.58 * std::exp(0.0621 * Celsius(context)); // mmHg
    const double mmHg = Saturation(context) / 100.0 * 0.2095 * (baro * 0.750062 - vapour);
    switch (context.unitId)
    {
    case kPsi:
        return static_cast<float>(mmHg * 0.0193368);
    case kKiloPascal:
        return static_cast<float>(mmHg * 0.133322);
    case kMilliBar:
        return static_cast<float>(mmHg * 1.33322);
    case kMillimetreHg:
    case kTorr:
    default:
        return static_cast<float>(mmHg);
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
        {1, kCelsius, kTemperatureUnits, kSentinel, Temperature},
        {21, kPercentSaturation, kSaturationUnits, kSentinel,
         [](const SampleContext& context) { return static_cast<float>(Saturation(context)); }},
        {30, kTorr, kPressureUnits, kSentinel, PartialPressure},
    };
    // DO 100 %, temperature, salinity and barometric pressure at 100 %, DO and temperature at 0 %,
    // slope, offset: the factory calibration the sensor returns to.
    sensor.calibration = {8.0f, 25.0f, 0.0f, kStandardBaro, 0.0f, 25.0f, 1.0f, 0.0f};
    sensor.calibrationSettings = dosensor::kCalDo100;
    sensor.onUpdateCalibration = ComputeOpticalDoCalibration;
    sensor.settings = {{dosensor::kLiveSalinity, 0.0f},
                       {dosensor::kDefaultSalinity, 0.0f},
                       {dosensor::kLiveBaro, kStandardBaro},
                       {dosensor::kDefaultBaro, kStandardBaro}};
    uint16_t offset = dosensor::kCalDo100;
    for (float value : sensor.calibration)
    {
        sensor.settings.push_back({offset, value});
        offset = static_cast<uint16_t>(offset + 2);
    }
    return sensor;
}

} // namespace probesim
