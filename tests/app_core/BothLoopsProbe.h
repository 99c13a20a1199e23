// A multi-sensor probe with both current loops set up: loop 1 on the conductivity sensor's third
// parameter (12.5 at 20 mA, -3.25 at 4 mA), loop 2 on the level sensor's third parameter (40 and
// 0.5), both switched on. Every sensor of the probe has a parameter number 3, so only the sensor
// and parameter number together tell a loop's reading.
#pragma once

#include "tools/probe-sim/InstrumentRegisters.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ServiceRegisters.h"

namespace apptest
{

inline probesim::InstrumentConfig BothLoopsConfig(uint32_t serialNumber)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(18, serialNumber);
    config.secondCurrentLoop = true;
    return config;
}

inline void PutBothLoops(probesim::RegisterModel& registers)
{
    namespace reg = probesim::reg;
    registers.SetU16(reg::kAnalogSensor, 2);
    registers.SetU16(reg::kAnalogParameter, 3);
    registers.SetFloat(reg::kAnalogFullScale, 12.5f);
    registers.SetFloat(reg::kAnalogZeroScale, -3.25f);
    registers.SetU16(reg::kAnalogDisable, 0);
    registers.SetU16(reg::kLoop2Connection, 3);
    registers.SetU16(reg::kLoop2Parameter, 3);
    registers.SetFloat(reg::kLoop2FirstScale, 40.0f);
    registers.SetFloat(reg::kLoop2SecondScale, 0.5f);
    registers.SetU16(reg::kLoop2Enable, 1);
}

} // namespace apptest
