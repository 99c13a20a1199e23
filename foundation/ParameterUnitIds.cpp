#include "foundation/ParameterRecords.h"
#include "foundation/Units.h"

CDynArray<USHORT> GetParameterUnitIds(const sParameterReading& reading)
{
    CDynArray<USHORT> units;
    const UnitId base = GetUnitClassBase(reading.ParameterId);
    for (unsigned bit = 0; bit < 16; ++bit)
    {
        if ((reading.AvailableUnits >> bit) & 1u)
            units.Add(static_cast<USHORT>(base + bit));
    }
    return units;
}
