// The combined pH/ORP sensor on connection 4 of the multi-sensor probe (device type 18), whose
// temperature the level sensor reports. Parameters 1 pH, 2 the pH electrode's millivolts (µV,
// mV, V), 3 ORP (µV, mV, V). Settings:
//   117         number of pH calibration points, 1..3 (word, user calibration)
//   118-134     calibration points 1-3: pH, millivolts, temperature (floats)
//   136, 138    line segment 1: slope (pH per mV), offset (pH) (user calibration)
//   140, 142    line segment 2: slope, offset (user calibration)
//   144         the ORP calibration word (word)
//   145-149     the ORP calibration point: solution mV, sensor mV, temperature (floats)
//   151, 153    ORP slope (mV per mV) and offset (mV) (user calibration)
// The electrode gives the Nernst slope of the water's temperature (Water.h), a little less than the
// ideal, around a small asymmetry potential: pH 7 is near 0 mV and acid is positive. The sensor's
// pH = offset + slope x mV x (T_s + 273.15) / (T + 273.15) of segment s, T_s the temperature of the
// segment's first point (the slope is the one of that temperature) and T the water's; with three
// points segment 2 serves the base side (below the second point's mV). ORP = slope x the
// electrode's mV + offset. The calibration points are calibration settings too.
#pragma once

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

inline constexpr uint16_t kPhOrpSensorId = 27;
inline constexpr SensorTiming kPhOrpTiming{std::chrono::milliseconds(1000), std::chrono::milliseconds(500)};

namespace phsensor
{
inline constexpr uint16_t kPh = 1; // parameter numbers
inline constexpr uint16_t kPhMillivolts = 2;
inline constexpr uint16_t kOrp = 3;

inline constexpr uint16_t kPointCount = 117;                  // offsets
constexpr uint16_t PointValue(uint16_t point, uint16_t value) // point 1..3, value 0 pH, 1 mV, 2 temperature
{
    return static_cast<uint16_t>(118 + 6 * (point - 1) + 2 * value);
}
constexpr uint16_t SegmentSlope(uint16_t segment) // 1..2
{
    return static_cast<uint16_t>(136 + 4 * (segment - 1));
}
constexpr uint16_t SegmentOffset(uint16_t segment)
{
    return static_cast<uint16_t>(138 + 4 * (segment - 1));
}
inline constexpr uint16_t kOrpCalibrationWord = 144;
inline constexpr uint16_t kOrpSolution = 145;
inline constexpr uint16_t kOrpResponse = 147;
inline constexpr uint16_t kOrpTemperature = 149;
inline constexpr uint16_t kOrpSlope = 151;
inline constexpr uint16_t kOrpOffset = 153;
} // namespace phsensor

SimSensor PhOrpSensor(uint32_t serialNumber = 40001);

} // namespace probesim
