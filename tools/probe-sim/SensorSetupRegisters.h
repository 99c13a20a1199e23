// Probe settings of the multi-sensor probes that the sensor setup reads and writes as single
// holding registers:
//
//   47001  u16  device types 18 and 39: salinity of the optical-DO sensor follows the conductivity
//               sensor (1) or the sensor's own salinity setting (0)
//   40251  u16  device type 39: negative dissolved-oxygen values 0 always shown, 1 shown only
//               during calibration, 2 never shown
//
// Both start at 0, and a factory restore sets them to 0 again; they refuse values beyond their
// range (0x84). They are kept as written; the
// readings do not follow them.
#pragma once

#include <cstdint>

#include "tools/probe-sim/InstrumentConfig.h"
#include "tools/probe-sim/RegisterModel.h"

namespace probesim
{

namespace reg
{
inline constexpr uint16_t kAutoSalinity = 47001;
inline constexpr uint16_t kNegativeDoValues = 40251;
} // namespace reg

// Creates the registers above that the device type has.
void InstallSensorSetupRegisters(RegisterModel& registers, const InstrumentConfig& config);
// Puts them back to their factory values (a factory restore).
void ResetSensorSetupRegisters(RegisterModel& registers, const InstrumentConfig& config);

} // namespace probesim
