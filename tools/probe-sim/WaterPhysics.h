// The published formulas of water chemistry that the simulated sensors measure by, so that a reading
// is what a real sensor in that water would report and a wrong formula in the program shows.
#pragma once

namespace probesim
{

inline constexpr double kStandardAtmosphere = 1013.25; // mBar
inline constexpr double kOxygenInAir = 0.20946;        // mole fraction of dry air

// Water vapour pressure over fresh water, mBar.
double WaterVapourPressure(double celsius);

// Solubility of oxygen from water-saturated air, mg/L, at the temperature, practical salinity and
// barometric pressure (mBar): the equations of the published solubility tables (fresh water at
// 25 C and 1013.25 mBar: 8.26 mg/L; at 35 PSU: 6.77 mg/L).
double OxygenSolubility(double celsius, double salinity = 0.0, double pressure = kStandardAtmosphere);

// The partial pressure of oxygen (mBar) in water saturated with air at the barometric pressure.
double AirSaturatedOxygenPressure(double celsius, double pressure);

// Practical salinity (PSS-78, extended below 2 PSU) of water with this conductivity (µS/cm) at its
// temperature, at the surface; 0 for no conductivity.
double PracticalSalinity(double conductivity, double celsius);

// Salinity in parts per thousand by mass (reference composition) of a practical salinity.
double SalinityPpt(double practicalSalinity);

// Density of water at the surface (international equation of state), g/cm3.
double WaterDensity(double celsius, double salinity);

// The ideal pH electrode's slope at the temperature, mV per pH unit (59.16 at 25 C).
double NernstSlope(double celsius);

} // namespace probesim
