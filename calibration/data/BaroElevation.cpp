#include "calibration/data/BaroElevation.h"

#include <cfloat>
#include <cmath>

#include "foundation/Units.h"
#include "platform/Numbers.h"

namespace
{

constexpr UnitId kPsi = 17;
constexpr UnitId kPascal = 18;
constexpr UnitId kMilliBar = 21;
constexpr UnitId kLastPressureUnit = 25; // inH2O: Torr and atm do not convert
constexpr UnitId kMillimetres = 33;
constexpr UnitId kFeet = 38;

constexpr double kSeaLevelPascal = 101325.0;
constexpr double kLapsePerMetre = 1e-5 * 2.25577;
constexpr double kExponent = 5.25588;
constexpr double kLowestElevation = -1524.0;
constexpr double kHighestElevation = 15240.0;
constexpr double kLowestPressure = 111.0;   // mBar
constexpr double kHighestPressure = 1210.0; // mBar
constexpr double kLowestAcceptedPascal = 50668.0;
constexpr double kHighestAcceptedPascal = 111455.0;
constexpr double kBisectionTolerance = 1e-9;
constexpr int kMostHalvings = 1000;
constexpr int kSignificantDigits = 5;

bool IsPressureUnit(UnitId unit)
{
    return unit >= kPsi && unit <= kLastPressureUnit;
}

bool IsElevationUnit(UnitId unit)
{
    return unit >= kMillimetres && unit <= kFeet;
}

bool UnitFits(int quantity, UnitId unit)
{
    return quantity == baro::kPressure ? IsPressureUnit(unit) : IsElevationUnit(unit);
}

// DBL_MAX when the pair does not convert.
double Convert(UnitId from, UnitId to, double value)
{
    double out = 0.0;
    return ConvertUnits(FromUnit{from}, out, ToUnit{to}, value) ? out : DBL_MAX;
}

// The number as a five-digit label shows it: d integer digits keep 5 - d decimals, rounded; an
// integer part longer than five digits is cut to five followed by zeros; below 0.00001 it is 0.
double HoldToSignificantDigits(double value)
{
    if (!std::isfinite(value))
        return value;
    const double magnitude = std::fabs(value);
    const double smallest = std::pow(10.0, -kSignificantDigits);
    if (magnitude < smallest)
        return 0.0;
    double integer = std::floor(magnitude);
    const double largest = std::pow(10.0, kSignificantDigits) - 1.0;
    double held = 0.0;
    if (integer > largest)
    {
        double scale = 1.0;
        while (integer > largest)
        {
            integer = std::floor(integer / 10.0);
            scale *= 10.0;
        }
        held = integer * scale;
    }
    else
    {
        int digits = 0;
        while (std::pow(10.0, digits) <= magnitude)
            ++digits;
        // Rounded as the label's text rounds it, from the binary value.
        held = platform::ParseDouble(platform::FormatFixed(magnitude, kSignificantDigits - digits))
                   .value_or(0.0);
    }
    return std::copysign(held, value);
}

} // namespace

double PressureAtElevation(double elevationMetres)
{
    if (!std::isfinite(elevationMetres))
        return kLowestPressure;
    if (elevationMetres < kLowestElevation)
        return kHighestPressure;
    if (elevationMetres > kHighestElevation)
        return kLowestPressure;
    const double pascal = std::pow(1.0 - kLapsePerMetre * elevationMetres, kExponent) * kSeaLevelPascal;
    return Convert(kPascal, kMilliBar, pascal);
}

double ElevationFromPressure(double pressureMbar)
{
    if (!std::isfinite(pressureMbar))
        return kLowestElevation;
    if (pressureMbar < kLowestPressure)
        return kHighestElevation;
    if (pressureMbar > kHighestPressure)
        return kLowestElevation;
    double lo = kLowestElevation;
    double hi = kHighestElevation;
    for (int i = 0; i < kMostHalvings; ++i)
    {
        const double mid = (hi + lo) * 0.5;
        // Pressure falls with height: a higher pressure than wanted means the site lies higher.
        if (PressureAtElevation(mid) > pressureMbar)
            lo = mid;
        else
            hi = mid;
        if (std::fabs(hi - lo) < kBisectionTolerance)
            return mid;
    }
    return kLowestElevation;
}

BOOL BaroElevation::Set(int quantity, UnitId unit, double value)
{
    if (quantity != baro::kElevation && quantity != baro::kPressure)
        return TRUE;
    if (!UnitFits(quantity, unit))
        return FALSE;
    const double converted =
        quantity == baro::kPressure ? Convert(unit, kMilliBar, value) : Convert(unit, UNIT_METRES, value);
    if (converted == DBL_MAX)
        return FALSE;
    if (quantity == baro::kPressure)
    {
        m_dPressure = converted;
        m_dElevation = ElevationFromPressure(m_dPressure);
    }
    else
    {
        m_dElevation = converted;
        m_dPressure = PressureAtElevation(m_dElevation);
    }
    // NaN compares false both ways: refuse it explicitly.
    return value >= GetMin(quantity, unit) && value <= GetMax(quantity, unit) ? TRUE : FALSE;
}

double BaroElevation::Get(int quantity, UnitId unit) const
{
    if (quantity == baro::kPressure && IsPressureUnit(unit))
        return Convert(kMilliBar, unit, m_dPressure);
    if (quantity == baro::kElevation && IsElevationUnit(unit))
        return Convert(UNIT_METRES, unit, m_dElevation);
    return DBL_MAX;
}

double BaroElevation::GetMin(int quantity, UnitId unit)
{
    if (quantity == baro::kPressure)
        return IsPressureUnit(unit) ? HoldToSignificantDigits(Convert(kPascal, unit, kLowestAcceptedPascal))
                                    : DBL_MAX;
    if (quantity != baro::kElevation || !IsElevationUnit(unit))
        return DBL_MAX;
    // The lowest site stands at the highest accepted pressure.
    const double metres = ElevationFromPressure(Convert(kPascal, kMilliBar, kHighestAcceptedPascal));
    return HoldToSignificantDigits(Convert(UNIT_METRES, unit, metres));
}

double BaroElevation::GetMax(int quantity, UnitId unit)
{
    if (quantity == baro::kPressure)
        return IsPressureUnit(unit) ? HoldToSignificantDigits(Convert(kPascal, unit, kHighestAcceptedPascal))
                                    : DBL_MAX;
    if (quantity != baro::kElevation || !IsElevationUnit(unit))
        return DBL_MAX;
    const double metres = ElevationFromPressure(Convert(kPascal, kMilliBar, kLowestAcceptedPascal));
    return HoldToSignificantDigits(Convert(UNIT_METRES, unit, metres));
}
