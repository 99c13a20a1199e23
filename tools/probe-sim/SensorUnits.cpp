#include "tools/probe-sim/SensorUnits.h"

#include <array>

namespace probesim
{

namespace
{

// How many of the unit make one base unit; 0 where there is no factor.
double Factor(uint16_t unit)
{
    // PSI, Pa, kPa, Bar, mBar, mmHg, inHg, cmH2O, inH2O.
    static constexpr std::array<double, 9> kPressure = {1.0,      6894.757, 6.894757, 0.06894757, 68.94757,
                                                        51.71492, 2.036021, 70.30696, 27.6799};
    // mm, cm, m, km, in, ft.
    static constexpr std::array<double, 6> kLength = {1000.0, 100.0, 1.0, 0.001, 39.37008, 3.28084};
    if (unit >= unit::kPsi && unit <= unit::kInchWater)
        return kPressure[unit - unit::kPsi];
    if (unit >= unit::kMillimetre && unit <= unit::kFoot)
        return kLength[unit - unit::kMillimetre];
    switch (unit)
    {
    case unit::kMilliSiemens:
    case unit::kPpt:
        return 0.001;
    case unit::kMicroVolt:
        return 1000.0;
    case unit::kVolt:
        return 0.001;
    default:
        return 0.0;
    }
}

} // namespace

double FromBaseUnit(uint16_t unit, double value)
{
    switch (unit)
    {
    case unit::kFahrenheit:
        return value * 1.8 + 32.0;
    case unit::kKelvin:
        return value + 273.15;
    default:
        break;
    }
    const double factor = Factor(unit);
    return factor == 0.0 ? value : value * factor;
}

double ToBaseUnit(uint16_t unit, double value)
{
    switch (unit)
    {
    case unit::kFahrenheit:
        return (value - 32.0) / 1.8;
    case unit::kKelvin:
        return value - 273.15;
    default:
        break;
    }
    const double factor = Factor(unit);
    return factor == 0.0 ? value : value / factor;
}

} // namespace probesim
