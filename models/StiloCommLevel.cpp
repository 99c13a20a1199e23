// The level reference of the logger, which modes 4 (depth to water) and 5 (surface elevation)
// measure from, the pressure reference that goes with it, and the logger's calibration notes.
#include "models/PressureNotes.h"
#include "models/StiloComm.h"

namespace NVSystem
{

HRESULT CStiloComm::SetLevelReference(float reference)
{
    bool set = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting level reference: " << reference << TRACE_END;
            HRESULT hr = CheckReferenceMode();
            if (Failed(hr))
                return hr;
            ULONG warmUpMs = 0;
            hr = GetWarmupTime(BUILT_IN_SENSOR_CONNECTION, warmUpMs);
            if (Failed(hr))
                return TraceFailure(u" - failed to get sensor warm up time, EC: ", hr);
            ULONG sampleMs = 0;
            GetFastestSampleRate(BUILT_IN_SENSOR_CONNECTION, sampleMs);
            hr = Network().WriteFloat(Address(), kLevelReferenceRegister, reference,
                                      ReferenceWriteTimeout(warmUpMs, sampleMs), m_nRetryCount);
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

HRESULT CStiloComm::SetPressureReference(float reference)
{
    return UnderDeviceLock(
        [&]
        {
            StepTrace() << u" - setting pressure reference: " << reference << TRACE_END;
            return S_OK;
        });
}

// --- Calibration notes ---

template <typename Note, typename Build>
HRESULT CStiloComm::WriteCalibrationNote(Build&& build)
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        if (!HasActiveLog())
            return E_FAIL;
        Note note;
        HRESULT hr = build(note);
        if (Succeeded(hr))
            hr = WriteLogNote(note);
        return hr;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

HRESULT CStiloComm::WriteZeroPressureNote()
{
    return WriteCalibrationNote<CNVUserNote_Calibration_ZeroPressureSensor>(
        [&](CNVUserNote_Calibration_ZeroPressureSensor& note)
        {
            float offset = 0.0f;
            ReadPressureOffset(offset);
            USHORT unitId = 0;
            GetPressureUnit(unitId);
            return note.Build(NoteSerial(), offset, unitId);
        });
}

HRESULT CStiloComm::WriteSetNewLevelRefNote()
{
    return WriteCalibrationNote<CNVUserNote_Calibrate_SetNewLevelRef>(
        [&](CNVUserNote_Calibrate_SetNewLevelRef& note)
        {
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
            return note.Build(NoteSerial(), levelReference, level, pressureReference, pressureOffset,
                              temperature, levelUnit, pressureUnit, temperatureUnit);
        });
}

} // namespace NVSystem
