// Where an instrument family keeps the registers that the identity block does not hold: the
// register map template version, the supply voltages, the two lifetime counters, its own
// measurement-cache time-out register and the 20-byte scratch pad. 0 = the family has none.
// The device type ids of the instruments the simulator has particular behaviour for are here too.
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
    // A word the PC clears after it changed the level sensor's specific gravity (47003 of the
    // multi-sensor probe); what it means is the instrument's. It starts at 1.
    uint16_t gravityChange = 0;
};

inline constexpr uint16_t kMultiSensorProbeType = 18;
inline constexpr uint16_t kCoreProbeType = 39;
inline constexpr uint16_t kBluetoothSkiffType = 13;
inline constexpr uint16_t kBluetoothCommunicationType = 0x8003;

// templateVersion: the value of the family's template version register; older level loggers and
// the two-channel loggers have their scratch pad only from template version 2 on.
FamilyRegisters FamilyRegistersOf(uint16_t deviceType, uint16_t templateVersion);

// Device types whose register map version 3 and later have the measurement-cache time-out at 49463.
bool HasMeasurementCacheRegister(uint16_t deviceType);

// Device types that take the Bluetooth update command (0xD104): the Bluetooth communication device
// and the multi-parameter sondes.
bool TakesBluetoothUpdate(uint16_t deviceType);

} // namespace probesim
