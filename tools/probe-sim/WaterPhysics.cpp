#include "tools/probe-sim/WaterPhysics.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace probesim
{

namespace
{

constexpr double kZeroCelsius = 273.15;
constexpr double kNernstAt25 = 59.16; // mV per pH
constexpr double kReferenceKelvin = 298.15;
constexpr double kConductivityOfStandardSeawater = 42914.0; // µS/cm at 35 PSU, 15 C

double Kelvin(double celsius)
{
    return celsius + kZeroCelsius;
}

// The sum of c[i] x r^(i/2).
double HalfPowers(const std::array<double, 6>& c, double r)
{
    const double root = std::sqrt(r);
    double sum = 0.0;
    double power = 1.0;
    for (double coefficient : c)
    {
        sum += coefficient * power;
        power *= root;
    }
    return sum;
}

} // namespace

double WaterVapourPressure(double celsius)
{
    const double k = Kelvin(celsius);
    const double atmospheres = std::exp(11.8571 - 3840.70 / k - 216961.0 / (k * k));
    return atmospheres * kStandardAtmosphere;
}

double OxygenSolubility(double celsius, double salinity, double pressure)
{
    const double k = Kelvin(celsius);
    const double fresh = -139.34411 + 1.575701e5 / k - 6.642308e7 / (k * k) + 1.243800e10 / (k * k * k) -
                         8.621949e11 / (k * k * k * k);
    const double salt = salinity * (1.7674e-2 - 1.0754e1 / k + 2.1407e3 / (k * k));
    const double atOneAtmosphere = std::exp(fresh - salt);
    // Away from one atmosphere: less water vapour in the gas, and oxygen's non-ideal behaviour.
    const double atmospheres = pressure / kStandardAtmosphere;
    const double vapour = WaterVapourPressure(celsius) / kStandardAtmosphere;
    const double theta = 0.000975 - 1.426e-5 * celsius + 6.436e-8 * celsius * celsius;
    return atOneAtmosphere * atmospheres * (1.0 - vapour / atmospheres) * (1.0 - theta * atmospheres) /
           ((1.0 - vapour) * (1.0 - theta));
}

double AirSaturatedOxygenPressure(double celsius, double pressure)
{
    return kOxygenInAir * std::max(0.0, pressure - WaterVapourPressure(celsius));
}

double PracticalSalinity(double conductivity, double celsius)
{
    if (!(conductivity > 0.0))
        return 0.0;
    constexpr std::array<double, 6> a = {0.0080, -0.1692, 25.3851, 14.0941, -7.0261, 2.7081};
    constexpr std::array<double, 6> b = {0.0005, -0.0056, -0.0066, -0.0375, 0.0636, -0.0144};
    constexpr double k = 0.0162;
    const double t = celsius;
    const double rt = 0.6766097 + t * (2.00564e-2 + t * (1.104259e-4 + t * (-6.9698e-7 + t * 1.0031e-9)));
    const double ratio = conductivity / kConductivityOfStandardSeawater / rt;
    const double f = (t - 15.0) / (1.0 + k * (t - 15.0));
    double salinity = HalfPowers(a, ratio) + f * HalfPowers(b, ratio);
    // The extension to brackish and fresh water.
    const double x = 400.0 * ratio;
    const double y = 100.0 * ratio;
    salinity -= a[0] / (1.0 + 1.5 * x + x * x) + b[0] * f / (1.0 + std::sqrt(y) + y + y * std::sqrt(y));
    return std::max(0.0, salinity);
}

double SalinityPpt(double practicalSalinity)
{
    return practicalSalinity * 35.16504 / 35.0;
}

double WaterDensity(double celsius, double salinity)
{
    const double t = celsius;
    const double s = std::max(0.0, salinity);
    const double fresh =
        999.842594 +
        t * (6.793952e-2 + t * (-9.095290e-3 + t * (1.001685e-4 + t * (-1.120083e-6 + t * 6.536332e-9))));
    const double a = 0.824493 + t * (-4.0899e-3 + t * (7.6438e-5 + t * (-8.2467e-7 + t * 5.3875e-9)));
    const double b = -5.72466e-3 + t * (1.0227e-4 - t * 1.6546e-6);
    const double kgPerCubicMetre = fresh + a * s + b * s * std::sqrt(s) + 4.8314e-4 * s * s;
    return kgPerCubicMetre / 1000.0;
}

double NernstSlope(double celsius)
{
    return kNernstAt25 * Kelvin(celsius) / kReferenceKelvin;
}

} // namespace probesim
