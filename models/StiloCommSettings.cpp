// The logger's level settings: the float registers, the level mode and the specific gravity, and
// the restore of the level references.
#include "foundation/CommTimeouts.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SettingNotes.h"
#include "models/StiloComm.h"

namespace NVSystem
{

HRESULT CStiloComm::ReadPressureOffset(float& offset)
{
    return TracedRead(kPressureOffsetRegister, offset, u" - reading pressure offset",
                      u" - failed to get Pressure Offset, EC: ");
}

HRESULT CStiloComm::ReadLevelReference(float& reference)
{
    return TracedRead(kLevelReferenceRegister, reference, u" - reading level reference",
                      u" - failed to get Level Ref, EC: ");
}

HRESULT CStiloComm::ReadPressureReference(float& reference)
{
    return TracedRead(kPressureReferenceRegister, reference, u" - reading pressure reference",
                      u" - failed to get Pressure Ref, EC: ");
}

HRESULT CStiloComm::ReadSpecificGravity(float& gravity)
{
    return TracedRead(kSpecificGravityRegister, gravity, u" - reading SG", u" - failed to get SG, EC: ");
}

HRESULT CStiloComm::WritePressureOffset(float offset)
{
    return Framed(
        [&]
        {
            StiloTrace() << u" - writing pressure offset: " << offset << TRACE_END;
            const HRESULT hr = WriteFloatRegister(kPressureOffsetRegister, offset);
            if (Failed(hr))
                return TraceFailure(u" - failed to write Pressure Offset, EC: ", hr);
            TraceSuccess();
            return hr;
        });
}

HRESULT CStiloComm::SetPressureReference(float reference)
{
    return Framed(
        [&]
        {
            StiloTrace() << u" - setting pressure reference: " << reference << TRACE_END;
            return S_OK;
        });
}

HRESULT CStiloComm::SetLevelMode(USHORT mode)
{
    return Framed(
        [&]
        {
            StiloTrace() << u" - setting level mode: " << mode << TRACE_END;
            const HRESULT hr = Network().WriteUShort(Address(), kLevelModeRegister, mode,
                                                     GetWriteRegisterTimeout(), m_nRetryCount);
            if (Failed(hr))
                return TraceFailure(u" - failed to set Level Mode, EC: ", hr);
            // The level parameter now measures another quantity: its description changed.
            ReadSensorParameterBlock(BUILT_IN_SENSOR_CONNECTION, kLevelParameter);
            TraceSuccess();
            return hr;
        });
}

HRESULT CStiloComm::ReadLevelMode(ULONG& mode)
{
    return Framed(
        [&]
        {
            StiloTrace() << u" - reading level mode" << TRACE_END;
            USHORT word = 0;
            const HRESULT hr = Network().ReadUShort(Address(), kLevelModeRegister, word,
                                                    GetReadRegisterTimeout(), m_nRetryCount);
            if (Failed(hr))
                return TraceFailure(u" - failed to get Level Mode, EC: ", hr);
            mode = word >= 3 && word <= 5 ? word : 3;
            TraceSuccess();
            return hr;
        });
}

HRESULT CStiloComm::SetSpecificGravity(float gravity)
{
    bool written = false;
    const HRESULT result = Framed(
        [&]
        {
            StiloTrace() << u" - setting SG to: " << gravity << TRACE_END;
            const HRESULT hr = WriteFloatRegister(kSpecificGravityRegister, gravity);
            if (Failed(hr))
                return TraceFailure(u" - failed to set SG, EC: ", hr);
            TraceSuccess();
            written = true;
            return hr;
        });
    if (written)
    {
        try
        {
            if (HasActiveLog())
            {
                CNVUserNote_NewSpecificGravity note;
                if (Succeeded(note.Build(SensorSerial(), gravity)))
                    WriteLogNote(note);
            }
        }
        catch (...)
        {
            // A note that cannot be written leaves the operation's result as it is.
        }
    }
    return result;
}

HRESULT CStiloComm::RestoreLevelReferenceDefaults()
{
    bool restored = false;
    const HRESULT result = Framed(
        [&]
        {
            StiloTrace() << u" - resetting level reference to factory defaults" << TRACE_END;
            HRESULT hr = WriteFloatRegister(kLevelReferenceRegister, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Reference, EC: ", hr);
            hr = WriteFloatRegister(kPressureReferenceRegister, 0.0f);
            if (Failed(hr))
                return TraceFailure(u" - failed to reset Level Pressure Reference, EC: ", hr);
            TraceSuccess();
            restored = true;
            return hr;
        });
    if (restored)
        WriteRestoreNote(RESTORE_KIND_LEVEL_REFERENCE);
    return result;
}

} // namespace NVSystem
