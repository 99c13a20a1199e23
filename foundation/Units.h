// Unit ids and the unit converter. Units come in classes of 16 ids (a class base and up to 15
// further units); a parameter's available units are a 16-bit mask over its class.
#pragma once

#include "foundation/VocabularyIds.h"
#include "platform/Types.h"

// The units that code names directly.
inline constexpr UnitId UNIT_CELSIUS = 1;
inline constexpr UnitId UNIT_PSI = 17;
inline constexpr UnitId UNIT_METRES = 35;
inline constexpr UnitId UNIT_KILOMETRES = 36;

// The two ends of a conversion. Conversions are written ConvertUnits(FromUnit{a}, out, ToUnit{b},
// value): a bare pair of ids would compile just as well the wrong way round.
struct FromUnit
{
    UnitId id;
};
struct ToUnit
{
    UnitId id;
};

// TRUE with the converted value in out; FALSE, out not written, when the pair does not convert
// (across classes, or a unit that has no conversion such as "Torr", "atm" or "ml"). Equal ids
// always convert, whatever the id.
BOOL ConvertUnits(FromUnit from, double& out, ToUnit to, double value);

// The class base of a parameter's units; 0 for parameters without units and unknown ids.
UnitId GetUnitClassBase(ParameterId parameter);
