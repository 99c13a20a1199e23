// The level reference of the logger, which modes 4 (depth to water) and 5 (surface elevation)
// measure from.
#include "models/StiloComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kModeDepthToWater = 4;
constexpr USHORT kModeSurfaceElevation = 5;

} // namespace

HRESULT CStiloComm::SetLevelReference(float reference)
{
    return WriteLevelReference(kLevelParameter, {kModeDepthToWater, kModeSurfaceElevation},
                               kLevelReferenceRegister, reference, u" - failed to set Level Ref, EC: ");
}

} // namespace NVSystem
