// The units the simulated sensors report their values in: each value is worked out in the base unit
// of its class (Celsius, PSI, metres, µS/cm, ppm, mV) and converted to the unit the master chose.
#pragma once

#include <cstdint>

namespace probesim
{

namespace unit
{
inline constexpr uint16_t kCelsius = 1;
inline constexpr uint16_t kFahrenheit = 2;
inline constexpr uint16_t kKelvin = 3;
inline constexpr uint16_t kPsi = 17;
inline constexpr uint16_t kInchWater = 25; // the last pressure unit with a factor
inline constexpr uint16_t kMillimetre = 33;
inline constexpr uint16_t kMetre = 35;
inline constexpr uint16_t kFoot = 38;
inline constexpr uint16_t kMicroSiemens = 65; // per cm
inline constexpr uint16_t kMilliSiemens = 66; // per cm
inline constexpr uint16_t kOhmCm = 81;
inline constexpr uint16_t kPsu = 97;
inline constexpr uint16_t kPpm = 113;
inline constexpr uint16_t kPpt = 114;
inline constexpr uint16_t kMilligramPerLitre = 117;
inline constexpr uint16_t kGramPerCm3 = 129;
inline constexpr uint16_t kPh = 145;
inline constexpr uint16_t kMicroVolt = 161;
inline constexpr uint16_t kMilliVolt = 162;
inline constexpr uint16_t kVolt = 163;
} // namespace unit

// The value in the base unit of its class, converted to `unit`; a unit without a conversion (Torr,
// the classes of one unit) keeps the value as it is.
double FromBaseUnit(uint16_t unit, double value);
// The reverse: a value in `unit` in the base unit of its class.
double ToBaseUnit(uint16_t unit, double value);

} // namespace probesim
