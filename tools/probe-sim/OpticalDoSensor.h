// The optical dissolved-oxygen sensor with temperature, as the probes carry it on connection 1:
// sensor id 42 with the parameters 1 DO concentration (mg/L, also ppm and µg/L), 2 temperature
// (C, F, K), 3 DO saturation (%Sat) and 4 partial pressure of oxygen (Torr, also PSI, kPa, mBar,
// mmHg); the float settings at offsets 117-139 (live and default salinity and barometric
// pressure, the calibration readings at 100 % and 0 %, slope and offset), of which the eight from
// 125 on are the calibration that the update command takes into the header.
//
// The cap measures the oxygen pressure of the water (Water.h); the saturation is that against
// air-saturated water at the live barometric pressure the sensor was told, scaled by the calibration
// slope and offset it took last, and the concentration follows from it by the published solubility
// at the temperature and the live salinity and barometric pressure.
#pragma once

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

inline constexpr uint16_t kOpticalDoSensorId = 42;
// As the probe states it: four parameters are read within the read time-out even without the
// measurement cache.
inline constexpr SensorTiming kOpticalDoTiming{std::chrono::milliseconds(1000),
                                               std::chrono::milliseconds(500)};

namespace dosensor
{
inline constexpr uint16_t kConcentration = 1; // parameter numbers
inline constexpr uint16_t kTemperature = 2;
inline constexpr uint16_t kSaturation = 3;
inline constexpr uint16_t kPartialPressure = 4;

inline constexpr uint16_t kLiveSalinity = 117; // setting offsets
inline constexpr uint16_t kDefaultSalinity = 119;
inline constexpr uint16_t kLiveBaro = 121;
inline constexpr uint16_t kDefaultBaro = 123;
inline constexpr uint16_t kCalDo100 = 125;
inline constexpr uint16_t kCalTemp100 = 127;
inline constexpr uint16_t kCalSalinity100 = 129;
inline constexpr uint16_t kCalBaro100 = 131;
inline constexpr uint16_t kCalDo0 = 133;
inline constexpr uint16_t kCalTemp0 = 135;
inline constexpr uint16_t kCalSlope = 137;
inline constexpr uint16_t kCalOffset = 139;
} // namespace dosensor

SimSensor OpticalDoSensor(uint32_t serialNumber = 10001);

} // namespace probesim
