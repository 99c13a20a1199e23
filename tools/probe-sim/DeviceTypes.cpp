#include "tools/probe-sim/DeviceTypes.h"

namespace probesim
{

FamilyRegisters FamilyRegistersOf(uint16_t deviceType, uint16_t templateVersion)
{
    const bool laterTemplate = templateVersion >= 2;
    switch (deviceType)
    {
    case 1:
    case 2:
    case 3:
    case 4:
    case 30:
        return {40108, 40109, 40110, 40111, 40113, 0, static_cast<uint16_t>(laterTemplate ? 40120 : 0)};
    case 11:
        return {40108, 40109, 40110, 40111, 40113, 0, 0};
    case 6:
    case 8:
    case 9:
    case 15:
    case 16:
    case 17:
        return {47000, 47001, 47002, 47003, 47005, 47007, 47008};
    case 5:
    case 10:
        return {47000, 47001, 47002, 47003, 47005, 47007, static_cast<uint16_t>(laterTemplate ? 47008 : 0)};
    case 12:
    case 19:
    case 20:
    case 24:
    case 31:
    case 35:
    case 36:
    case 37:
    case 0x8000:
    case 0x8001:
    case 0x8002:
        return {47000, 47001, 0, 0, 0, 0, 0};
    case 18:
        return {47000, 47004, 0, 0, 0, 0, 0, 47003};
    case 21:
        return {47000, 47004, 0, 0, 0, 0, 0};
    case 7:
    case 26:
    case 33:
    case 34:
    case 0x8003:
        // The template version is the first register of the identity block.
        return {49000, 49000, 0, 0, 0, 0, 0};
    default:
        return {};
    }
}

bool HasMeasurementCacheRegister(uint16_t deviceType)
{
    return (deviceType >= 1 && deviceType <= 12) || (deviceType >= 15 && deviceType <= 26) ||
           (deviceType >= 30 && deviceType <= 39) || (deviceType >= 0x8000 && deviceType <= 0x8002);
}

bool TakesBluetoothUpdate(uint16_t deviceType)
{
    return deviceType == kBluetoothCommunicationType || deviceType == 7 || deviceType == 26 ||
           deviceType == 33 || deviceType == 34;
}

} // namespace probesim
