// The water an instrument's sensors sit in. Every sensor of one instrument measures the same water,
// so that their readings agree: the temperature by which the pH electrode's slope goes is the one the
// level sensor reports, and the oxygen sensor's saturation is that of the water the conductivity
// sensor measures. By default the probe hangs in a river whose temperature, oxygen, conductivity, pH
// and redox potential move in waves of a few minutes.
//
// While one of its sensors calibrates (calibration mode, or continuous sampling for calibration), the
// probe sits in the calibration standard, as a technician puts it there: at the bench's temperature,
// in air-saturated water (100 % saturation), the 1413 µS/cm conductivity standard, the pH 7 buffer
// and ZoBell's solution (the pressure sensors still feel what their source says). Each quantity settles
// from where it was toward the standard with the time constant of its sensor, so that the readings
// converge and then stay within the stability limits of a calibration; back in measuring, the probe
// is in the river again.
#pragma once

#include <functional>
#include <optional>

#include "tools/probe-sim/WaterPhysics.h"

namespace probesim
{

// What the sensors measure at one moment.
struct WaterSample
{
    double celsius = 20.0;
    double oxygenSaturation = 95.0;     // % of air saturation at the barometric pressure
    double specificConductance = 450.0; // µS/cm at 25 C
    double ph = 7.2;
    double orp = 200.0;                              // mV against a silver chloride reference
    double barometricPressure = kStandardAtmosphere; // mBar over the water
};

// A quantity of the water by the seconds since the instrument started.
using WaterSource = std::function<double(double seconds)>;

struct Water
{
    // The water itself; a source left empty follows the river's default.
    WaterSource celsius;
    WaterSource oxygenSaturation;
    WaterSource specificConductance;
    WaterSource ph;
    WaterSource orp;
    double barometricPressure = kStandardAtmosphere;
    // Whether the probe goes into the standards while a sensor calibrates; off where a test dials
    // the readings of the calibration itself.
    bool standards = true;

    // What the sensors measure `seconds` after the instrument started, the probe having been put
    // into the standard at `inStandardSince` (seconds) if it is in.
    WaterSample At(double seconds, std::optional<double> inStandardSince = std::nullopt) const;
};

namespace standard
{
inline constexpr double kBenchCelsius = 22.0;
inline constexpr double kOxygenSaturation = 100.0;
inline constexpr double kConductance = 1413.0; // µS/cm at 25 C

// The pH 7 buffer at its temperature.
double Ph7Buffer(double celsius);
// ZoBell's solution at its temperature, mV against a silver chloride reference.
double ZobellMillivolts(double celsius);
} // namespace standard

} // namespace probesim
