#include "tools/probe-sim/SondeSensors.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/FamilySensors.h"
#include "tools/probe-sim/MovedSettings.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/SensorUnits.h"

namespace probesim
{

namespace
{

constexpr uint16_t kBaroId = 16; // parameter ids
constexpr uint16_t kTurbidityId = 25;
constexpr uint16_t kSuspendedSolidsId = 31;

// The two quantities of a fluorometer: its concentration and its fluorescence.
struct FluorometerIds
{
    uint16_t concentration;
    uint16_t fluorescence;
};
constexpr FluorometerIds kRhodamineIds{34, 35};
constexpr FluorometerIds kChlorophyllIds{50, 51};
constexpr FluorometerIds kPhycocyaninIds{54, 55};
constexpr FluorometerIds kPhycoerythrinIds{58, 59};

// The quantities of an ion-selective electrode: its ion's concentration and its millivolts (the
// ammonium electrode also ammonia and total ammonia).
constexpr uint16_t kNitrateIds[] = {37, 38};
constexpr uint16_t kAmmoniumIds[] = {39, 40, 41, 42};
constexpr uint16_t kChlorideIds[] = {24, 36};

constexpr uint16_t kMilliBar = 21;
constexpr uint16_t kFnu = 193;
constexpr uint16_t kRfu = 257;
constexpr uint16_t kMicrogramPerLitre = 118;
constexpr uint16_t kPressureUnits = 0x01FF;
constexpr uint16_t kVoltageUnits = 0x0007;
constexpr uint16_t kIonUnits = 0x0011;     // ppm, mg/L: alike in water
constexpr uint16_t kPigmentUnits = 0x0020; // µg/L
constexpr uint16_t kOneUnit = 0x0001;
constexpr float kSentinel = -9999.0f;
constexpr double kStandardBaroPsi = 14.6959;
constexpr float kStandardBaro = 1013.25f; // mBar

double Wave(double seconds, double period)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period);
}

// A quantity that moves slowly around its level, in the unit asked for.
ValueFunction Around(double level, double swing)
{
    return [level, swing](const SampleContext& context) {
        return static_cast<float>(FromBaseUnit(context.unitId, level + swing * Wave(context.seconds, 200.0)));
    };
}

std::vector<SensorSetting> Floats(std::initializer_list<std::pair<uint16_t, float>> values)
{
    std::vector<SensorSetting> settings;
    for (const auto& [offset, value] : values)
        settings.push_back(SensorSetting::Float(offset, value));
    return settings;
}

// The calibration points and two line segments of the pH and ion-selective sensors.
std::vector<SensorSetting> SegmentCalibration(float slope, float offset)
{
    std::vector<SensorSetting> settings{SensorSetting::Float(sonde::kPointCount, 2.0f)};
    for (uint16_t point = 1; point <= 3; ++point)
    {
        for (uint16_t value = 0; value < 3; ++value)
            settings.push_back(SensorSetting::Float(sonde::PointValue(point, value), 0.0f));
    }
    for (uint16_t segment = 1; segment <= 2; ++segment)
    {
        settings.push_back(SensorSetting::Float(sonde::SegmentSlope(segment), slope));
        settings.push_back(SensorSetting::Float(sonde::SegmentOffset(segment), offset));
    }
    return settings;
}

SimSensor Level(uint32_t serialNumber)
{
    const SimSensor level = LevelSensor(serialNumber);
    const MovedSettings moved{{levelsensor::kSpecificGravity, sonde::kSpecificGravity},
                              {levelsensor::kPressureOffset, sonde::kPressureOffset},
                              {levelsensor::kLevelReference, sonde::kLevelReference},
                              {levelsensor::kPressureReference, sonde::kPressureReference}};
    SimSensor sensor;
    sensor.serialNumber = serialNumber;
    SimParameter depth = WithSettingsAt(level.parameters.at(levelsensor::kLevel - 1), moved);
    // The sonde keeps its level mode in the software register, not in the parameter.
    depth.otherIds.clear();
    sensor.parameters = {WithSettingsAt(level.parameters.at(levelsensor::kPressure - 1), moved), depth};
    sensor.settings = {SensorSetting::Float(sonde::kDynamicFactor, 0.0f),
                       SensorSetting::Float(sonde::kSpecificGravity, 1.0f),
                       SensorSetting::Calibration(sonde::kPressureOffset, 0.0f),
                       SensorSetting::Float(sonde::kLevelReference, 0.0f),
                       SensorSetting::Float(sonde::kPressureReference, 0.0f)};
    sensor.captures = {{sonde::kLevelReference, levelsensor::kPressure, sonde::kPressureReference}};
    return sensor;
}

SimSensor Conductivity(uint32_t serialNumber)
{
    constexpr ConductivityLayout kLayout{sonde::kConductivity, true, 117, 137, 139, 141};
    SimSensor sensor = ConductivitySensor(kLayout, serialNumber);
    // The temperature first, then the quantities in the instruments' order.
    std::vector<SimParameter> parameters{sensor.parameters.at(1)};
    const std::vector<SimParameter> quantities = ConductivityQuantities(sensor.parameters);
    parameters.insert(parameters.end(), quantities.begin(), quantities.end());
    sensor.parameters = std::move(parameters);
    return sensor;
}

SimSensor OpticalDo(uint32_t serialNumber)
{
    SimSensor sensor = OpticalDoSensor(serialNumber);
    // The saturation second, the temperature third.
    std::swap(sensor.parameters[1], sensor.parameters[2]);
    for (SensorSetting& setting : sensor.settings)
    {
        if (setting.offset == sonde::kCapSerialNumber)
            setting.value = sonde::kCapSerial;
        else if (setting.offset == sonde::kDefaultSalinity)
            setting.value = 0.0f;
    }
    return sensor;
}

SimSensor PhOrp(uint32_t serialNumber)
{
    using namespace phsensor;
    const SimSensor combined = PhOrpSensor(serialNumber);
    const MovedSettings moved{{SegmentSlope(1), sonde::SegmentSlope(1)},
                              {SegmentOffset(1), sonde::SegmentOffset(1)},
                              {SegmentSlope(2), sonde::SegmentSlope(2)},
                              {SegmentOffset(2), sonde::SegmentOffset(2)},
                              {kOrpSlope, sonde::kOrpValueA},
                              {kOrpOffset, sonde::kOrpValueB}};
    SimSensor sensor;
    sensor.serialNumber = serialNumber;
    for (const SimParameter& parameter : combined.parameters)
        sensor.parameters.push_back(WithSettingsAt(parameter, moved));
    sensor.settings = SegmentCalibration(-1.0f / 59.16f, 7.0f);
    const std::vector<SensorSetting> orp = Floats({{sonde::kOrpCalibrationWord, 0.0f},
                                                   {sonde::kOrpPoint, 0.0f},
                                                   {sonde::kOrpPoint + 2, 0.0f},
                                                   {sonde::kOrpPoint + 4, 25.0f},
                                                   {sonde::kOrpValueA, 1.0f},
                                                   {sonde::kOrpValueB, 0.0f}});
    sensor.settings.insert(sensor.settings.end(), orp.begin(), orp.end());
    return sensor;
}

SimSensor Barometric(uint32_t serialNumber)
{
    SimSensor sensor;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {{kBaroId, kMilliBar, kPressureUnits, kStandardBaro,
                          [](const SampleContext& context)
                          { return static_cast<float>(FromBaseUnit(context.unitId, kStandardBaroPsi)); }}};
    sensor.settings = Floats({{sonde::kFirstCalibration, 0.0f}});
    return sensor;
}

// Parameters 1 the water's temperature, 2 the concentration, 3 the fluorescence.
SimSensor Fluorometer(const FluorometerIds& ids, uint32_t serialNumber)
{
    SimSensor sensor;
    sensor.serialNumber = serialNumber;
    sensor.parameters = {WaterTemperature(),
                         {ids.concentration, kMicrogramPerLitre, kPigmentUnits, kSentinel, Around(3.0, 0.2)},
                         {ids.fluorescence, kRfu, kOneUnit, kSentinel, Around(6.0, 0.4)}};
    for (uint16_t offset = sonde::kFirstCalibration; offset <= sonde::kFluorLast; offset += 2)
        sensor.settings.push_back(
            SensorSetting::Float(offset, offset == sonde::kFluorSegmentCount ? 1.0f : 0.0f));
    return sensor;
}

SimSensor IonSelective(uint16_t sensorId, uint32_t serialNumber)
{
    SimSensor sensor;
    sensor.serialNumber = serialNumber;
    const uint16_t* ids = sensorId == sonde::kNitrate    ? kNitrateIds
                          : sensorId == sonde::kAmmonium ? kAmmoniumIds
                                                         : kChlorideIds;
    sensor.parameters = {{ids[0], unit::kPpm, kIonUnits, kSentinel, Around(2.5, 0.1)},
                         {ids[1], unit::kMilliVolt, kVoltageUnits, kSentinel, Around(-40.0, 2.0)}};
    if (sensorId == sonde::kAmmonium)
    {
        sensor.parameters.push_back({ids[2], unit::kPpm, kIonUnits, kSentinel, Around(0.1, 0.01)});
        sensor.parameters.push_back({ids[3], unit::kPpm, kIonUnits, kSentinel, Around(2.6, 0.1)});
    }
    sensor.settings = SegmentCalibration(1.0f, 0.0f);
    return sensor;
}

} // namespace

SimSensor SondeSensor(uint16_t sensorId, uint32_t serialNumber)
{
    SimSensor sensor;
    switch (sensorId)
    {
    case sonde::kTurbidity:
        sensor.serialNumber = serialNumber;
        sensor.parameters = {{kTurbidityId, kFnu, 0x0007, kSentinel, Around(4.2, 0.3)},
                             {kSuspendedSolidsId, unit::kPpm, kOneUnit, kSentinel, Around(8.5, 0.5)}};
        sensor.settings = Floats({{117, 1.0f}, {119, 1.0f}, {121, 0.0f}});
        break;
    case 51:
    case 52:
    case 53:
    case 54:
    case sonde::kLevel5:
        sensor = Level(serialNumber);
        break;
    case sonde::kTemperature:
    case sonde::kTemperature2:
        sensor.serialNumber = serialNumber;
        sensor.parameters = {WaterTemperature()};
        break;
    case sonde::kConductivity:
        sensor = Conductivity(serialNumber);
        break;
    case sonde::kOpticalDo:
        sensor = OpticalDo(serialNumber);
        break;
    case sonde::kPhOrp:
        sensor = PhOrp(serialNumber);
        break;
    case sonde::kBarometric:
        sensor = Barometric(serialNumber);
        break;
    case sonde::kRhodamine:
        sensor = Fluorometer(kRhodamineIds, serialNumber);
        break;
    case sonde::kChlorophyll:
        sensor = Fluorometer(kChlorophyllIds, serialNumber);
        break;
    case sonde::kPhycocyanin:
        sensor = Fluorometer(kPhycocyaninIds, serialNumber);
        break;
    case sonde::kPhycoerythrin:
        sensor = Fluorometer(kPhycoerythrinIds, serialNumber);
        break;
    case sonde::kNitrate:
    case sonde::kAmmonium:
    case sonde::kChloride:
        sensor = IonSelective(sensorId, serialNumber);
        break;
    default:
        throw std::invalid_argument("no sonde sensor of id " + std::to_string(sensorId));
    }
    sensor.sensorId = sensorId;
    return sensor;
}

void FitSondeSensors(Instrument& sonde, const std::vector<uint16_t>& sensorIds)
{
    const uint32_t serial = sonde.Config().serialNumber;
    for (size_t i = 0; i < sensorIds.size(); ++i)
    {
        const auto connection = static_cast<uint16_t>(i + 1);
        sonde.Sensors().Add(connection, SondeSensor(sensorIds[i], serial * 10u + connection));
    }
    if (sonde.Config().deviceType == sonde::kBaroType)
    {
        sonde.Registers().SetFloat(sonde::kLiveBaroRegister, kStandardBaro);
        sonde.Registers().SetFloat(sonde::kDefaultBaroRegister, kStandardBaro);
    }
}

std::vector<uint16_t> DefaultSondeSensors()
{
    return {sonde::kOpticalDo, sonde::kConductivity, sonde::kLevel,
            sonde::kPhOrp,     sonde::kBarometric,   sonde::kTemperature2,
            sonde::kTurbidity, sonde::kChlorophyll,  sonde::kNitrate};
}

bool IsSondeType(uint16_t deviceType)
{
    return deviceType == 7 || deviceType == 26 || deviceType == 33 || deviceType == 34;
}

} // namespace probesim
