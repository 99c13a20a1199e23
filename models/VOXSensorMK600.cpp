#include "models/VOXSensorMK600.h"

#include "models/CalibrationNotes.h"
#include "models/ConductivitySensorMK600.h"
#include "models/ReadingQuality.h"
#include "models/SensorNoteWriter.h"
#include "models/SondeSensorSupport.h"

namespace NVSystem
{

namespace
{

constexpr ULONG kBaroRegisterTimeoutMs = 1000;

// The salinity is the conductivity sensor's quantity 3.
constexpr USHORT kSalinityParameter = CConductivitySensorMK600::kLayout.parameters[2];

// A pressure from the unit the barometer reports into millibar. A unit that does not convert (Torr,
// atm) gives no pressure the oxygen could be compensated with: the barometer's answer is of no use.
HRESULT ToMilliBar(USHORT unitId, float reading, float& value)
{
    double converted = 0.0;
    if (!ConvertUnits(FromUnit{unitId}, converted, ToUnit{CVOXSensorMK600::kMilliBar}, reading))
        return ADAPTER_E_INVALID_DEVICE_RESPONSE;
    value = static_cast<float>(converted);
    return S_OK;
}

} // namespace

CVOXSensorMK600::CVOXSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature,
                                 ISensor_Barometric* barometric, ISensor_Conductivity* conductivity)
    : CVOXSensor(device, connection, kOxygenB), m_pTemperature(temperature), m_pBarometric(barometric),
      m_pConductivity(conductivity)
{
    // The probes' adapter checks its own signature; every operation that does is this class's own.
    m_nSignature = kSignature;
}

CVOXSensorMK600::~CVOXSensorMK600()
{
    m_pTemperature = nullptr;
    m_pBarometric = nullptr;
    m_pConductivity = nullptr;
}

HRESULT CVOXSensorMK600::GetSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return WithSignature([&] { return ReadSerialNumber(serialNumber); });
}

HRESULT CVOXSensorMK600::ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL /*cachedOnly*/)
{
    return WithSignature([&] { return ReadSourceTemperature(m_pTemperature, value, quality, unitId); });
}

HRESULT CVOXSensorMK600::GetTemperatureUnit(USHORT& unitId)
{
    return WithSignature([&] { return GetSourceTemperatureUnit(m_pTemperature, unitId, S_OK); });
}

HRESULT CVOXSensorMK600::SetTemperatureUnit(USHORT unitId)
{
    return WithSignature([&] { return SetSourceTemperatureUnit(m_pTemperature, unitId, S_OK); });
}

HRESULT CVOXSensorMK600::GetTemperatureSentinel(float& sentinel)
{
    return WithSignature([&] { return GetSourceTemperatureSentinel(m_pTemperature, sentinel); });
}

// --- Salinity ---

HRESULT CVOXSensorMK600::ReadLiveSalinity(float& value)
{
    return WithDevice(
        [&]
        {
            if (m_pConductivity == nullptr)
                return ReadDefaultSalinity(value);
            float salinity = 0.0f;
            USHORT quality = 0;
            USHORT unitId = 0;
            const HRESULT hr = m_pConductivity->ReadConductivityParam3(salinity, quality, unitId, FALSE);
            if (Failed(hr))
                return hr;
            // A sensor warming up reports its sentinel: compensating with it would be compensating
            // with a made-up salinity.
            if (!ReadingHoldsMeasurement(*m_pDevice, m_pConductivity->GetConductivityConnection(),
                                         kSalinityParameter, salinity, quality))
                return ADAPTER_E_INVALID_DEVICE_RESPONSE;
            value = salinity;
            return hr;
        });
}

HRESULT CVOXSensorMK600::SetLiveSalinity(float /*value*/)
{
    return WithDevice([] { return S_OK; });
}

HRESULT CVOXSensorMK600::ReadDefaultSalinity(float& value)
{
    return WithDevice([&] { return ReadFloat(kDefaultSalinity, value); });
}

HRESULT CVOXSensorMK600::SetDefaultSalinity(float value)
{
    return WithDevice([&] { return WriteFloat(kDefaultSalinity, value); });
}

// --- Barometric pressure ---

bool CVOXSensorMK600::KeepsBaroInRegisters(HRESULT& hr)
{
    USHORT deviceType = 0;
    hr = m_pDevice->GetDeviceTypeId(deviceType);
    return Succeeded(hr) && deviceType == kBaroRegistersType;
}

HRESULT CVOXSensorMK600::ReadBaroRegister(USHORT reg, float& value)
{
    const NetworkReference network(m_pDevice->GetModbusComm());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->ReadFloat(m_pDevice->GetAddress(), reg, value, kBaroRegisterTimeoutMs,
                              m_pDevice->GetRetryCount());
}

HRESULT CVOXSensorMK600::WriteBaroRegister(USHORT reg, float value)
{
    const NetworkReference network(m_pDevice->GetModbusComm());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->WriteFloat(m_pDevice->GetAddress(), reg, value, kBaroRegisterTimeoutMs,
                               m_pDevice->GetRetryCount());
}

HRESULT CVOXSensorMK600::ReadLiveBaro(float& value)
{
    return WithDevice(
        [&]
        {
            HRESULT hr = S_OK;
            if (KeepsBaroInRegisters(hr))
                return ReadBaroRegister(kLiveBaroRegister, value);
            if (Failed(hr))
                return hr;
            if (m_pBarometric == nullptr)
                return E_FAIL;
            float reading = 0.0f;
            USHORT quality = 0;
            USHORT unitId = 0;
            if (Failed(hr = m_pBarometric->ReadBarometricPressure(reading, quality, unitId, FALSE)))
                return hr;
            return ToMilliBar(unitId, reading, value);
        });
}

HRESULT CVOXSensorMK600::SetLiveBaro(float value)
{
    return WithDevice(
        [&]
        {
            HRESULT hr = S_OK;
            if (KeepsBaroInRegisters(hr))
                return WriteBaroRegister(kLiveBaroRegister, value);
            if (Failed(hr))
                return hr;
            // The barometer measures the live pressure itself.
            return m_pBarometric != nullptr ? S_OK : E_FAIL;
        });
}

HRESULT CVOXSensorMK600::ReadDefaultBaro(float& value)
{
    return WithDevice(
        [&]
        {
            HRESULT hr = S_OK;
            if (KeepsBaroInRegisters(hr))
                return ReadBaroRegister(kDefaultBaroRegister, value);
            if (Failed(hr))
                return hr;
            if (m_pBarometric == nullptr)
                return E_FAIL;
            float sentinel = 0.0f;
            USHORT unitId = 0;
            if (Failed(hr = m_pBarometric->GetBaroSentinel(sentinel, unitId)))
                return hr;
            return ToMilliBar(unitId, sentinel, value);
        });
}

HRESULT CVOXSensorMK600::SetDefaultBaro(float value)
{
    return WithDevice(
        [&]
        {
            HRESULT hr = S_OK;
            if (KeepsBaroInRegisters(hr))
                return WriteBaroRegister(kDefaultBaroRegister, value);
            if (Failed(hr))
                return hr;
            return m_pBarometric != nullptr ? m_pBarometric->SetBaroSentinel(value, kMilliBar) : E_FAIL;
        });
}

// --- Cap and note ---

HRESULT CVOXSensorMK600::GetCapSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return WithSignature(
        [&]
        {
            float value = 0.0f;
            const HRESULT hr = ReadFloat(kCapSerialNumber, value);
            if (Succeeded(hr))
                serialNumber = CountFromDeviceFloat<ULONG>(value);
            return hr;
        });
}

HRESULT CVOXSensorMK600::WriteCalibrationNote()
{
    if (m_pDevice == nullptr)
        return E_FAIL;
    const auto build = [&](CNVUserNote_Calibrate_VOX& note)
    {
        // A slope or offset that cannot be read would go into the log as a calibration of 0.0.
        float slope = 0.0f;
        float offset = 0.0f;
        HRESULT hr = ReadCalSlope(slope);
        if (Succeeded(hr))
            hr = ReadCalOffset(offset);
        if (Failed(hr))
            return hr;
        ULONG serial = 0;
        ULONG cap = 0;
        GetVoxSerialNumber(serial);
        GetCapSerialNumber(cap);
        return note.Build(serial, cap, slope, offset);
    };
    return WriteNoteToActiveLog<CNVUserNote_Calibrate_VOX>(*m_pDevice, build);
}

} // namespace NVSystem
