#include "models/LevelSensor.h"

#include <memory>

#include "foundation/CommTimeouts.h"
#include "models/SledraComm.h"

namespace NVSystem
{

namespace
{

constexpr ULONG kGravityChangeTimeoutMs = 500;
constexpr USHORT kGravityChangeRetries = 2;

struct NetworkReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); }
};
using NetworkHold = std::unique_ptr<CModbusComm, NetworkReleaser>;

} // namespace

CLevelSensor::CLevelSensor(CDeviceComm* device, USHORT connection)
    : CLevelSettings(device, connection, kSignature)
{
    // The records go to the device trace file, which the device opens by the same rule.
    if ((ReadCommTunable(CommTunable::DebugFlags) & DEBUG_FLAG_DEVICE_TRACE) != 0 &&
        Succeeded(m_Trace.OpenFile(u"DeviceControlTraceLog.txt", u"CDeviceComm")))
        m_Trace.SetMaxLevel(1);
}

CLevelSensor::~CLevelSensor()
{
    m_Trace.Close();
}

CTraceLog& CLevelSensor::StepTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Level Sensor: " << m_pDevice->GetAddress();
}

ULONG CLevelSensor::NoteSerial()
{
    ULONG serial = 0;
    ReadSerialNumber(serial);
    return serial;
}

bool CLevelSensor::AcceptsZeroReading(float pressure, USHORT quality)
{
    return ZeroReadingAccepted(*m_pDevice, m_nConnection, kPressure, pressure, quality);
}

// --- Readings, units and serial numbers ---

HRESULT CLevelSensor::GetSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

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

HRESULT CLevelSensor::GetPressureSerialNumber(ULONG& serialNumber)
{
    return GetSerialNumber(serialNumber);
}

HRESULT CLevelSensor::GetPressureUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kPressure, unitId); });
}

HRESULT CLevelSensor::SetPressureUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kPressure, unitId); });
}

HRESULT CLevelSensor::ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kPressure, value, quality, unitId, cachedOnly); });
}

HRESULT CLevelSensor::GetLevelSerialNumber(ULONG& serialNumber)
{
    return GetSerialNumber(serialNumber);
}

HRESULT CLevelSensor::GetLevelUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kLevel, unitId); });
}

HRESULT CLevelSensor::SetLevelUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kLevel, unitId); });
}

HRESULT CLevelSensor::ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kLevel, value, quality, unitId, cachedOnly); });
}

// --- Level reference and specific gravity ---

HRESULT CLevelSensor::WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs)
{
    // Computed wide: a base near the top of the registers must not wrap to another register.
    const uint32_t first = uint32_t{sensorBase} + kLevelReference;
    if (!SensorWindowHolds(first, 2))
        return MODBUSCOMM_E_INVALID_SENSOR_PORT;
    const NetworkHold network(m_pDevice->GetModbusComm());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->WriteFloat(m_pDevice->GetAddress(), static_cast<USHORT>(first), reference, timeoutMs,
                               m_pDevice->GetRetryCount());
}

HRESULT CLevelSensor::SetLevelReference(float reference)
{
    bool set = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            SensorConnectionInfo info;
            HRESULT hr = m_pDevice->GetSensorConnectionInfo(m_nConnection, info);
            if (Failed(hr))
                return TraceFailure(u" - failed to get level parameter id, EC: ", hr);
            StepTrace() << u" - setting level reference: " << reference << TRACE_END;
            hr = CheckReferenceMode();
            if (Failed(hr))
                return hr;
            ULONG warmUpMs = 0;
            ULONG sampleMs = 0;
            hr = m_pDevice->GetWarmupTime(m_nConnection, warmUpMs);
            if (Succeeded(hr))
                hr = m_pDevice->GetFastestSampleRate(m_nConnection, sampleMs);
            if (Failed(hr))
                return TraceFailure(u" - failed to get sensor warm up time, EC: ", hr);
            hr = m_pDevice->SetSensorCalModeOn(m_nConnection);
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(*m_pDevice, m_nConnection);
            hr = WriteLevelReference(info.SensorBase, reference, ReferenceWriteTimeout(warmUpMs, sampleMs));
            if (Failed(hr))
            {
                TraceFailure(u" - failed to set Level Ref, EC: ", hr);
                calMode.Off();
                return hr;
            }
            hr = m_pDevice->UpdateSensorCalibration(m_nConnection);
            if (Failed(hr))
            {
                calMode.Off();
                return hr;
            }
            hr = calMode.Off();
            if (Failed(hr))
                return hr;
            set = true;
            // The header carries the new calibration; its re-read is only a refresh.
            m_pDevice->ReadSensorHeader(m_nConnection);
            TraceSuccess();
            return hr;
        });
    if (set && m_pDevice->HasActiveLog())
        WriteSetNewLevelRefNote();
    return result;
}

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
    const NetworkHold network(m_pDevice->GetModbusComm());
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
