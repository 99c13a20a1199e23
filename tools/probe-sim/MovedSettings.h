// Sensors built from another sensor's readings whose settings lie elsewhere in their own window: a
// value function asks for a setting at the offset of the sensor it was written for, and is answered
// from where the new sensor keeps it.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

// Offset the value function asks for -> offset in the new window.
using MovedSettings = std::map<uint16_t, uint16_t>;

inline ValueFunction WithSettingsAt(ValueFunction value, MovedSettings moved)
{
    return [value = std::move(value), moved = std::move(moved)](const SampleContext& context)
    {
        SampleContext here = context;
        if (context.setting)
        {
            here.setting = [&context, &moved](uint16_t offset)
            {
                const auto at = moved.find(offset);
                return context.setting(at == moved.end() ? offset : at->second);
            };
        }
        return value(here);
    };
}

inline SimParameter WithSettingsAt(SimParameter parameter, const MovedSettings& moved)
{
    parameter.value = WithSettingsAt(std::move(parameter.value), moved);
    return parameter;
}

} // namespace probesim
