#include "tools/probe-sim/SimSensor.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace probesim
{

namespace
{

constexpr uint32_t kMaxWindowRegisters = 9999; // one register class
constexpr uint16_t kSettingRegisters = 2;

} // namespace

uint16_t UnitClassBase(uint16_t parameterId)
{
    switch (parameterId)
    {
    case 1:
        return 1;
    case 2:
    case 16:
    case 30:
        return 17;
    case 3:
    case 4:
    case 5:
    case 27:
        return 33;
    case 6:
    case 7:
    case 8:
        return 49;
    case 9:
    case 10:
        return 65;
    case 11:
        return 81;
    case 12:
        return 97;
    case 13:
    case 20:
    case 22:
    case 23:
    case 24:
    case 31:
    case 34:
    case 37:
    case 39:
    case 41:
    case 42:
    case 50:
    case 52:
    case 54:
    case 56:
    case 58:
    case 60:
        return 113;
    case 14:
        return 129;
    case 17:
        return 145;
    case 18:
    case 19:
    case 26:
    case 32:
    case 36:
    case 38:
    case 40:
    case 48:
        return 161;
    case 21:
        return 177;
    case 25:
        return 193;
    case 28:
        return 209;
    case 29:
        return 225;
    case 33:
        return 241;
    case 35:
    case 51:
    case 53:
    case 55:
    case 57:
    case 59:
    case 61:
        return 257;
    default:
        return 0;
    }
}

uint16_t WindowRegisters(const SimSensor& sensor)
{
    const auto limit = std::chrono::milliseconds(UINT16_MAX);
    if (sensor.warmUp.count() < 0 || sensor.warmUp > limit || sensor.sampleRate.count() < 0 ||
        sensor.sampleRate > limit)
        throw std::invalid_argument("sensor timing must lie within 0..65535 ms");
    const uint32_t blocksEnd =
        kFirstParameterOffset + uint32_t{kParameterBlockRegisters} * sensor.parameters.size();
    if (blocksEnd > kMaxWindowRegisters)
        throw std::invalid_argument("too many parameters for one register window");
    uint32_t end = blocksEnd;
    for (const SensorSetting& setting : sensor.settings)
    {
        if (setting.offset < blocksEnd)
            throw std::invalid_argument("setting at offset " + std::to_string(setting.offset) +
                                        " lies inside the header or the parameter blocks");
        end = std::max<uint32_t>(end, uint32_t{setting.offset} + kSettingRegisters);
    }
    if (end > kMaxWindowRegisters)
        throw std::invalid_argument("sensor settings reach beyond one register class");
    std::vector<uint16_t> offsets;
    for (const SensorSetting& setting : sensor.settings)
        offsets.push_back(setting.offset);
    std::sort(offsets.begin(), offsets.end());
    for (size_t i = 1; i < offsets.size(); ++i)
    {
        if (offsets[i] - offsets[i - 1] < kSettingRegisters)
            throw std::invalid_argument("settings at offsets " + std::to_string(offsets[i - 1]) + " and " +
                                        std::to_string(offsets[i]) + " overlap");
    }
    if (sensor.calibrationSettings)
    {
        for (size_t i = 0; i < kCalibrationFloats; ++i)
        {
            const uint32_t offset = *sensor.calibrationSettings + kSettingRegisters * i;
            const bool present =
                std::any_of(sensor.settings.begin(), sensor.settings.end(),
                            [offset](const SensorSetting& setting) { return setting.offset == offset; });
            if (!present)
                throw std::invalid_argument("calibration setting at offset " + std::to_string(offset) +
                                            " is not among the settings");
        }
    }
    return static_cast<uint16_t>(end);
}

} // namespace probesim
