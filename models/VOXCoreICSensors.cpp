#include "models/VOXCoreICSensors.h"

#include <memory>
#include <new>

#include "models/ConductivitySensorVOXCoreIC.h"
#include "models/LevelSensorVOXCoreIC.h"
#include "models/VOXCoreICComm.h"
#include "models/VOXSensor.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kOpticalDoConnection = 1;
constexpr USHORT kConductivityConnection = 2;
constexpr USHORT kDepthConnection = 3;
// A core reports the depth sensor as its third.
constexpr USHORT kSensorsWithDepth = 3;

struct CoreReleaser
{
    void operator()(CVOXCoreICComm* core) const { core->Release(); }
};

} // namespace

HRESULT InitVOXCoreICSensors(CDeviceComm* device)
{
    if (!CVOXCoreICComm::IsVOXCoreIC(device))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    const std::unique_ptr<CVOXCoreICComm, CoreReleaser> core(device->QueryVOXCoreICComm());
    if (core == nullptr)
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    // Made once at connection, never replaced.
    if (core->GetVoxProSensor() != nullptr)
        return E_FAIL;

    std::unique_ptr<ISensor_VoxPro> oxygen(new (std::nothrow) CVOXSensor(core.get(), kOpticalDoConnection));
    if (oxygen == nullptr)
        return E_OUTOFMEMORY;
    // The conductivity sensor takes its temperature from the optical-DO sensor.
    ISensor_VoxPro* temperatureSource = oxygen.get();
    if (const HRESULT hr = core->SetVoxProSensor(oxygen); Failed(hr))
        return hr;

    std::unique_ptr<ISensor_Conductivity> conductivity(new (std::nothrow) CConductivitySensorVOXCoreIC(
        core.get(), kConductivityConnection, temperatureSource));
    if (conductivity == nullptr)
        return E_OUTOFMEMORY;
    if (const HRESULT hr = core->SetConductivitySensor(conductivity); Failed(hr))
        return hr;

    USHORT count = 0;
    if (const HRESULT hr = core->GetSensorCount(count); Failed(hr))
        return hr;
    if (count < kSensorsWithDepth)
        return S_OK;
    std::unique_ptr<ISensor_PressureDepth> depth(new (std::nothrow)
                                                     CLevelSensorVOXCoreIC(core.get(), kDepthConnection));
    if (depth == nullptr)
        return E_OUTOFMEMORY;
    return core->SetPressureDepthSensor(depth);
}

} // namespace NVSystem
