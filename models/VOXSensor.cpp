#include "models/VOXSensor.h"

#include "models/ReadingQuality.h"

namespace NVSystem
{

HRESULT CVOXSensor::GetSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return WithSignature([&] { return ReadSerialNumber(serialNumber); });
}

HRESULT CVOXSensor::ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return WithSignature([&] { return ReadParameter(kTemperature, value, quality, unitId, cachedOnly); });
}

HRESULT CVOXSensor::GetTemperatureUnit(USHORT& unitId)
{
    return WithSignature([&] { return GetUnit(kTemperature, unitId); });
}

HRESULT CVOXSensor::SetTemperatureUnit(USHORT unitId)
{
    return WithSignature([&] { return SetUnit(kTemperature, unitId); });
}

HRESULT CVOXSensor::GetTemperatureSentinel(float& sentinel)
{
    return WithSignature([&] { return GetSentinel(kTemperature, sentinel); });
}

HRESULT CVOXSensor::ReadOxygenParamA(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return WithDevice([&] { return ReadParameter(kOxygenA, value, quality, unitId, cachedOnly); });
}

HRESULT CVOXSensor::GetOxygenParamAUnit(USHORT& unitId)
{
    return WithDevice([&] { return GetUnit(kOxygenA, unitId); });
}

HRESULT CVOXSensor::SetOxygenParamAUnit(USHORT unitId)
{
    return WithDevice([&] { return SetUnit(kOxygenA, unitId); });
}

HRESULT CVOXSensor::GetOxygenParamASentinel(float& sentinel)
{
    return WithDevice([&] { return GetSentinel(kOxygenA, sentinel); });
}

HRESULT CVOXSensor::SetOxygenParamASentinel(float sentinel)
{
    return WithDevice([&] { return SetSentinel(kOxygenA, sentinel); });
}

HRESULT CVOXSensor::ReadOxygenParamB(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return WithDevice([&] { return ReadParameter(m_nOxygenB, value, quality, unitId, cachedOnly); });
}

HRESULT CVOXSensor::GetOxygenParamBUnit(USHORT& unitId)
{
    return WithDevice([&] { return GetUnit(m_nOxygenB, unitId); });
}

HRESULT CVOXSensor::SetOxygenParamBUnit(USHORT unitId)
{
    return WithDevice([&] { return SetUnit(m_nOxygenB, unitId); });
}

HRESULT CVOXSensor::GetOxygenParamBSentinel(float& sentinel)
{
    return WithDevice([&] { return GetSentinel(m_nOxygenB, sentinel); });
}

HRESULT CVOXSensor::SetOxygenParamBSentinel(float sentinel)
{
    return WithDevice([&] { return SetSentinel(m_nOxygenB, sentinel); });
}

HRESULT CVOXSensor::ReadOxygenParamC(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return WithDevice([&] { return ReadParameter(kOxygenC, value, quality, unitId, cachedOnly); });
}

HRESULT CVOXSensor::GetOxygenParamCUnit(USHORT& unitId)
{
    return WithDevice([&] { return GetUnit(kOxygenC, unitId); });
}

HRESULT CVOXSensor::SetOxygenParamCUnit(USHORT unitId)
{
    return WithDevice([&] { return SetUnit(kOxygenC, unitId); });
}

HRESULT CVOXSensor::GetOxygenParamCSentinel(float& sentinel)
{
    return WithDevice([&] { return GetSentinel(kOxygenC, sentinel); });
}

HRESULT CVOXSensor::SetOxygenParamCSentinel(float sentinel)
{
    return WithDevice([&] { return SetSentinel(kOxygenC, sentinel); });
}

HRESULT CVOXSensor::CalModeOn()
{
    return WithDevice([&] { return m_pDevice->SetSensorCalModeOn(m_nConnection); });
}

HRESULT CVOXSensor::CalModeOff()
{
    return WithDevice([&] { return m_pDevice->SetSensorCalModeOff(m_nConnection); });
}

HRESULT CVOXSensor::UpdateCalibration()
{
    return WithDevice([&] { return m_pDevice->UpdateSensorCalibration(m_nConnection); });
}

HRESULT CVOXSensor::ReadLiveSalinity(float& value)
{
    return WithDevice([&] { return ReadFloat(kLiveSalinity, value); });
}

HRESULT CVOXSensor::SetLiveSalinity(float value)
{
    return WithDevice([&] { return WriteFloat(kLiveSalinity, value); });
}

HRESULT CVOXSensor::ReadDefaultSalinity(float& value)
{
    return WithDevice([&] { return ReadFloat(kDefaultSalinity, value); });
}

HRESULT CVOXSensor::SetDefaultSalinity(float value)
{
    return WithDevice(
        [&]
        {
            const HRESULT hr = WriteFloat(kDefaultSalinity, value);
            if (Succeeded(hr))
                SetLiveSalinity(value);
            return hr;
        });
}

HRESULT CVOXSensor::ReadLiveBaro(float& value)
{
    return WithDevice([&] { return ReadFloat(kLiveBaro, value); });
}

HRESULT CVOXSensor::SetLiveBaro(float value)
{
    return WithDevice([&] { return WriteFloat(kLiveBaro, value); });
}

HRESULT CVOXSensor::ReadDefaultBaro(float& value)
{
    return WithDevice([&] { return ReadFloat(kDefaultBaro, value); });
}

HRESULT CVOXSensor::SetDefaultBaro(float value)
{
    return WithDevice(
        [&]
        {
            const HRESULT hr = WriteFloat(kDefaultBaro, value);
            if (Succeeded(hr))
                SetLiveBaro(value);
            return hr;
        });
}

HRESULT CVOXSensor::ReadCalDO100(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalDO100, value); });
}

HRESULT CVOXSensor::SetCalDO100(float value)
{
    return WithDevice([&] { return WriteFloat(kCalDO100, value); });
}

HRESULT CVOXSensor::ReadCalTemp100(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalTemp100, value); });
}

HRESULT CVOXSensor::SetCalTemp100(float value)
{
    return WithDevice([&] { return WriteFloat(kCalTemp100, value); });
}

HRESULT CVOXSensor::ReadCalSalinity100(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalSalinity100, value); });
}

HRESULT CVOXSensor::SetCalSalinity100(float value)
{
    return WithDevice([&] { return WriteFloat(kCalSalinity100, value); });
}

HRESULT CVOXSensor::ReadCalBaro100(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalBaro100, value); });
}

HRESULT CVOXSensor::SetCalBaro100(float value)
{
    return WithDevice([&] { return WriteFloat(kCalBaro100, value); });
}

HRESULT CVOXSensor::ReadCalDO0(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalDO0, value); });
}

HRESULT CVOXSensor::SetCalDO0(float value)
{
    return WithDevice([&] { return WriteFloat(kCalDO0, value); });
}

HRESULT CVOXSensor::ReadCalTemp0(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalTemp0, value); });
}

HRESULT CVOXSensor::SetCalTemp0(float value)
{
    return WithDevice([&] { return WriteFloat(kCalTemp0, value); });
}

HRESULT CVOXSensor::ReadCalSlope(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalSlope, value); });
}

HRESULT CVOXSensor::SetCalSlope(float value)
{
    return WithDevice([&] { return WriteFloat(kCalSlope, value); });
}

HRESULT CVOXSensor::ReadCalOffset(float& value)
{
    return WithDevice([&] { return ReadFloat(kCalOffset, value); });
}

HRESULT CVOXSensor::SetCalOffset(float value)
{
    return WithDevice([&] { return WriteFloat(kCalOffset, value); });
}

HRESULT CVOXSensor::GetVoxSerialNumber(ULONG& serialNumber)
{
    return GetSerialNumber(serialNumber);
}

HRESULT CVOXSensor::GetCapSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return WithSignature([&] { return GetVoxSerialNumber(serialNumber); });
}

BOOL CVOXSensor::IsSensorPresent()
{
    if (m_pDevice == nullptr)
        return FALSE;
    ULONG serial = 0;
    return Succeeded(ReadSerialNumber(serial)) && serial != 0 ? TRUE : FALSE;
}

HRESULT CVOXSensor::GetTimeToFactoryCal(int64_t& milliseconds)
{
    milliseconds = 0;
    return WithDevice(
        [&]
        {
            CDeviceTimestamp due;
            if (const HRESULT hr = m_pDevice->GetNextFactoryCalDate(m_nConnection, due); Failed(hr))
                return hr;
            CDeviceTimestamp now;
            if (const HRESULT hr = m_pDevice->GetDeviceTime(now); Failed(hr))
                return hr;
            if (now > due)
                return S_OK;
            due.Subtract(now, milliseconds);
            return S_OK;
        });
}

HRESULT CVOXSensor::GetNextFactoryCalDate(CDeviceTimestamp& date)
{
    return WithDevice([&] { return m_pDevice->GetNextFactoryCalDate(m_nConnection, date); });
}

HRESULT CVOXSensor::GetSensorStatus(ULONG& status)
{
    status = kStatusNormal;
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unitId = 0;
    const HRESULT hr = ReadOxygenParamA(value, quality, unitId, FALSE);
    if (hr == MODBUSCOMM_E_PORT_NO_SENSOR)
    {
        status = kStatusNotDetected;
        return S_OK;
    }
    if (Failed(hr))
    {
        status = kStatusReadFailure;
        return hr;
    }
    // The code alone decides: the bits above it carry a count that changes nothing.
    switch (QualityCode(quality))
    {
    case QUALITY_DISABLED:
        status = kStatusWear;
        break;
    case QUALITY_FACTORY_CAL_EXPIRED:
        status = kStatusExpired;
        break;
    case QUALITY_ERROR:
        status = kStatusDamaged;
        break;
    case QUALITY_OFFLINE:
        status = kStatusNotDetected;
        break;
    default:
        break;
    }
    return hr;
}

} // namespace NVSystem
