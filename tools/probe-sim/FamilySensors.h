// The sensors of the conductivity sonde, the flow logger and the handheld, as register windows
// (offsets from the base B; on connection 1 B is 40001, so that offset k is holding register
// 40001 + k). They are built from the probes' sensors (PressureSensors.h, ConductivitySensor.h,
// PhOrpSensor.h) with their settings moved to where these instruments keep them.
//
// ConductivitySondeSensor: the sonde's built-in sensor on connection 1, a pressure, conductivity and
// temperature sensor (sensor id 16) on type 5, a conductivity sensor (35) on type 10. Type 5:
// parameters 1 pressure, 2 temperature, 3 level (its id word at 55 is the level mode), 4-9 the
// conductivity quantities (ConductivityQuantities). Type 10: 1 actual conductivity, 2 temperature,
// 3-7 the other five. Float settings: 119 pressure offset (user
// calibration), 121 specific gravity, 123 level reference, 125 the pressure at the level reference
// (taken when the reference is written), 127 cell offset and 129 cell constant (user calibration),
// 131 reference temperature, 133 alpha, 135-149 betas 0-7, 151 TDS factor, 153 dynamic SG factor.
//
// FlowHeadSensor: the flow logger's built-in pressure, flow and temperature sensor (sensor id 37) on
// connection 1: parameters 1 pressure, 2 temperature, 3 head (id 27), 4 flow (28), 5 flow total (29); the
// level sensor's settings at 99 specific gravity, 101 pressure offset, 103 head reference, 105 its pressure.
// The formula coefficients are device registers beyond the window (FitFlowFormula). The logger has no update
// command: it takes a pressure offset as written.
//
// PhSensor, OrpSensor: the handheld's pH sensor (sensor id 46 on connection 4: 1 pH, 2 pH
// millivolts, 3 temperature; the pH calibration from 117 as the combined sensor keeps it) and ORP
// sensor (sensor id 47 on connection 5: 1 ORP, 2 temperature; 117 the ORP calibration word, 118,
// 120, 122 its point, 124 slope, 126 offset).
//
// The barometric loggers' pressure and temperature sensor (BarometricLoggerSensor) is the
// barometric one (sensor id 13) whose pressure is the barometric pressure (parameter id 16).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PressureSensors.h"
#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

// Sensor ids: a pressure, conductivity and temperature sensor (30 PSIG), a conductivity sensor, a
// pressure, flow and temperature sensor (15 PSIG), the separate pH and ORP sensors, the barometric
// pressure and temperature sensor.
inline constexpr uint16_t kConductivitySondeSensorId = 16;
inline constexpr uint16_t kConductivityOnlySondeSensorId = 35;
inline constexpr uint16_t kFlowHeadSensorId = 37;
inline constexpr uint16_t kPhSensorId = 46;
inline constexpr uint16_t kOrpSensorId = 47;
inline constexpr uint16_t kBarometricLoggerSensorId = 13;

namespace sondesensor
{
inline constexpr uint16_t kLevelMode = 55; // offsets
inline constexpr uint16_t kPressureOffset = 119;
inline constexpr uint16_t kSpecificGravity = 121;
inline constexpr uint16_t kLevelReference = 123;
inline constexpr uint16_t kPressureReference = 125;
inline constexpr uint16_t kCellOffset = 127;
inline constexpr uint16_t kCellConstant = 129;
inline constexpr uint16_t kReferenceTemperature = 131;
inline constexpr uint16_t kAlpha = 133;
inline constexpr uint16_t kFirstBeta = 135;
inline constexpr uint16_t kTdsFactor = 151;
inline constexpr uint16_t kDynamicFactor = 153;
} // namespace sondesensor

namespace flowsensor
{
inline constexpr uint16_t kHead = 3; // parameter numbers
inline constexpr uint16_t kFlow = 4;
inline constexpr uint16_t kFlowTotal = 5;
inline constexpr uint16_t kHeadId = 27;
inline constexpr uint16_t kFirstCoefficient = 40130; // K0 .. K4, N: device registers, floats
inline constexpr uint16_t kCoefficients = 6;
} // namespace flowsensor

namespace orpsensor
{
inline constexpr uint16_t kCalibrationWord = 117; // offsets
inline constexpr uint16_t kSolution = 118;
inline constexpr uint16_t kResponse = 120;
inline constexpr uint16_t kTemperature = 122;
inline constexpr uint16_t kSlope = 124;
inline constexpr uint16_t kOffset = 126;
} // namespace orpsensor

// The level sensor's temperature reading (C, F, K), the water the other sensors share.
SimParameter WaterTemperature();
// The six conductivity quantities of a conductivity sensor's parameters, in the order the
// instruments number them: actual conductivity, specific conductance, salinity, total dissolved
// solids, resistivity, water density. std::invalid_argument when one is missing.
std::vector<SimParameter> ConductivityQuantities(const std::vector<SimParameter>& parameters);
// The barometric loggers' sensor.
SimSensor BarometricLoggerSensor(uint32_t serialNumber);

// deviceType 5 or 10; std::invalid_argument for another.
SimSensor ConductivitySondeSensor(uint16_t deviceType, uint32_t serialNumber = 10001,
                                  PressureSource pressure = {});
SimSensor FlowHeadSensor(uint32_t serialNumber = 11001, PressureSource pressure = {});
// The flow formula's coefficients, K0 1.0 and the others 0.0 but N 1.5, as registers of the device.
void FitFlowFormula(Instrument& logger);
SimSensor PhSensor(uint32_t serialNumber = 21004);
SimSensor OrpSensor(uint32_t serialNumber = 21005);

} // namespace probesim
