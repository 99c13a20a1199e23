// The pressure calibration of the logger: the offset set by hand, zeroing at the present pressure,
// and the factory restore. Each runs in calibration mode, which every way out of the sequence ends,
// so that a failed calibration does not leave the logger offline.
#include "foundation/CommTimeouts.h"
#include "models/PressureNotes.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/StiloComm.h"

namespace NVSystem
{

namespace
{

// Calibration mode, on while this lives: a way out that did not end it (an exception) ends it.
class CCalModeScope
{
public:
    explicit CCalModeScope(CDeviceComm& device) : m_Device(device) {}
    CCalModeScope(const CCalModeScope&) = delete;
    CCalModeScope& operator=(const CCalModeScope&) = delete;
    ~CCalModeScope()
    {
        if (m_bOn)
            m_Device.SetSensorCalModeOff(BUILT_IN_SENSOR_CONNECTION);
    }

    HRESULT Off()
    {
        m_bOn = false;
        return m_Device.SetSensorCalModeOff(BUILT_IN_SENSOR_CONNECTION);
    }

private:
    CDeviceComm& m_Device;
    bool m_bOn = true;
};

constexpr const char16_t* kCalModeOnFailure = u" - failed to set sensor to Cal-Continuous mode, EC: ";
constexpr const char16_t* kOffsetFailure = u" - failed to set Pressure Offset, EC: ";
constexpr const char16_t* kCalModeOffFailure = u" - failed to set pressure offset value, EC: ";

} // namespace

HRESULT CStiloComm::SetPressureOffset(float offset)
{
    return Framed(
        [&]
        {
            StiloTrace() << u" - setting pressure offset to: " << offset << TRACE_END;
            // Only a readable pressure parameter matters here; its unit is the offset's already.
            USHORT unitId = 0;
            HRESULT hr = GetParameterUnitId(BUILT_IN_SENSOR_CONNECTION, kPressureParameter, unitId);
            if (Failed(hr))
                return TraceFailure(u" - failed to get Pressure Units, EC: ", hr);
            hr = SetSensorCalModeOn(BUILT_IN_SENSOR_CONNECTION);
            if (Failed(hr))
                return TraceFailure(kCalModeOnFailure, hr);
            CCalModeScope calMode(*this);
            const HRESULT written = WritePressureOffset(offset);
            const HRESULT online = calMode.Off();
            if (Failed(written))
                return TraceFailure(kOffsetFailure, written);
            if (Failed(online))
                return TraceFailure(kCalModeOffFailure, online);
            TraceSuccess();
            return online;
        });
}

HRESULT CStiloComm::ZeroPressure()
{
    bool zeroed = false;
    const HRESULT result = Framed(
        [&]
        {
            HRESULT hr = SetSensorCalModeOn(BUILT_IN_SENSOR_CONNECTION);
            if (Failed(hr))
                return TraceFailure(kCalModeOnFailure, hr);
            CCalModeScope calMode(*this);
            float pressure = 0.0f;
            USHORT quality = 0;
            USHORT unitId = 0;
            hr = ReadPressure(pressure, quality, unitId, FALSE);
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(u" - failed to get pressure value, EC: ", hr);
            }
            hr = WriteFloatRegister(kPressureOffsetRegister, pressure);
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(kOffsetFailure, hr);
            }
            zeroed = true;
            hr = calMode.Off();
            if (Failed(hr))
                return TraceFailure(kCalModeOffFailure, hr);
            return hr;
        });
    // The note after the register sequence, which holds the device lock throughout.
    if (zeroed && HasActiveLog())
        WriteZeroPressureNote();
    return result;
}

HRESULT CStiloComm::RestorePressureFactoryCal()
{
    bool offsetRestored = false;
    bool referencesRestored = false;
    const HRESULT result = Framed(
        [&]
        {
            HRESULT hr = SetSensorCalModeOn(BUILT_IN_SENSOR_CONNECTION);
            if (Failed(hr))
                return TraceFailure(kCalModeOnFailure, hr);
            CCalModeScope calMode(*this);
            hr = WriteFloatRegister(kPressureOffsetRegister, 0.0f);
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(kOffsetFailure, hr);
            }
            offsetRestored = true;
            hr = calMode.Off();
            if (Failed(hr))
                return TraceFailure(kCalModeOffFailure, hr);
            hr = WriteFloatRegister(kLevelReferenceRegister, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Reference, EC: ", hr);
            hr = WriteFloatRegister(kPressureReferenceRegister, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Pressure Reference, EC: ", hr);
            referencesRestored = true;
            return hr;
        });
    if (offsetRestored)
        WriteRestoreNote(RESTORE_KIND_PRESSURE_OFFSET);
    if (referencesRestored)
        WriteRestoreNote(RESTORE_KIND_LEVEL_REFERENCE);
    return result;
}

HRESULT CStiloComm::WriteZeroPressureNote()
{
    if (!CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        if (!HasActiveLog())
            return E_FAIL;
        float offset = 0.0f;
        ReadPressureOffset(offset);
        USHORT unitId = 0;
        GetPressureUnit(unitId);
        CNVUserNote_Calibration_ZeroPressureSensor note;
        HRESULT hr = note.Build(SensorSerial(), offset, unitId);
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
