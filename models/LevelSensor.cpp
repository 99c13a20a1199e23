#include "models/LevelSensor.h"

#include "models/SledraComm.h"

namespace NVSystem
{

namespace
{

constexpr ULONG kGravityChangeTimeoutMs = 500;
constexpr USHORT kGravityChangeRetries = 2;

} // namespace

// --- Temperature ---

HRESULT CLevelSensor::ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kTemperature, value, quality, unitId, cachedOnly); });
}

HRESULT CLevelSensor::GetTemperatureUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kTemperature, unitId); });
}

HRESULT CLevelSensor::SetTemperatureUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kTemperature, unitId); });
}

HRESULT CLevelSensor::GetTemperatureSentinel(float& sentinel)
{
    return Checked([&] { return GetSentinel(kTemperature, sentinel); });
}

// --- Pressure reference and specific gravity ---

HRESULT CLevelSensor::SetPressureReference(float reference)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting pressure reference: " << reference << TRACE_END;
            TraceSuccess();
            return S_OK;
        });
}

HRESULT CLevelSensor::ClearGravityChangeWord()
{
    const NetworkReference network(m_pDevice->GetModbusComm());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->WriteUShort(m_pDevice->GetAddress(), kGravityChangeRegister, 0, kGravityChangeTimeoutMs,
                                kGravityChangeRetries);
}

HRESULT CLevelSensor::GravityWritten()
{
    return CSledraComm::IsSledra(m_pDevice) ? ClearGravityChangeWord() : S_OK;
}

} // namespace NVSystem
