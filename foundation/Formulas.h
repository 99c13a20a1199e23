// Level and depth from pressure: the local-gravity correction and the conversion between a
// pressure and a depth of water, and the classification of a conductivity sensor's
// specific-conductance compensation for the log-file meta data.
#pragma once

#include <cstdint>

#include "foundation/DynArray.h"
#include "foundation/Units.h"

// Metres of fresh water per PSI.
inline constexpr double PSI_TO_METRES_OF_WATER = 0.70307;

// The standard nonlinear compensation (natural waters), as the sensor stores it.
inline constexpr float SPEC_COND_NONLINEAR_COEFFS[8] = {1.9178f, -0.0621f, 0.0016f, -3.0e-5f,
                                                        4.0e-7f, -3.0e-9f, 0.0f,    0.0f};

// Latitude and elevation are both plain doubles at the call sites; naming them at the call makes a
// swapped pair a compile error instead of a wrong level.
struct Latitude
{
    double degrees;
};
struct Elevation
{
    double metres;
};
struct SpecificGravity
{
    double value;
};

// Local gravity over standard gravity (9.80665); north and south latitudes alike.
double GravityCorrectionFactor(Elevation elevation, Latitude latitude);

// The depth of water in the length unit that a pressure in the pressure unit stands for. 0 when the
// pressure does not convert to PSI or the specific gravity is 0; in metres when the length unit
// cannot be reached.
double PressureToDepth(FromUnit pressureUnit, ToUnit lengthUnit, SpecificGravity specificGravity,
                       double pressure);

// The pressure in the pressure unit of a depth of water in the length unit. A depth in a unit that
// does not convert to metres is taken as metres; 0 when the specific gravity is 0 or the pressure
// unit cannot be reached.
double DepthToPressure(ToUnit pressureUnit, FromUnit lengthUnit, SpecificGravity specificGravity,
                       double depth);

// The value of the meta tag "SpecificConductivityMethod": 0 linear at the standard 25 degrees and
// 1.91 %/degree, 1 linear otherwise, 2 the standard nonlinear set, 3 a custom curve. Only the first
// eight coefficients count; missing ones are 0.
uint16_t DetermineSpecCondMethod(const CDynArray<float>& coefficients, float referenceTemperature,
                                 float alpha);
