#include "models/LevelSensor.h"

#include <algorithm>
#include <memory>

#include "device/SensorCache.h"
#include "foundation/CommTimeouts.h"
#include "foundation/Formulas.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SettingNotes.h"
#include "models/SledraComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kDepthToWater = 4; // the level modes a reference applies to
constexpr USHORT kSurfaceElevation = 5;

constexpr ULONG kGravityChangeTimeoutMs = 500;
constexpr USHORT kGravityChangeRetries = 2;
// Beyond the sensor's warm-up and sample time no write should take longer.
constexpr uint64_t kLongestLevelReferenceWriteMs = 300000;

// Quality codes (the low four bits of the quality word) of a reading that holds no measurement.
constexpr USHORT kQualityCodeMask = 0x000F;
constexpr USHORT kQualityError = 3;
constexpr USHORT kQualityWarmUp = 4;
constexpr USHORT kQualityDisabled = 5;
constexpr USHORT kQualityOffline = 7;
constexpr USHORT kQualityCodes = 8; // codes from here on are not defined

bool QualityMarksNoMeasurement(USHORT quality)
{
    const USHORT code = quality & kQualityCodeMask;
    return code == kQualityError || code == kQualityWarmUp || code == kQualityDisabled ||
           code == kQualityOffline || code >= kQualityCodes;
}

struct NetworkReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); }
};
using NetworkHold = std::unique_ptr<CModbusComm, NetworkReleaser>;

// Calibration mode of one sensor, on while this lives: a way out that did not turn it off (an
// exception) turns it off.
class CCalModeScope
{
public:
    CCalModeScope(CDeviceComm& device, USHORT connection) : m_Device(device), m_nConnection(connection) {}
    CCalModeScope(const CCalModeScope&) = delete;
    CCalModeScope& operator=(const CCalModeScope&) = delete;
    ~CCalModeScope()
    {
        if (m_bOn)
            m_Device.SetSensorCalModeOff(m_nConnection);
    }

    HRESULT Off()
    {
        m_bOn = false;
        return m_Device.SetSensorCalModeOff(m_nConnection);
    }

private:
    CDeviceComm& m_Device;
    const USHORT m_nConnection;
    bool m_bOn = true;
};

} // namespace

CLevelSensor::CLevelSensor(CDeviceComm* device, USHORT connection)
    : CSensorAdapter(device, connection, kSignature)
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

template <typename Steps>
HRESULT CLevelSensor::UnderDeviceLock(Steps&& steps, HRESULT onException) noexcept
{
    if (!IsBound(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        // Only the lock is wanted: the steps reach the sensor through the device's own operations,
        // which take the re-entrant lock once more.
        CLockedSensor held;
        if (const HRESULT hr = m_pDevice->FindSensorAtConnection(m_nConnection, held); Failed(hr))
            return hr;
        return steps();
    }
    catch (...)
    {
        return onException;
    }
}

CTraceLog& CLevelSensor::Trace()
{
    return m_Trace << TRACE_LEVEL1 << u"Level Sensor: " << m_pDevice->GetAddress();
}

HRESULT CLevelSensor::TraceFailure(const char16_t* text, HRESULT hr)
{
    Trace() << text << TraceHr(hr) << TRACE_END;
    return hr;
}

void CLevelSensor::TraceSuccess()
{
    Trace() << u" - success" << TRACE_END;
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

// --- Traced settings ---

HRESULT CLevelSensor::TracedRead(USHORT offset, float& value, const char16_t* action, const char16_t* failure)
{
    return UnderDeviceLock(
        [&]
        {
            Trace() << action << TRACE_END;
            const HRESULT hr = ReadFloat(offset, value);
            if (Failed(hr))
                return TraceFailure(failure, hr);
            TraceSuccess();
            return hr;
        });
}

HRESULT CLevelSensor::ReadPressureOffset(float& offset)
{
    return TracedRead(kPressureOffset, offset, u" - reading pressure offset",
                      u" - failed to get Pressure Offset, EC: ");
}

HRESULT CLevelSensor::ReadLevelReference(float& reference)
{
    return TracedRead(kLevelReference, reference, u" - reading level reference",
                      u" - failed to get Level Ref, EC: ");
}

HRESULT CLevelSensor::ReadPressureReference(float& reference)
{
    return TracedRead(kPressureReference, reference, u" - reading pressure reference",
                      u" - failed to get Pressure Ref, EC: ");
}

HRESULT CLevelSensor::ReadSpecificGravity(float& gravity)
{
    return TracedRead(kSpecificGravity, gravity, u" - reading SG", u" - failed to get SG, EC: ");
}

HRESULT CLevelSensor::WritePressureOffset(float offset)
{
    return UnderDeviceLock(
        [&]
        {
            Trace() << u" - writing pressure offset: " << offset << TRACE_END;
            const HRESULT hr = WriteFloat(kPressureOffset, offset);
            if (Failed(hr))
                return TraceFailure(u" - failed to write Pressure Offset, EC: ", hr);
            TraceSuccess();
            return hr;
        });
}

HRESULT CLevelSensor::SetPressureOffset(float offset)
{
    return UnderDeviceLock(
        [&]
        {
            Trace() << u" - setting pressure offset to: " << offset << TRACE_END;
            USHORT unitId = 0;
            HRESULT hr = m_pDevice->GetParameterUnitId(m_nConnection, kPressure, unitId);
            if (Failed(hr))
                return TraceFailure(u" - failed to get Pressure Units, EC: ", hr);
            hr = m_pDevice->SetSensorCalModeOn(m_nConnection);
            if (Failed(hr))
                return TraceFailure(u" - failed to set sensor to Cal-Continuous mode, EC: ", hr);
            CCalModeScope calMode(*m_pDevice, m_nConnection);
            hr = WritePressureOffset(offset);
            // The sensor takes the offset only with the update: one it refused is no new offset.
            if (Succeeded(hr))
                hr = m_pDevice->UpdateSensorCalibration(m_nConnection);
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(u" - failed to set Pressure Offset, EC: ", hr);
            }
            hr = calMode.Off();
            if (Failed(hr))
                return TraceFailure(u" - failed to set pressure offset value, EC: ", hr);
            TraceSuccess();
            return hr;
        });
}

HRESULT CLevelSensor::ZeroPressure()
{
    bool zeroed = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            HRESULT hr = m_pDevice->SetSensorCalModeOn(m_nConnection);
            if (Failed(hr))
                return TraceFailure(u" - failed to set sensor to Cal-Continuous mode, EC: ", hr);
            CCalModeScope calMode(*m_pDevice, m_nConnection);
            float pressure = 0.0f;
            USHORT quality = 0;
            USHORT unitId = 0;
            hr = ReadPressure(pressure, quality, unitId, FALSE);
            if (Succeeded(hr))
            {
                // A stand-in value as the new zero would offset every later reading by it.
                float sentinel = 0.0f;
                const bool isSentinel = Succeeded(GetSentinel(kPressure, sentinel)) && pressure == sentinel;
                if (QualityMarksNoMeasurement(quality) || isSentinel)
                    hr = ADAPTER_E_INVALID_DEVICE_RESPONSE;
            }
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(u" - failed to get pressure value, EC: ", hr);
            }
            hr = WriteFloat(kPressureOffset, pressure);
            if (Succeeded(hr))
                hr = m_pDevice->UpdateSensorCalibration(m_nConnection);
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(u" - failed to set Pressure Offset, EC: ", hr);
            }
            zeroed = true;
            hr = calMode.Off();
            if (Failed(hr))
                return TraceFailure(u" - failed to set pressure offset value, EC: ", hr);
            return hr;
        });
    // Outside the device lock: a note waits for the device's file transfers.
    if (zeroed && m_pDevice->HasActiveLog())
        WriteZeroPressureNote();
    return result;
}

void CLevelSensor::WriteRestoreNote(ULONG serial, USHORT kind) noexcept
{
    try
    {
        if (!m_pDevice->HasActiveLog())
            return;
        CNVUserNote_RestoreFactoryCal_Sensor note;
        if (Succeeded(note.Build(serial, kind)))
            m_pDevice->WriteLogNote(note);
    }
    catch (...)
    {
        // A note that cannot be written leaves the operation's result as it is.
    }
}

HRESULT CLevelSensor::RestorePressureFactoryCal()
{
    ULONG serial = 0;
    bool offsetRestored = false;
    bool referencesRestored = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            ReadSerialNumber(serial);
            HRESULT hr = m_pDevice->SetSensorCalModeOn(m_nConnection);
            if (Failed(hr))
                return TraceFailure(u" - failed to set sensor to Cal-Continuous mode, EC: ", hr);
            CCalModeScope calMode(*m_pDevice, m_nConnection);
            hr = WriteFloat(kPressureOffset, 0.0f);
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(u" - failed to set Pressure Offset, EC: ", hr);
            }
            offsetRestored = true;
            hr = calMode.Off();
            if (Failed(hr))
                return TraceFailure(u" - failed to set pressure offset value, EC: ", hr);
            hr = WriteFloat(kLevelReference, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Reference, EC: ", hr);
            hr = WriteFloat(kPressureReference, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Pressure Reference, EC: ", hr);
            referencesRestored = true;
            return hr;
        });
    // The notes after the register sequence, which keeps the device lock throughout.
    if (offsetRestored)
        WriteRestoreNote(serial, RESTORE_KIND_PRESSURE_OFFSET);
    if (referencesRestored)
        WriteRestoreNote(serial, RESTORE_KIND_LEVEL_REFERENCE);
    return result;
}

HRESULT CLevelSensor::RestoreLevelReferenceDefaults()
{
    bool restored = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            Trace() << u" - resetting level reference to factory defaults" << TRACE_END;
            HRESULT hr = WriteFloat(kLevelReference, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Reference, EC: ", hr);
            hr = WriteFloat(kPressureReference, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Pressure Reference, EC: ", hr);
            TraceSuccess();
            restored = true;
            return hr;
        });
    if (restored)
    {
        ULONG serial = 0;
        ReadSerialNumber(serial);
        WriteRestoreNote(serial, RESTORE_KIND_LEVEL_REFERENCE);
    }
    return result;
}

HRESULT CLevelSensor::CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                                 USHORT& pressureUnitId)
{
    level = 0.0f;
    levelUnitId = 0;
    pressure = 0.0f;
    pressureUnitId = 0;
    return UnderDeviceLock(
        [&]
        {
            HRESULT hr = GetLevelUnit(levelUnitId);
            if (Failed(hr))
                return hr;
            float gravity = 0.0f;
            hr = ReadSpecificGravity(gravity);
            if (Failed(hr))
                return hr;
            if (gravity == 0.0f)
                return S_OK;
            USHORT quality = 0;
            hr = ReadPressure(pressure, quality, pressureUnitId, FALSE);
            if (Failed(hr))
                return hr;
            level = static_cast<float>(PressureToDepth(FromUnit{pressureUnitId}, ToUnit{levelUnitId},
                                                       SpecificGravity{gravity}, pressure));
            return hr;
        },
        ADAPTER_E_UNEXPECTED);
}

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
            Trace() << u" - setting level reference: " << reference << TRACE_END;
            USHORT parameterId = 0;
            hr = m_pDevice->GetParameterId(m_nConnection, kLevel, parameterId);
            if (Failed(hr))
                return TraceFailure(u" - failed to get level parameter id, EC: ", hr);
            if (parameterId != kDepthToWater && parameterId != kSurfaceElevation)
                return ADAPTER_E_INVALID_PARAMETER;
            ULONG warmUpMs = 0;
            ULONG sampleMs = 0;
            hr = m_pDevice->GetWarmupTime(m_nConnection, warmUpMs);
            if (Succeeded(hr))
                hr = m_pDevice->GetFastestSampleRate(m_nConnection, sampleMs);
            if (Failed(hr))
                return TraceFailure(u" - failed to get sensor warm up time, EC: ", hr);
            // Writing the reference makes the sensor measure before it answers.
            const uint64_t timeoutMs = std::min<uint64_t>(
                uint64_t{warmUpMs} + sampleMs + GetWriteRegisterTimeout(), kLongestLevelReferenceWriteMs);
            hr = m_pDevice->SetSensorCalModeOn(m_nConnection);
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(*m_pDevice, m_nConnection);
            hr = WriteLevelReference(info.SensorBase, reference, static_cast<ULONG>(timeoutMs));
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
            Trace() << u" - setting pressure reference: " << reference << TRACE_END;
            TraceSuccess();
            return S_OK;
        });
}

HRESULT CLevelSensor::SetLevelMode(USHORT mode)
{
    return UnderDeviceLock(
        [&]
        {
            Trace() << u" - setting level mode: " << mode << TRACE_END;
            const HRESULT hr = WriteWord(kLevelMode, mode);
            if (Failed(hr))
                return TraceFailure(u" - failed to set Level Mode, EC: ", hr);
            // The level parameter now measures another quantity: its description changed.
            m_pDevice->ReadSensorParameterBlocks(m_nConnection);
            TraceSuccess();
            return hr;
        });
}

HRESULT CLevelSensor::ReadLevelMode(ULONG& mode)
{
    return UnderDeviceLock(
        [&]
        {
            Trace() << u" - reading level mode" << TRACE_END;
            USHORT word = 0;
            const HRESULT hr = ReadWord(kLevelMode, word);
            if (Failed(hr))
                return TraceFailure(u" - failed to get Level Mode, EC: ", hr);
            mode = word >= kLevelModeFirst && word <= kLevelModeLast ? word : kLevelModeFirst;
            TraceSuccess();
            return hr;
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

HRESULT CLevelSensor::SetSpecificGravity(float gravity)
{
    bool written = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            Trace() << u" - setting SG to: " << gravity << TRACE_END;
            HRESULT hr = WriteFloat(kSpecificGravity, gravity);
            if (Failed(hr))
                return TraceFailure(u" - failed to set SG, EC: ", hr);
            TraceSuccess();
            written = true;
            if (CSledraComm::IsSledra(m_pDevice))
                hr = ClearGravityChangeWord();
            return hr;
        });
    if (!written)
        return result;
    try
    {
        if (m_pDevice->HasActiveLog())
        {
            ULONG serial = 0;
            ReadSerialNumber(serial);
            CNVUserNote_NewSpecificGravity note;
            if (Succeeded(note.Build(serial, gravity)))
                m_pDevice->WriteLogNote(note);
        }
    }
    catch (...)
    {
        // A note that cannot be written leaves the operation's result as it is.
    }
    return result;
}

} // namespace NVSystem
