// The level of the logger: computed on the PC from the pressure and the specific gravity, and the
// level reference that modes 4 (depth to water) and 5 (surface elevation) measure from.
#include <algorithm>

#include "foundation/CommTimeouts.h"
#include "foundation/Formulas.h"
#include "models/PressureNotes.h"
#include "models/SensorAdapterBase.h"
#include "models/StiloComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kDepthToWater = 4; // the level modes a reference applies to
constexpr USHORT kSurfaceElevation = 5;

// The warm-up and sample times come from the device: beyond them no write should take longer.
constexpr uint64_t kLongestLevelReferenceWriteMs = 300000;

} // namespace

HRESULT CStiloComm::CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                               USHORT& pressureUnitId)
{
    level = 0.0f;
    levelUnitId = 0;
    pressure = 0.0f;
    pressureUnitId = 0;
    return Framed(
        [&]
        {
            HRESULT hr = GetLevelUnit(levelUnitId);
            if (Failed(hr))
                return hr;
            float gravity = 0.0f;
            hr = ReadSpecificGravity(gravity);
            if (Failed(hr) || gravity == 0.0f)
                return hr;
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

HRESULT CStiloComm::SetLevelReference(float reference)
{
    bool set = false;
    const HRESULT result = Framed(
        [&]
        {
            StiloTrace() << u" - setting level reference: " << reference << TRACE_END;
            USHORT parameterId = 0;
            HRESULT hr = GetParameterId(BUILT_IN_SENSOR_CONNECTION, kLevelParameter, parameterId);
            if (Failed(hr))
                return TraceFailure(u" - failed to get level parameter id, EC: ", hr);
            if (parameterId != kDepthToWater && parameterId != kSurfaceElevation)
                return ADAPTER_E_INVALID_PARAMETER;
            ULONG warmUpMs = 0;
            hr = GetWarmupTime(BUILT_IN_SENSOR_CONNECTION, warmUpMs);
            if (Failed(hr))
                return TraceFailure(u" - failed to get sensor warm up time, EC: ", hr);
            ULONG sampleMs = 0;
            GetFastestSampleRate(BUILT_IN_SENSOR_CONNECTION, sampleMs);
            // Writing the reference makes the logger measure before it answers.
            const uint64_t timeoutMs = std::min<uint64_t>(
                uint64_t{sampleMs} + GetWriteRegisterTimeout() + warmUpMs, kLongestLevelReferenceWriteMs);
            hr = Network().WriteFloat(Address(), kLevelReferenceRegister, reference,
                                      static_cast<ULONG>(timeoutMs), m_nRetryCount);
            if (Failed(hr))
                return TraceFailure(u" - failed to set Level Ref, EC: ", hr);
            set = true;
            // The header carries the new reference; its re-read is only a refresh.
            ReadSensorHeader(BUILT_IN_SENSOR_CONNECTION);
            TraceSuccess();
            return hr;
        });
    // The note after the register sequence, which holds the device lock throughout.
    if (set && HasActiveLog())
        WriteSetNewLevelRefNote();
    return result;
}

HRESULT CStiloComm::WriteSetNewLevelRefNote()
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        if (!HasActiveLog())
            return E_FAIL;
        // What can be had goes into the note; a value that cannot stays 0.
        float levelReference = 0.0f;
        float level = 0.0f;
        float pressureReference = 0.0f;
        float pressureOffset = 0.0f;
        float temperature = 0.0f;
        USHORT quality = 0;
        USHORT temperatureUnit = 0;
        USHORT levelUnit = 0;
        USHORT pressureUnit = 0;
        ReadLevelReference(levelReference);
        CalculateLevel(level);
        ReadPressureReference(pressureReference);
        ReadPressureOffset(pressureOffset);
        ReadTemperature(temperature, quality, temperatureUnit, FALSE);
        GetLevelUnit(levelUnit);
        GetPressureUnit(pressureUnit);
        CNVUserNote_Calibrate_SetNewLevelRef note;
        HRESULT hr = note.Build(SensorSerial(), levelReference, level, pressureReference, pressureOffset,
                                temperature, levelUnit, pressureUnit, temperatureUnit);
        if (Succeeded(hr))
            hr = WriteLogNote(note);
        return hr;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

} // namespace NVSystem
