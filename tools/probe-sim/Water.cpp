#include "tools/probe-sim/Water.h"

#include <cmath>
#include <numbers>

namespace probesim
{

namespace
{

// Time constants (s) with which the sensors follow a change of the water.
constexpr double kTemperatureTau = 20.0;
constexpr double kOxygenTau = 15.0;
constexpr double kConductanceTau = 5.0;
constexpr double kPhTau = 8.0;
constexpr double kOrpTau = 20.0;

double Wave(double seconds, double period, double phase = 0.0)
{
    return std::sin(2.0 * std::numbers::pi * seconds / period + phase);
}

double Or(const WaterSource& source, double seconds, double river)
{
    return source ? source(seconds) : river;
}

WaterSample Natural(const Water& water, double seconds)
{
    WaterSample sample;
    sample.celsius = Or(water.celsius, seconds, 20.0 + 2.0 * Wave(seconds, 120.0));
    sample.oxygenSaturation = Or(water.oxygenSaturation, seconds, 95.0 + 3.0 * Wave(seconds, 90.0, 1.0));
    sample.specificConductance =
        Or(water.specificConductance, seconds, 450.0 + 30.0 * Wave(seconds, 200.0, 0.5));
    sample.ph = Or(water.ph, seconds, 7.2 + 0.3 * Wave(seconds, 150.0));
    sample.orp = Or(water.orp, seconds, 200.0 + 20.0 * Wave(seconds, 180.0));
    sample.barometricPressure = water.barometricPressure;
    return sample;
}

double Settle(double from, double to, double elapsed, double tau)
{
    return to + (from - to) * std::exp(-std::max(0.0, elapsed) / tau);
}

} // namespace

WaterSample Water::At(double seconds, std::optional<double> inStandardSince) const
{
    if (!standards || !inStandardSince || seconds < *inStandardSince)
        return Natural(*this, seconds);
    const WaterSample before = Natural(*this, *inStandardSince);
    const double elapsed = seconds - *inStandardSince;
    WaterSample sample = before;
    sample.celsius = Settle(before.celsius, standard::kBenchCelsius, elapsed, kTemperatureTau);
    sample.oxygenSaturation =
        Settle(before.oxygenSaturation, standard::kOxygenSaturation, elapsed, kOxygenTau);
    sample.specificConductance =
        Settle(before.specificConductance, standard::kConductance, elapsed, kConductanceTau);
    sample.ph = Settle(before.ph, standard::Ph7Buffer(sample.celsius), elapsed, kPhTau);
    sample.orp = Settle(before.orp, standard::ZobellMillivolts(sample.celsius), elapsed, kOrpTau);
    return sample;
}

namespace standard
{

double Ph7Buffer(double celsius)
{
    // A phosphate buffer: 7.00 at 25 C, a little more alkaline when colder.
    return 7.0 + 0.0045 * (25.0 - celsius) + 0.0001 * (25.0 - celsius) * (25.0 - celsius);
}

double ZobellMillivolts(double celsius)
{
    return 261.78 - 1.3068 * celsius;
}

} // namespace standard

} // namespace probesim
