#include "foundation/Units.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace
{

// A factor f(u) is how many u make one base unit of the class.
struct UnitFactor
{
    UnitId unit;
    double factor;
};

struct FactorClass
{
    UnitId base;
    const UnitFactor* factors;
    size_t count;
};

constexpr UnitFactor kPressureFactors[] = {
    {18, 6894.757}, {19, 6.894757}, {20, 0.06894757}, {21, 68.94757},
    {22, 51.71492}, {23, 2.036021}, {24, 70.30696},   {25, 27.6799},
};

constexpr UnitFactor kLengthFactors[] = {
    {33, 1000.0}, {34, 100.0}, {36, 0.001}, {37, 39.37008}, {38, 3.28084},
};

constexpr UnitFactor kAngleFactors[] = {
    {50, 60.0},
    {51, 3600.0},
};

constexpr UnitFactor kFlowRateFactors[] = {
    {210, 60.0},
    {211, 3600.0},
    {212, 86400.0},
    {213, 7.481},
    {214, 448.86},
    {215, 26931.6},
    {216, 0.6463584},
    {217, 0.02832},
    {218, 1.6992},
    {219, 101.952},
    {220, 2446.848},
    {221, 28.32},
    {222, 1.9834710743801653},
};

constexpr UnitFactor kVolumeFactors[] = {
    {226, 7.481}, {227, 7.481e-6}, {228, 0.02832}, {229, 28.32}, {230, 2.2968369829683697e-5},
};

template <size_t N>
constexpr FactorClass MakeClass(UnitId base, const UnitFactor (&factors)[N])
{
    return {base, factors, N};
}

constexpr FactorClass kFactorClasses[] = {
    MakeClass(17, kPressureFactors),  MakeClass(35, kLengthFactors),  MakeClass(49, kAngleFactors),
    MakeClass(209, kFlowRateFactors), MakeClass(225, kVolumeFactors),
};

// The factor of a unit in its class: 1 for the base, nullopt when the unit is not in the class.
std::optional<double> FactorOf(const FactorClass& unitClass, UnitId unit)
{
    if (unit == unitClass.base)
        return 1.0;
    const UnitFactor* end = unitClass.factors + unitClass.count;
    const UnitFactor* found =
        std::find_if(unitClass.factors, end, [unit](const UnitFactor& f) { return f.unit == unit; });
    if (found == end)
        return std::nullopt;
    return found->factor;
}

const FactorClass* FactorClassOf(UnitId unit)
{
    for (const FactorClass& unitClass : kFactorClasses)
    {
        if (FactorOf(unitClass, unit))
            return &unitClass;
    }
    return nullptr;
}

std::optional<double> ToCelsius(UnitId from, double value)
{
    switch (from)
    {
    case 1:
        return value;
    case 2:
        return (value - 32.0) * 0.5555555555555556;
    case 3:
        return value - 273.15;
    default:
        return std::nullopt;
    }
}

std::optional<double> ConvertTemperature(UnitId from, UnitId to, double value)
{
    const std::optional<double> celsius = ToCelsius(from, value);
    if (!celsius)
        return std::nullopt;
    switch (to)
    {
    case 1:
        return *celsius;
    case 2:
        return *celsius * 1.8 + 32.0;
    default:
        return *celsius + 273.15;
    }
}

struct DirectPair
{
    UnitId from;
    UnitId to;
    double factor;
};

// Units related by a plain multiplication without a common base.
constexpr DirectPair kDirectPairs[] = {
    // conductivity
    {66, 65, 1000.0},
    {65, 66, 0.001},
    // concentration
    {114, 113, 1000.0},
    {113, 114, 0.001},
    {118, 117, 0.001},
    {117, 118, 1000.0},
    // voltage
    {162, 161, 1000.0},
    {163, 161, 1e6},
    {161, 162, 0.001},
    {163, 162, 1000.0},
    {161, 163, 1e-6},
    {162, 163, 0.001},
};

bool IsTurbidity(UnitId unit)
{
    return unit >= 193 && unit <= 195;
}

std::optional<double> Convert(UnitId from, UnitId to, double value)
{
    if (to >= 1 && to <= 3)
        return ConvertTemperature(from, to, value);
    if (const FactorClass* unitClass = FactorClassOf(to))
    {
        const std::optional<double> fromFactor = FactorOf(*unitClass, from);
        if (!fromFactor)
            return std::nullopt;
        return value / *fromFactor * *FactorOf(*unitClass, to);
    }
    // FNU, NTU and FTU measure the same quantity by different instruments.
    if (IsTurbidity(to))
        return IsTurbidity(from) ? std::optional<double>(value) : std::nullopt;
    for (const DirectPair& pair : kDirectPairs)
    {
        if (pair.from == from && pair.to == to)
            return value * pair.factor;
    }
    return std::nullopt;
}

} // namespace

BOOL ConvertUnits(FromUnit from, double& out, ToUnit to, double value)
{
    if (from.id == to.id)
    {
        out = value;
        return TRUE;
    }
    if (to.id == 0 || to.id > 230)
        return FALSE;
    const std::optional<double> converted = Convert(from.id, to.id, value);
    if (!converted)
        return FALSE;
    out = *converted;
    return TRUE;
}

UnitId GetUnitClassBase(ParameterId parameter)
{
    static constexpr UnitId kClassOfParameter[62] = {
        0,   // 0
        1,   // 1 temperature
        17,  // 2 pressure
        33,  // 3 depth
        33,  // 4 level depth to water
        33,  // 5 level surface elevation
        49,  // 6 latitude
        49,  // 7 longitude
        49,  // 8 elevation
        65,  // 9 actual conductivity
        65,  // 10 specific conductivity
        81,  // 11 resistivity
        97,  // 12 salinity
        113, // 13 total dissolved solids
        129, // 14 water density
        0,   // 15 specific gravity
        17,  // 16 barometric pressure
        145, // 17 pH
        161, // 18 pH mV
        161, // 19 ORP
        113, // 20 dissolved oxygen concentration
        177, // 21 dissolved oxygen saturation
        113, // 22 nitrate
        113, // 23 ammonium
        113, // 24 chloride
        193, // 25 turbidity
        161, // 26 battery voltage
        33,  // 27 head
        209, // 28 flow
        225, // 29 total flow
        17,  // 30 partial pressure oxygen
        113, // 31 total suspended solids
        161, // 32 external voltage
        241, // 33 battery percentage
        113, // 34 rhodamine concentration
        257, // 35 rhodamine fluorescence
        161, // 36 chloride mV
        113, // 37 nitrate
        161, // 38 nitrate mV
        113, // 39 ammonium
        161, // 40 ammonium mV
        113, // 41 ammonia
        113, // 42 total ammonia
        0,   // 43
        0,   // 44
        0,   // 45
        0,   // 46
        0,   // 47
        161, // 48 Eh mV
        0,   // 49 velocity
        113, // 50 chlorophyll A concentration
        257, // 51 chlorophyll A fluorescence
        113, // 52 chlorophyll A algal concentration
        257, // 53 chlorophyll A Fv/Fm
        113, // 54 BGA PC concentration
        257, // 55 BGA PC fluorescence
        113, // 56 BGA PC algal concentration
        257, // 57 BGA PC Fv/Fm
        113, // 58 BGA PE concentration
        257, // 59 BGA PE fluorescence
        113, // 60 BGA PE algal concentration
        257, // 61 BGA PE Fv/Fm
    };
    if (parameter >= std::size(kClassOfParameter))
        return 0;
    return kClassOfParameter[parameter];
}
