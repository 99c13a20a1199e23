// The probe object: construction, the class test and downcast, and the sensor operations that are
// the device's sensor access for connection 1.
#include "models/VoxProComm.h"

namespace NVSystem
{

namespace
{

// Sensor parameters of the probe's connection.
constexpr USHORT kOxygenA = 1;
constexpr USHORT kTemperature = 2;
constexpr USHORT kOxygenB = 3;
constexpr USHORT kOxygenC = 4;

constexpr USHORT kTemplateVersionRegister = 47000;
constexpr USHORT kExternalVoltageRegister = 47001;

} // namespace

CVoxProComm::CVoxProComm(const SlaveIdInfo& slaveId) : CDeviceComm(slaveId)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
    m_pBuiltInSensor = static_cast<ISensor_VoxPro*>(this);
}

CVoxProComm::~CVoxProComm()
{
    m_nClassSignature.store(0);
    m_pBuiltInSensor = nullptr;
}

bool CVoxProComm::IsVoxPro(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

bool CVoxProComm::CarriesSignatures() const
{
    return IsTagged() && m_nClassSignature.load() == kClassSignature;
}

CVoxProComm* CVoxProComm::QueryVoxProComm()
{
    if (!CarriesSignatures())
        return nullptr;
    AddRef();
    return this;
}

ISensor_VoxPro* CVoxProComm::GetVoxProSensor()
{
    return this;
}

HRESULT CVoxProComm::GetSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    const HRESULT hr = GetSensorSerialNumber(VOXPRO_CONNECTION, serialNumber);
    if (Failed(hr))
        serialNumber = 0;
    return hr;
}

HRESULT CVoxProComm::GetCapSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return GetSerialNumber(serialNumber);
}

HRESULT CVoxProComm::GetVoxSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Guarded(0,
                   [&]
                   {
                       serialNumber = m_SlaveId.SerialNumber;
                       return S_OK;
                   });
}

HRESULT CVoxProComm::ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return ReadParameterValue(VOXPRO_CONNECTION, kTemperature, value, quality, unitId, cachedOnly);
}

HRESULT CVoxProComm::GetTemperatureUnit(USHORT& unitId)
{
    return GetParameterUnitId(VOXPRO_CONNECTION, kTemperature, unitId);
}

HRESULT CVoxProComm::SetTemperatureUnit(USHORT unitId)
{
    return SetParameterUnitId(VOXPRO_CONNECTION, kTemperature, unitId);
}

HRESULT CVoxProComm::GetTemperatureSentinel(float& sentinel)
{
    return GetParameterSentinel(VOXPRO_CONNECTION, kTemperature, sentinel);
}

HRESULT CVoxProComm::ReadOxygenParamA(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return ReadParameterValue(VOXPRO_CONNECTION, kOxygenA, value, quality, unitId, cachedOnly);
}

HRESULT CVoxProComm::GetOxygenParamAUnit(USHORT& unitId)
{
    return GetParameterUnitId(VOXPRO_CONNECTION, kOxygenA, unitId);
}

HRESULT CVoxProComm::SetOxygenParamAUnit(USHORT unitId)
{
    return SetParameterUnitId(VOXPRO_CONNECTION, kOxygenA, unitId);
}

HRESULT CVoxProComm::GetOxygenParamASentinel(float& sentinel)
{
    return GetParameterSentinel(VOXPRO_CONNECTION, kOxygenA, sentinel);
}

HRESULT CVoxProComm::SetOxygenParamASentinel(float sentinel)
{
    return SetParameterSentinel(VOXPRO_CONNECTION, kOxygenA, sentinel);
}

HRESULT CVoxProComm::ReadOxygenParamB(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return ReadParameterValue(VOXPRO_CONNECTION, kOxygenB, value, quality, unitId, cachedOnly);
}

HRESULT CVoxProComm::GetOxygenParamBUnit(USHORT& unitId)
{
    return GetParameterUnitId(VOXPRO_CONNECTION, kOxygenB, unitId);
}

HRESULT CVoxProComm::SetOxygenParamBUnit(USHORT unitId)
{
    return SetParameterUnitId(VOXPRO_CONNECTION, kOxygenB, unitId);
}

HRESULT CVoxProComm::GetOxygenParamBSentinel(float& sentinel)
{
    return GetParameterSentinel(VOXPRO_CONNECTION, kOxygenB, sentinel);
}

HRESULT CVoxProComm::SetOxygenParamBSentinel(float sentinel)
{
    return SetParameterSentinel(VOXPRO_CONNECTION, kOxygenB, sentinel);
}

HRESULT CVoxProComm::ReadOxygenParamC(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return ReadParameterValue(VOXPRO_CONNECTION, kOxygenC, value, quality, unitId, cachedOnly);
}

HRESULT CVoxProComm::GetOxygenParamCUnit(USHORT& unitId)
{
    return GetParameterUnitId(VOXPRO_CONNECTION, kOxygenC, unitId);
}

HRESULT CVoxProComm::SetOxygenParamCUnit(USHORT unitId)
{
    return SetParameterUnitId(VOXPRO_CONNECTION, kOxygenC, unitId);
}

HRESULT CVoxProComm::GetOxygenParamCSentinel(float& sentinel)
{
    return GetParameterSentinel(VOXPRO_CONNECTION, kOxygenC, sentinel);
}

HRESULT CVoxProComm::SetOxygenParamCSentinel(float sentinel)
{
    return SetParameterSentinel(VOXPRO_CONNECTION, kOxygenC, sentinel);
}

HRESULT CVoxProComm::CalModeOn()
{
    return SetSensorCalModeOn(VOXPRO_CONNECTION);
}

HRESULT CVoxProComm::CalModeOff()
{
    return SetSensorCalModeOff(VOXPRO_CONNECTION);
}

HRESULT CVoxProComm::UpdateCalibration()
{
    return UpdateSensorCalibration(VOXPRO_CONNECTION);
}

} // namespace NVSystem
