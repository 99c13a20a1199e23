// What the optical dissolved-oxygen sensor does on the update command after new calibration points
// were written: it works out its own slope and offset (calibration floats 7 and 8) so that the
// point taken at 100 % saturation reads 100 % and the one at 0 % reads 0 %. The 100 % point's
// expected oxygen follows from its temperature, salinity and barometric pressure; each point's
// measured oxygen was read with the calibration the sensor held then, which is undone first. An
// update after only the slope or offset was written takes them as written.
//
// The slope scales the saturation (mg/L per mg/L); the offset is in % saturation.
#pragma once

#include <array>

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

// The update hook of the sensor (SimSensor::onUpdateCalibration).
void ComputeOpticalDoCalibration(const std::array<float, kCalibrationFloats>& taken,
                                 std::array<float, kCalibrationFloats>& written);

} // namespace probesim
