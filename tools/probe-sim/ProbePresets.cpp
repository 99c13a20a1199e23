#include "tools/probe-sim/ProbePresets.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/FamilySensors.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/SondeSensors.h"

namespace probesim
{

namespace
{

constexpr uint16_t kOpticalDoTypes[] = {12, 19, 20, 24, 31, 35, 36, 37};
constexpr uint16_t kOlderLoggerTypes[] = {1, 2, 4, 30};
constexpr uint16_t kLaterLoggerTypes[] = {6, 8, 15, 16};
constexpr uint16_t kBarometricLoggerTypes[] = {3, 9, 17};
constexpr uint16_t kPressureTemperatureTypes[] = {3, 9, 17, 0x8000, 0x8001, 0x8002};
constexpr uint16_t kConductivitySondeTypes[] = {5, 10};
constexpr uint16_t kFlowLoggerType = 11;
constexpr uint16_t kHandheldType = 21;
constexpr uint16_t kSondeTypes[] = {7, 26, 33, 34};
// The families that keep their registers from 40108, with the older register map.
constexpr uint16_t kOlderFamilyTypes[] = {1, 2, 4, 30, 3, 11};
constexpr uint16_t kCoreConductivityBase = 40301;
constexpr uint16_t kCoreDepthBase = 40501;

template <size_t N>
bool Among(const uint16_t (&types)[N], uint16_t deviceType)
{
    return std::find(std::begin(types), std::end(types), deviceType) != std::end(types);
}

uint32_t SensorSerial(uint32_t deviceSerial, uint16_t connection)
{
    return deviceSerial * 10u + connection;
}

SimSensor ProbeLevelSensor(uint32_t serialNumber)
{
    SimSensor level = LevelSensor(serialNumber);
    level.sensorId = kProbeLevelSensorId;
    return level;
}

} // namespace

std::vector<uint16_t> PresetDeviceTypes()
{
    std::vector<uint16_t> types(std::begin(kOpticalDoTypes), std::end(kOpticalDoTypes));
    types.insert(types.end(), {kCoreProbeType, kMultiSensorProbeType});
    types.insert(types.end(), std::begin(kOlderLoggerTypes), std::end(kOlderLoggerTypes));
    types.insert(types.end(), std::begin(kLaterLoggerTypes), std::end(kLaterLoggerTypes));
    types.insert(types.end(), {kBluetoothCommunicationType, kBluetoothSkiffType});
    types.insert(types.end(), std::begin(kPressureTemperatureTypes), std::end(kPressureTemperatureTypes));
    types.insert(types.end(), std::begin(kConductivitySondeTypes), std::end(kConductivitySondeTypes));
    types.insert(types.end(), {kFlowLoggerType, kHandheldType});
    types.insert(types.end(), std::begin(kSondeTypes), std::end(kSondeTypes));
    return types;
}

bool HasPreset(uint16_t deviceType)
{
    const std::vector<uint16_t> types = PresetDeviceTypes();
    return std::find(types.begin(), types.end(), deviceType) != types.end();
}

bool IsLevelLoggerType(uint16_t deviceType)
{
    return Among(kOlderLoggerTypes, deviceType) || Among(kLaterLoggerTypes, deviceType);
}

InstrumentConfig ProbeConfig(uint16_t deviceType, uint32_t serialNumber)
{
    if (!HasPreset(deviceType))
        throw std::invalid_argument("no probe preset for device type " + std::to_string(deviceType));
    InstrumentConfig config;
    config.deviceType = deviceType;
    config.serialNumber = serialNumber;
    config.registerMapVersion = 3;
    if (Among(kOlderFamilyTypes, deviceType))
    {
        // Template version 2 gives them the scratch pad at 40120.
        config.registerMapVersion = 2;
        config.templateVersion = 2;
    }
    // The probes the program looks after answer on an SDI-12 bus too.
    config.sdi12Supported = Among(kOpticalDoTypes, deviceType) || deviceType == kCoreProbeType ||
                            deviceType == kMultiSensorProbeType;
    return config;
}

void FitSensors(Instrument& probe, ProbeSensors sensors)
{
    if (sensors == ProbeSensors::None)
        return;
    const uint16_t type = probe.Config().deviceType;
    const uint32_t serial = probe.Config().serialNumber;
    SensorBank& bank = probe.Sensors();
    // The times the sensors state, unless the test wants them quick.
    const bool quick = probe.Config().quickSensors;
    const auto timed = [quick](SimSensor sensor, SensorTiming timing)
    {
        if (!quick)
        {
            sensor.warmUp = timing.warmUp;
            sensor.sampleRate = timing.sampleRate;
        }
        return sensor;
    };
    // A probe's sensors are calibrated in their standards.
    const auto inStandard = [](SimSensor sensor)
    {
        sensor.calibratesInStandard = true;
        return sensor;
    };
    const auto oxygen = [&](uint16_t connection)
    { return inStandard(timed(OpticalDoSensor(SensorSerial(serial, connection)), kOpticalDoTiming)); };
    const auto conductivity = [&](const ConductivityLayout& layout, uint16_t connection)
    {
        return inStandard(
            timed(ConductivitySensor(layout, SensorSerial(serial, connection)), kConductivityTiming));
    };
    const auto level = [&](uint16_t connection)
    { return timed(ProbeLevelSensor(SensorSerial(serial, connection)), kLevelTiming); };
    if (Among(kOpticalDoTypes, type))
    {
        bank.Add(1, oxygen(1));
    }
    else if (type == kCoreProbeType)
    {
        bank.Add(1, oxygen(1));
        // The probe's negative-DO register 40251 lies behind the optical sensor's window.
        SimSensor core = conductivity(kCoreConductivity, 2);
        core.base = kCoreConductivityBase;
        bank.Add(2, std::move(core));
        if (sensors != ProbeSensors::WithoutDepth)
        {
            SimSensor depth = timed(DepthSensor(SensorSerial(serial, 3)), kDepthTiming);
            depth.base = kCoreDepthBase;
            bank.Add(3, std::move(depth));
        }
    }
    else if (type == kMultiSensorProbeType)
    {
        bank.Add(1, oxygen(1));
        bank.Add(2, conductivity(kProbeConductivity, 2));
        bank.Add(3, level(3));
        bank.Add(4, inStandard(timed(PhOrpSensor(SensorSerial(serial, 4)), kPhOrpTiming)));
    }
    else if (IsLevelLoggerType(type))
    {
        bank.Add(1, timed(LevelSensor(SensorSerial(serial, 1)), kLevelTiming));
    }
    else if (Among(kBarometricLoggerTypes, type))
    {
        bank.Add(1, BarometricLoggerSensor(SensorSerial(serial, 1)));
    }
    else if (type == kBluetoothCommunicationType || Among(kPressureTemperatureTypes, type))
    {
        bank.Add(1, timed(PressureTemperatureSensor(SensorSerial(serial, 1)), kPressureTemperatureTiming));
    }
    else if (Among(kConductivitySondeTypes, type))
    {
        bank.Add(1, ConductivitySondeSensor(type, SensorSerial(serial, 1)));
    }
    else if (type == kFlowLoggerType)
    {
        bank.Add(1, FlowHeadSensor(SensorSerial(serial, 1)));
        FitFlowFormula(probe);
    }
    else if (type == kHandheldType)
    {
        bank.Add(1, oxygen(1));
        bank.Add(2, conductivity(kProbeConductivity, 2));
        bank.Add(3, level(3));
        bank.Add(4, inStandard(timed(PhSensor(SensorSerial(serial, 4)), kPhOrpTiming)));
        bank.Add(5, inStandard(timed(OrpSensor(SensorSerial(serial, 5)), kPhOrpTiming)));
    }
    else if (Among(kSondeTypes, type))
    {
        FitSondeSensors(probe, DefaultSondeSensors());
    }
    else if (type != kBluetoothSkiffType)
    {
        throw std::invalid_argument("no probe preset for device type " + std::to_string(type));
    }
}

std::unique_ptr<Instrument> MakeProbe(ProbeSimulator& sim, const InstrumentConfig& config,
                                      ProbeSensors sensors)
{
    // Refused before anything is installed into the simulator.
    if (sensors != ProbeSensors::None && !HasPreset(config.deviceType))
        throw std::invalid_argument("no probe preset for device type " + std::to_string(config.deviceType));
    auto probe = std::make_unique<Instrument>(sim, config);
    FitSensors(*probe, sensors);
    return probe;
}

std::unique_ptr<Instrument> MakeProbe(ProbeSimulator& sim, uint16_t deviceType, uint32_t serialNumber)
{
    return MakeProbe(sim, ProbeConfig(deviceType, serialNumber));
}

} // namespace probesim
