#include "models/LevelSensorMK600.h"

#include "foundation/CommTimeouts.h"
#include "foundation/Formulas.h"
#include "models/PressureNotes.h"
#include "models/SensorNoteWriter.h"
#include "models/SettingNotes.h"
#include "models/SondeSensorSupport.h"

namespace NVSystem
{

namespace
{

// The quality of the temperature without a source: no measurement.
constexpr USHORT kQualityError = 3;
constexpr USHORT kModeDepthOfProbe = 3;
constexpr USHORT kModeDepthToWater = 4;
constexpr USHORT kModeSurfaceElevation = 5;

} // namespace

CLevelSensorMK600::CLevelSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
    : CLevelSettings(device, connection, kSignature), m_pTemperature(temperature)
{
    // The records go to the device trace file, which the device opens by the same rule.
    if ((ReadCommTunable(CommTunable::DebugFlags) & DEBUG_FLAG_DEVICE_TRACE) != 0 &&
        Succeeded(m_Trace.OpenFile(u"DeviceControlTraceLog.txt", u"CDeviceComm")))
        m_Trace.SetMaxLevel(1);
}

CLevelSensorMK600::~CLevelSensorMK600()
{
    m_pTemperature = nullptr;
    m_Trace.Close();
}

CTraceLog& CLevelSensorMK600::StepTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Level Sensor: " << m_pDevice->GetAddress();
}

ULONG CLevelSensorMK600::NoteSerial()
{
    ULONG serial = 0;
    ReadSerialNumber(serial);
    return serial;
}

// --- Readings, units and serial numbers ---

HRESULT CLevelSensorMK600::GetSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

HRESULT CLevelSensorMK600::ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked(
        [&]
        {
            if (m_pTemperature != nullptr)
                return m_pTemperature->ReadTemperature(value, quality, unitId, cachedOnly);
            quality = kQualityError;
            return ReadSourceTemperature(nullptr, value, quality, unitId);
        });
}

HRESULT CLevelSensorMK600::GetTemperatureUnit(USHORT& unitId)
{
    return Checked([&] { return GetSourceTemperatureUnit(m_pTemperature, unitId, E_FAIL); });
}

HRESULT CLevelSensorMK600::SetTemperatureUnit(USHORT unitId)
{
    return Checked([&] { return SetSourceTemperatureUnit(m_pTemperature, unitId, E_FAIL); });
}

HRESULT CLevelSensorMK600::GetPressureUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kPressure, unitId); });
}

HRESULT CLevelSensorMK600::SetPressureUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kPressure, unitId); });
}

HRESULT CLevelSensorMK600::ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kPressure, value, quality, unitId, cachedOnly); });
}

HRESULT CLevelSensorMK600::GetLevelUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kLevel, unitId); });
}

HRESULT CLevelSensorMK600::SetLevelUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kLevel, unitId); });
}

HRESULT CLevelSensorMK600::ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kLevel, value, quality, unitId, cachedOnly); });
}

HRESULT CLevelSensorMK600::CalculateLevel(float& level)
{
    USHORT quality = 0;
    USHORT unitId = 0;
    return ReadLevel(level, quality, unitId, FALSE);
}

HRESULT CLevelSensorMK600::CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                                      USHORT& pressureUnitId)
{
    level = 0.0f;
    levelUnitId = 0;
    pressure = 0.0f;
    pressureUnitId = 0;
    return UnderDeviceLock(
        [&]
        {
            float gravity = 0.0f;
            HRESULT hr = S_OK;
            if (Failed(hr = GetLevelUnit(levelUnitId)) || Failed(hr = GetPressureUnit(pressureUnitId)) ||
                Failed(hr = ReadSpecificGravity(gravity)) || gravity == 0.0f)
                return hr;
            if (Succeeded(hr = CalculateLevel(level)))
                pressure = static_cast<float>(DepthToPressure(ToUnit{pressureUnitId}, FromUnit{levelUnitId},
                                                              SpecificGravity{gravity}, level));
            return hr;
        },
        ADAPTER_E_UNEXPECTED);
}

// --- Level reference, mode and gravity ---

HRESULT CLevelSensorMK600::WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs)
{
    // Computed wide: a base near the top of the registers must not wrap to another register.
    const uint32_t first = uint32_t{sensorBase} + kLevelReference;
    if (!SensorWindowHolds(first, 2))
        return MODBUSCOMM_E_INVALID_SENSOR_PORT;
    const NetworkReference network(m_pDevice->GetModbusComm());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->WriteFloat(m_pDevice->GetAddress(), static_cast<USHORT>(first), reference, timeoutMs,
                               m_pDevice->GetRetryCount());
}

HRESULT CLevelSensorMK600::SetLevelReference(float reference)
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

HRESULT CLevelSensorMK600::SetPressureReference(float reference)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting pressure reference: " << reference << TRACE_END;
            return S_OK;
        });
}

HRESULT CLevelSensorMK600::SetLevelMode(USHORT /*mode*/)
{
    return Checked([] { return S_OK; });
}

HRESULT CLevelSensorMK600::ReadLevelMode(ULONG& mode)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - reading level mode" << TRACE_END;
            ULONG software = 0;
            const HRESULT hr = m_pDevice->GetSoftwareRegister(software);
            if (Failed(hr))
            {
                StepTrace() << u" - failed to read software reserved value" << TRACE_END;
                return hr;
            }
            mode = (software & kDepthToWaterBit) != 0       ? kModeDepthToWater
                   : (software & kSurfaceElevationBit) != 0 ? kModeSurfaceElevation
                                                            : kModeDepthOfProbe;
            TraceSuccess();
            return hr;
        });
}

HRESULT CLevelSensorMK600::SetDynamicSGFactor(float factor)
{
    bool written = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting SG to: " << factor << TRACE_END;
            const HRESULT hr =
                TraceOutcome(WriteFloat(kDynamicSGFactor, factor), u" - failed to set SG, EC: ");
            written = Succeeded(hr);
            return hr;
        });
    if (written)
        WriteNote<CNVUserNote_NewSpecificGravity>(factor);
    return result;
}

HRESULT CLevelSensorMK600::ReadDynamicSGFactor(float& factor)
{
    return UnderDeviceLock([&] { return ReadFloat(kDynamicSGFactor, factor); });
}

// --- Calibration notes ---

HRESULT CLevelSensorMK600::WriteZeroPressureNote()
{
    if (!IsBound(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<CNVUserNote_Calibration_ZeroPressureSensor>(
        *m_pDevice,
        [&](CNVUserNote_Calibration_ZeroPressureSensor& note)
        {
            float offset = 0.0f;
            USHORT unitId = 0;
            HRESULT hr = S_OK;
            if (Failed(hr = ReadPressureOffset(offset)) || Failed(hr = GetPressureUnit(unitId)))
                return hr;
            return note.Build(NoteSerial(), offset, unitId);
        });
}

HRESULT CLevelSensorMK600::WriteSetNewLevelRefNote()
{
    if (!IsBound(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<CNVUserNote_Calibrate_SetNewLevelRef>(
        *m_pDevice,
        [&](CNVUserNote_Calibrate_SetNewLevelRef& note)
        {
            float levelReference = 0.0f;
            float level = 0.0f;
            float pressureReference = 0.0f;
            float pressureOffset = 0.0f;
            float temperature = 0.0f;
            USHORT quality = 0;
            USHORT temperatureUnit = 0;
            USHORT levelUnit = 0;
            USHORT pressureUnit = 0;
            HRESULT hr = S_OK;
            if (Failed(hr = ReadLevelReference(levelReference)) || Failed(hr = CalculateLevel(level)) ||
                Failed(hr = ReadPressureReference(pressureReference)) ||
                Failed(hr = ReadPressureOffset(pressureOffset)) ||
                Failed(hr = ReadTemperature(temperature, quality, temperatureUnit, FALSE)) ||
                Failed(hr = GetLevelUnit(levelUnit)) || Failed(hr = GetPressureUnit(pressureUnit)))
                return hr;
            return note.Build(NoteSerial(), levelReference, level, pressureReference, pressureOffset,
                              temperature, levelUnit, pressureUnit, temperatureUnit);
        });
}

} // namespace NVSystem
