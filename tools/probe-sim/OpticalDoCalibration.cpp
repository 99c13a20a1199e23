#include "tools/probe-sim/OpticalDoCalibration.h"

#include <cmath>

#include "tools/probe-sim/WaterPhysics.h"

namespace probesim
{

namespace
{

// Positions among the eight calibration floats.
constexpr size_t kDo100 = 0;
constexpr size_t kTemp100 = 1;
constexpr size_t kSalinity100 = 2;
constexpr size_t kBaro100 = 3;
constexpr size_t kDo0 = 4;
constexpr size_t kTemp0 = 5;
constexpr size_t kSlope = 6;
constexpr size_t kOffset = 7;
constexpr size_t kPointFloats = 6;

} // namespace

void ComputeOpticalDoCalibration(const std::array<float, kCalibrationFloats>& taken,
                                 std::array<float, kCalibrationFloats>& written)
{
    bool newPoints = false;
    for (size_t i = 0; i < kPointFloats; ++i)
        newPoints = newPoints || written[i] != taken[i];
    if (!newPoints)
        return;

    const double expected100 = OxygenSolubility(written[kTemp100], written[kSalinity100], written[kBaro100]);
    const double solubility0 = OxygenSolubility(written[kTemp0]);
    if (!(expected100 > 0.0) || !(solubility0 > 0.0) || taken[kSlope] == 0.0f)
        return;
    // Saturation as read with the calibration held while measuring, then without it.
    const double read100 = written[kDo100] / expected100 * 100.0;
    const double read0 = written[kDo0] / solubility0 * 100.0;
    const double raw100 = (read100 - taken[kOffset]) / taken[kSlope];
    const double raw0 = (read0 - taken[kOffset]) / taken[kSlope];
    if (!std::isfinite(raw100) || !std::isfinite(raw0) || raw100 == raw0)
        return; // no line through the points: the sensor keeps what was written
    const double slope = 100.0 / (raw100 - raw0);
    written[kSlope] = static_cast<float>(slope);
    written[kOffset] = static_cast<float>(-slope * raw0);
}

} // namespace probesim
