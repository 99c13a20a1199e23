#include "models/LevelSensorMK600.h"

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
    : CLevelSensorAdapter(device, connection, kSignature), m_pTemperature(temperature)
{
}

CLevelSensorMK600::~CLevelSensorMK600()
{
    m_pTemperature = nullptr;
}

// --- Temperature and level ---

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
