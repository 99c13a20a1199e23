// The pressure sensors of the probes and loggers, as register windows (offsets from the base B):
//
// LevelSensor: the level sensor of the level loggers (connection 1, so that its registers are
// 40056, 40100 ... 40106) and, as sensor id kProbeLevelSensorId, of the multi-sensor probes
// (connection 3). Parameters 1 pressure
// (PSI, Pa, kPa, Bar, mBar, mmHg, inHg, cmH2O, inH2O), 2 temperature (C, F, K), 3 level (mm, cm,
// m, km, in, ft). The level mode at 55 is the level parameter's id word: 3 depth of the probe,
// 4 depth to water, 5 surface elevation. Float settings: 99 specific gravity, 101 pressure offset
// (user calibration, in the pressure unit), 103 level reference (in the level unit), 105 level
// pressure reference (in the pressure unit). Writing the level reference makes the sensor measure
// and keep the pressure of that moment as the pressure reference.
//   pressure = the source's pressure - offset; depth d = pressure in PSI x 0.70307 / SG metres (0
//   with SG 0); the level is d in mode 3, reference - (d - d_ref) in mode 4 and reference +
//   (d - d_ref) in mode 5, where d_ref is the depth at the pressure reference.
//
// DepthSensor: the pressure/depth sensor on connection 3 of the VOX core probe. Parameters 1
// pressure, 2 depth (d as above with SG 1). Float settings: 119 automatic density correction (1.0 on,
// 0.0 off), 121 a second depth calibration value, 123 pressure offset (user calibration).
//
// PressureTemperatureSensor: pressure and temperature alone (the Bluetooth communication device),
// without settings.
//
// The temperature is the water's (Water.h).
#pragma once

#include <functional>

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

inline constexpr uint16_t kLevelSensorId = 4;       // of the level loggers
inline constexpr uint16_t kProbeLevelSensorId = 33; // of the multi-sensor probes (a pressure/level sensor)
inline constexpr uint16_t kDepthSensorId = 84;
inline constexpr uint16_t kPressureTemperatureSensorId = 2;
// The level sensor's as the level adapters' write time-out is worked out for; the others'.
inline constexpr SensorTiming kLevelTiming{std::chrono::milliseconds(2000), std::chrono::milliseconds(1000)};
inline constexpr SensorTiming kDepthTiming{std::chrono::milliseconds(2000), std::chrono::milliseconds(500)};
inline constexpr SensorTiming kPressureTemperatureTiming{std::chrono::milliseconds(1000),
                                                         std::chrono::milliseconds(500)};

namespace levelsensor
{
inline constexpr uint16_t kPressure = 1; // parameter numbers
inline constexpr uint16_t kTemperature = 2;
inline constexpr uint16_t kLevel = 3;

inline constexpr uint16_t kLevelMode = 55; // offsets
inline constexpr uint16_t kSpecificGravity = 99;
inline constexpr uint16_t kPressureOffset = 101;
inline constexpr uint16_t kLevelReference = 103;
inline constexpr uint16_t kPressureReference = 105;

inline constexpr uint16_t kDepthOfProbe = 3; // level modes (parameter ids)
inline constexpr uint16_t kDepthToWater = 4;
inline constexpr uint16_t kSurfaceElevation = 5;

static_assert(kLevelMode == ParameterBlockOffset(kLevel) + block::kParameterId);
} // namespace levelsensor

namespace depthsensor
{
inline constexpr uint16_t kPressure = 1; // parameter numbers
inline constexpr uint16_t kDepth = 2;

inline constexpr uint16_t kDensityCorrection = 119; // offsets
inline constexpr uint16_t kCalibrationB = 121;
inline constexpr uint16_t kPressureOffset = 123;
} // namespace depthsensor

inline constexpr double kMetresOfWaterPerPsi = 0.70307;

// The pressure the sensor feels, in PSI, by the seconds since the instrument started. The default
// is a slow swell around 5 PSI (about 3.5 m of water).
using PressureSource = std::function<double(double seconds)>;

SimSensor LevelSensor(uint32_t serialNumber = 20001, PressureSource pressure = {});
SimSensor DepthSensor(uint32_t serialNumber = 20002, PressureSource pressure = {});
SimSensor PressureTemperatureSensor(uint32_t serialNumber = 20003, PressureSource pressure = {});

} // namespace probesim
