// The barometric pressure of a site and its elevation, kept consistent by the standard atmosphere:
// whichever of the two is entered, in whichever unit, the other is derived from it. The accepted
// range of each quantity in each unit is held to five significant digits, the precision the
// range labels show, so that a value typed from a label is accepted.
//
// Pressure units are 17 (PSI) to 25 (inH2O); Torr and atm, which the unit converter cannot reach,
// are refused like units of the other quantity. Elevation units are 33 (mm) to 38 (ft).
#pragma once

#include "foundation/VocabularyIds.h"
#include "platform/Types.h"

namespace baro
{
inline constexpr int kElevation = 0;
inline constexpr int kPressure = 1;
} // namespace baro

// Pressure in mBar at an elevation in m. Outside -1524 m .. 15240 m the pressure of the nearer end;
// a NaN or infinite elevation gives the lowest pressure, 111 mBar.
double PressureAtElevation(double elevationMetres);
// Elevation in m at a pressure in mBar, by bisection to 1e-9 m. Outside 111 .. 1210 mBar the
// elevation of the nearer end; a NaN or infinite pressure gives the lowest elevation, -1524 m.
double ElevationFromPressure(double pressureMbar);

class BaroElevation
{
public:
    // Stores the quantity (baro::kElevation or baro::kPressure) given in the unit and derives the
    // other. TRUE when the value lies within the accepted range in that unit; an entry out of range
    // is stored all the same. A unit that does not belong to the quantity gives FALSE and changes
    // nothing; any other quantity gives TRUE and changes nothing.
    BOOL Set(int quantity, UnitId unit, double value);
    // The stored quantity in the unit; DBL_MAX for a unit that does not belong to it.
    double Get(int quantity, UnitId unit) const;
    // The accepted range in the unit, to five significant digits; DBL_MAX for a unit that does not
    // belong to the quantity.
    static double GetMin(int quantity, UnitId unit);
    static double GetMax(int quantity, UnitId unit);

    double m_dPressure = 0.0;  // mBar
    double m_dElevation = 0.0; // m
};
