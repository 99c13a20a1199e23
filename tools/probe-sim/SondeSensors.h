// The sensors of the multi-parameter sonde (device types 7, 26, 33 and 34), which carries any set of
// them on its connections 1 to 10, each reporting its kind by its sensor id. Their register windows
// (offsets from the base B, floats unless said):
//
// Each reports its quantities by the parameter ids of the system's names.
//
//   50 turbidity        1 turbidity (FNU, NTU, FTU), 2 total suspended solids; 117, 119, 121 the
//                       calibration values
//   51-54, 80 level     1 pressure, 2 level (depth, from pressure and SG); 119 dynamic SG factor, 121
//                       specific gravity, 125 pressure offset (user calibration), 127 level reference,
//                       129 the pressure at it (taken when the reference is written)
//   55, 79 temperature  1 temperature
//   56 conductivity     1 temperature (its value, unit and quality words at 37, 40, 41), 2-7 actual
//                       conductivity, specific conductance, salinity, total dissolved solids,
//                       resistivity, water density; 117 reference temperature, 119 alpha, 121-135 betas,
//                       137 TDS factor, 139 cell constant, 141 cell offset (the last two user
//                       calibration)
//   57 optical DO       1 DO concentration, 2 DO saturation, 3 temperature, 4 partial pressure of
//                       oxygen; 119 the sensing cap's serial number, 123 default salinity, 125-139 the
//                       calibration readings, slope and offset (taken with the update command)
//   58 pH/ORP           1 pH, 2 pH millivolts, 3 ORP; 117 number of pH calibration points, 119-135 the
//                       points (pH, mV, temperature each), 137/139 and 141/143 slope and offset of
//                       segments 1 and 2, 145 the ORP calibration word, 147-151 its point, 153 and 155
//                       ORP slope and offset; counts and words as floats
//   59 barometric       1 barometric pressure (mBar at first); 117 the calibration value
//   60, 62, 64, 65      fluorometers (rhodamine WT, chlorophyll a, blue-green algae phycocyanin and
//                       phycoerythrin): 1 temperature, 2 the pigment's concentration (µg/L at first),
//                       3 its fluorescence (RFU); floats at the odd offsets 117 to 151 (119 the number
//                       of calibration segments)
//   70, 71, 72          nitrate, ammonium, chloride: 1 the ion's concentration, 2 electrode
//                       millivolts (ammonium also 3 ammonia, 4 total ammonia); 117 number of
//                       calibration points, points and segments as the pH sensor's
//
// A sonde of type 33 also keeps the live and the default barometric pressure the optical DO sensor
// uses in the device registers 47005 and 47007 (floats, mBar).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

namespace sonde
{
inline constexpr uint16_t kTurbidity = 50; // sensor ids
inline constexpr uint16_t kLevel = 51;
inline constexpr uint16_t kLevel5 = 80;
inline constexpr uint16_t kTemperature = 55;
inline constexpr uint16_t kTemperature2 = 79;
inline constexpr uint16_t kConductivity = 56;
inline constexpr uint16_t kOpticalDo = 57;
inline constexpr uint16_t kPhOrp = 58;
inline constexpr uint16_t kBarometric = 59;
inline constexpr uint16_t kRhodamine = 60;
inline constexpr uint16_t kChlorophyll = 62;
inline constexpr uint16_t kPhycocyanin = 64;
inline constexpr uint16_t kPhycoerythrin = 65;
inline constexpr uint16_t kNitrate = 70;
inline constexpr uint16_t kAmmonium = 71;
inline constexpr uint16_t kChloride = 72;

inline constexpr uint16_t kBaroType = 33; // the type with the barometric pressure registers
inline constexpr uint16_t kLiveBaroRegister = 47005;
inline constexpr uint16_t kDefaultBaroRegister = 47007;
inline constexpr float kCapSerial = 123456.0f;

// Window offsets.
inline constexpr uint16_t kFirstCalibration = 117;
inline constexpr uint16_t kCapSerialNumber = 119;
inline constexpr uint16_t kDefaultSalinity = 123;
inline constexpr uint16_t kDynamicFactor = 119; // level
inline constexpr uint16_t kSpecificGravity = 121;
inline constexpr uint16_t kPressureOffset = 125;
inline constexpr uint16_t kLevelReference = 127;
inline constexpr uint16_t kPressureReference = 129;
inline constexpr uint16_t kPointCount = 117;                  // pH and the ion-selective sensors
constexpr uint16_t PointValue(uint16_t point, uint16_t value) // point 1..3, value 0..2
{
    return static_cast<uint16_t>(119 + 6 * (point - 1) + 2 * value);
}
constexpr uint16_t SegmentSlope(uint16_t segment) // 1..2
{
    return static_cast<uint16_t>(137 + 4 * (segment - 1));
}
constexpr uint16_t SegmentOffset(uint16_t segment)
{
    return static_cast<uint16_t>(139 + 4 * (segment - 1));
}
inline constexpr uint16_t kOrpCalibrationWord = 145;
inline constexpr uint16_t kOrpPoint = 147; // three floats
inline constexpr uint16_t kOrpValueA = 153;
inline constexpr uint16_t kOrpValueB = 155;
inline constexpr uint16_t kFluorSegmentCount = 119;
inline constexpr uint16_t kFluorLast = 151;
} // namespace sonde

// The sensor of a sonde sensor id; std::invalid_argument for an id the sonde has no sensor of.
SimSensor SondeSensor(uint16_t sensorId, uint32_t serialNumber);
// The sensors on connections 1, 2, ... in the order of the ids, with serial numbers as the presets
// give them, and the barometric registers of type 33.
void FitSondeSensors(Instrument& sonde, const std::vector<uint16_t>& sensorIds);
// What the preset sonde carries: optical DO, conductivity, level, pH/ORP, barometric, temperature,
// turbidity, a fluorometer (chlorophyll a) and nitrate.
std::vector<uint16_t> DefaultSondeSensors();
bool IsSondeType(uint16_t deviceType);

} // namespace probesim
