// The conductivity sensors of the multi-sensor probes, in the two register layouts the probes use.
//
// kProbeConductivity (connection 2 of device type 18): parameters 1 actual conductivity, 2
// temperature, 3 specific conductance, 4 resistivity, 5 salinity, 6 total dissolved solids, 7 water
// density. Float settings: 127 cell offset and 129 cell constant (user calibration), 131 the
// specific-conductance reference temperature, 133 its alpha, 135-149 eight further coefficients,
// 151 the TDS factor.
// kCoreConductivity (connection 2 of device type 39): the same quantities without temperature
// (parameters 1-6); reference temperature 117, alpha 119, coefficients 121-135, TDS factor 137, cell
// constant 139, cell offset 141.
//
// The sensors measure the instrument's water (Water.h), whose conductivity goes with its
// temperature by 1.91 % per C from its specific conductance at 25 C. actual = cell constant x the
// cell's reading + cell offset; specific conductance = actual x p(T) / (1 + alpha (T - reference)),
// p the polynomial of the eight coefficients (1 as the factory leaves them); salinity by the
// practical salinity scale from the actual conductivity; TDS = specific conductance x TDS factor;
// density by the equation of state of water at the surface.
#pragma once

#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

inline constexpr uint16_t kConductivitySensorId = 35;
inline constexpr uint16_t kCoreConductivitySensorId = 85;
inline constexpr SensorTiming kConductivityTiming{std::chrono::milliseconds(1000),
                                                  std::chrono::milliseconds(250)};

struct ConductivityLayout
{
    uint16_t sensorId = kConductivitySensorId;
    bool temperature = true;             // parameter 2 is the temperature
    uint16_t referenceTemperature = 131; // the first of the ten floats of the calibration block
    uint16_t tdsFactor = 151;
    uint16_t cellConstant = 129;
    uint16_t cellOffset = 127;

    uint16_t Alpha() const { return static_cast<uint16_t>(referenceTemperature + 2); }
    uint16_t Coefficient(uint16_t n) const { return static_cast<uint16_t>(referenceTemperature + 4 + 2 * n); }
};

inline constexpr ConductivityLayout kProbeConductivity{};
inline constexpr ConductivityLayout kCoreConductivity{kCoreConductivitySensorId, false, 117, 137, 139, 141};

SimSensor ConductivitySensor(const ConductivityLayout& layout = kProbeConductivity,
                             uint32_t serialNumber = 30001);

} // namespace probesim
