#include "foundation/Formulas.h"

#include <cmath>

namespace
{

constexpr double kStandardGravity = 9.80665;
constexpr double kEquatorGravity = 9.780365;
constexpr double kDegreesToRadians = 0.0174533;

} // namespace

double GravityCorrectionFactor(Elevation elevation, Latitude latitude)
{
    double kilometres = 0.0;
    if (!ConvertUnits(FromUnit{UNIT_METRES}, kilometres, ToUnit{UNIT_KILOMETRES}, elevation.metres))
        return 1.0;
    const double radians = std::fabs(latitude.degrees) * kDegreesToRadians;
    const double sinL = std::sin(radians);
    const double sin2L = std::sin(2.0 * radians);
    const double gravity =
        (1.0 + 0.0052885 * sinL * sinL - 5.9e-6 * sin2L * sin2L) * kEquatorGravity - 0.003086 * kilometres;
    return gravity / kStandardGravity;
}

double PressureToDepth(FromUnit pressureUnit, ToUnit lengthUnit, SpecificGravity specificGravity,
                       double pressure)
{
    double psi = pressure;
    if (pressureUnit.id != UNIT_PSI && !ConvertUnits(pressureUnit, psi, ToUnit{UNIT_PSI}, pressure))
        return 0.0;
    const double metres =
        specificGravity.value == 0.0 ? 0.0 : psi * PSI_TO_METRES_OF_WATER / specificGravity.value;
    double depth = metres;
    if (lengthUnit.id != UNIT_METRES && ConvertUnits(FromUnit{UNIT_METRES}, depth, lengthUnit, metres))
        return depth;
    return metres;
}

double DepthToPressure(ToUnit pressureUnit, FromUnit lengthUnit, SpecificGravity specificGravity,
                       double depth)
{
    double metres = depth;
    if (lengthUnit.id != UNIT_METRES)
        ConvertUnits(lengthUnit, metres, ToUnit{UNIT_METRES}, depth); // unconverted when refused
    const double psi =
        specificGravity.value == 0.0 ? 0.0 : metres * specificGravity.value / PSI_TO_METRES_OF_WATER;
    if (pressureUnit.id == UNIT_PSI)
        return psi;
    double pressure = 0.0;
    if (!ConvertUnits(FromUnit{UNIT_PSI}, pressure, pressureUnit, psi))
        return 0.0;
    return pressure;
}

uint16_t DetermineSpecCondMethod(const CDynArray<float>& coefficients, float referenceTemperature,
                                 float alpha)
{
    float c[8] = {};
    const uint32_t n = coefficients.GetCount() < 8 ? coefficients.GetCount() : 8;
    for (uint32_t i = 0; i < n; ++i)
        c[i] = coefficients.GetData()[i];

    auto equals = [&c](const float(&expected)[8])
    {
        for (int i = 0; i < 8; ++i)
        {
            if (c[i] != expected[i])
                return false;
        }
        return true;
    };

    if (referenceTemperature == 0.0f && alpha == 0.0f && equals(SPEC_COND_NONLINEAR_COEFFS))
        return 2;
    static constexpr float kLinear[8] = {1.0f, 0, 0, 0, 0, 0, 0, 0};
    if (equals(kLinear))
        return referenceTemperature == 25.0f && alpha == 0.0191f ? 0 : 1;
    return 3;
}
