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

namespace
{

void CheckParameters(const SimSensor& sensor)
{
    for (const SimParameter& p : sensor.parameters)
    {
        for (uint16_t id : p.otherIds)
        {
            if (UnitClassBase(id) != UnitClassBase(p.parameterId))
                throw std::invalid_argument("parameter id " + std::to_string(p.parameterId) +
                                            " cannot switch to id " + std::to_string(id) +
                                            " of another unit class");
        }
    }
}

// Returns the end of the settings (offset past the last register).
uint32_t CheckSettings(const SimSensor& sensor, uint32_t blocksEnd)
{
    uint32_t end = blocksEnd;
    std::vector<std::pair<uint32_t, uint32_t>> spans; // first, end
    for (const SensorSetting& setting : sensor.settings)
    {
        if (setting.offset < blocksEnd)
            throw std::invalid_argument("setting at offset " + std::to_string(setting.offset) +
                                        " lies inside the header or the parameter blocks");
        const uint32_t settingEnd = uint32_t{setting.offset} + setting.Registers();
        spans.emplace_back(setting.offset, settingEnd);
        end = std::max(end, settingEnd);
    }
    if (end > kMaxWindowRegisters)
        throw std::invalid_argument("sensor settings reach beyond one register class");
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
    {
        if (spans[i].first < spans[i - 1].second)
            throw std::invalid_argument("settings at offsets " + std::to_string(spans[i - 1].first) +
                                        " and " + std::to_string(spans[i].first) + " overlap");
    }
    return end;
}

void CheckFloatSetting(const SimSensor& sensor, uint32_t offset, const char* role)
{
    const SensorSetting* setting =
        offset <= UINT16_MAX ? FindSetting(sensor, static_cast<uint16_t>(offset)) : nullptr;
    if (!setting || setting->type != SettingType::Float)
        throw std::invalid_argument(std::string(role) + " at offset " + std::to_string(offset) +
                                    " is not a float among the settings");
}

} // namespace

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
    CheckParameters(sensor);
    const uint32_t end = CheckSettings(sensor, blocksEnd);
    if (sensor.calibrationSettings)
    {
        for (size_t i = 0; i < kCalibrationFloats; ++i)
            CheckFloatSetting(sensor, *sensor.calibrationSettings + kSettingRegisters * i,
                              "calibration setting");
    }
    for (const SettingCapture& capture : sensor.captures)
    {
        if (!FindSetting(sensor, capture.written))
            throw std::invalid_argument("capture on offset " + std::to_string(capture.written) +
                                        ", which is no setting");
        CheckFloatSetting(sensor, capture.into, "capture target");
        if (capture.parameter < 1 || capture.parameter > sensor.parameters.size())
            throw std::invalid_argument("capture of parameter " + std::to_string(capture.parameter) +
                                        ", which the sensor lacks");
    }
    return static_cast<uint16_t>(end);
}

const SensorSetting* FindSetting(const SimSensor& sensor, uint16_t offset)
{
    const auto it = std::find_if(sensor.settings.begin(), sensor.settings.end(),
                                 [offset](const SensorSetting& setting) { return setting.offset == offset; });
    return it == sensor.settings.end() ? nullptr : &*it;
}

} // namespace probesim
