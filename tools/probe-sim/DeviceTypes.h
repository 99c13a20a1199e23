// Where an instrument family keeps the registers that the identity block does not hold: the
// register map template version, the supply voltages, the two lifetime counters, its own
// measurement-cache time-out register and the 20-byte scratch pad. 0 = the family has none.
#pragma once

#include <cstdint>

namespace probesim
{

struct FamilyRegisters
{
    uint16_t templateVersion = 0;
    uint16_t externalVoltage = 0;
    uint16_t internalBatteryVoltage = 0;
    uint16_t totalMeasurementCounter = 0; // u32
    uint16_t totalBatteryCounter = 0;     // u32
    uint16_t measurementCacheTimeout = 0; // the family's own; map version 3 adds 49463
    uint16_t scratchPad = 0;              // 10 registers
};

// templateVersion: the value of the family's template version register; older level loggers and
// the two-channel loggers have their scratch pad only from template version 2 on.
FamilyRegisters FamilyRegistersOf(uint16_t deviceType, uint16_t templateVersion);

// Device types whose register map version 3 and later have the measurement-cache time-out at 49463.
bool HasMeasurementCacheRegister(uint16_t deviceType);

} // namespace probesim
