// What the level logger and the level sensor of the multi-sensor probes do alike with their pressure
// sensor: the float registers of the specific gravity (SG), the pressure offset and the level and
// pressure references, the level mode word, the pressure calibrations, the level computed from the
// live pressure and the restore of the references. Each sequence holds the owner's device lock
// across its steps and traces each one; a user note is written only after the sequence, with the
// lock given up, because the note write waits for the device's file transfers. Every path that
// turned calibration mode on turns it off again.
//
// The owner (the class derived from this one) reaches its registers its own way and names where the
// settings are in kLevelLayout. It provides, to this class:
//
//     UnderDeviceLock(steps[, onException])  its checks, then the steps with the device lock held;
//                                            an exception becomes onException
//     StepTrace()                            a trace line started with its prefix and the address
//     Device()                               the device that holds the sensor
//     ReadFloat, WriteFloat, ReadWord,       one register of the settings each
//     WriteWord (register, value)
//     LevelModeChanged()                     the re-read of the level parameter's description
//     GravityWritten()                       what follows a written SG inside the sequence: its result
//     AcceptsZeroReading(pressure, quality)  whether a reading may become the pressure offset
//     NoteSerial()                           the serial number its notes carry, 0 when unknown
//
// and may replace, where its device differs from a sensor that takes a new pressure offset with its
// update command:
//
//     TakeNewOffset()                        what makes the sensor take an offset just written
//     ZeroWriteRefused()                     what follows a refused zero before calibration mode ends
#pragma once

#include <algorithm>
#include <cstdint>

#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"
#include "foundation/Formulas.h"
#include "foundation/TraceLog.h"
#include "models/CalModeScope.h"
#include "models/ReadingQuality.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SensorAdapterBase.h"
#include "models/SettingNotes.h"

namespace NVSystem
{

// The owner's sensor parameter of the level, and where it keeps its level settings, as its own
// register access takes them.
struct sLevelLayout
{
    USHORT levelParameter;
    USHORT levelMode; // one register
    USHORT specificGravity;
    USHORT pressureOffset; // in the pressure unit
    USHORT levelReference; // in the level unit
    USHORT pressureReference;
};

// Whether a pressure reading may become the new zero: one that holds no measurement would turn a
// missing value into the calibration offset. Calibration-continuous sampling starts in warm-up.
inline bool ZeroReadingAccepted(CDeviceComm& device, USHORT connection, USHORT parameter, float pressure,
                                USHORT quality)
{
    return ReadingHoldsMeasurement(device, connection, parameter, pressure, quality);
}

template <typename Owner, typename Base>
class CLevelSettings : public Base
{
public:
    // Level modes (the level parameter's id): any other word the device reports reads as the first.
    static constexpr USHORT kLevelModeFirst = 3;
    static constexpr USHORT kLevelModeLast = 5;

    // --- ISensor_PressureTemp ---

    // In calibration mode, then the sensor's update command.
    HRESULT SetPressureOffset(float offset) override;
    HRESULT ReadPressureOffset(float& offset) override
    {
        return TracedRead(Owner::kLevelLayout.pressureOffset, offset, u" - reading pressure offset",
                          u" - failed to get Pressure Offset, EC: ");
    }
    // The live pressure, read in calibration mode, becomes the offset; a reading the owner does not
    // accept is refused with ADAPTER_E_INVALID_DEVICE_RESPONSE and leaves the offset as it was.
    HRESULT ZeroPressure() override;
    // The offset in calibration mode, then the level references, each to 0.0; a note for each part
    // restored when the device logs.
    HRESULT RestorePressureFactoryCal() override;

    // --- ISensor_PressureTempLevel ---

    // The level of the live pressure with the SG, in the level parameter's unit. With an SG of 0 the
    // level and pressure stay 0 and no pressure is read.
    HRESULT CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                       USHORT& pressureUnitId) override;
    HRESULT ReadLevelReference(float& reference) override
    {
        return TracedRead(Owner::kLevelLayout.levelReference, reference, u" - reading level reference",
                          u" - failed to get Level Ref, EC: ");
    }
    HRESULT ReadPressureReference(float& reference) override
    {
        return TracedRead(Owner::kLevelLayout.pressureReference, reference, u" - reading pressure reference",
                          u" - failed to get Pressure Ref, EC: ");
    }
    HRESULT SetLevelMode(USHORT mode) override;
    HRESULT ReadLevelMode(ULONG& mode) override;
    // A note when the device logs.
    HRESULT SetSpecificGravity(float gravity) override;
    HRESULT ReadSpecificGravity(float& gravity) override
    {
        return TracedRead(Owner::kLevelLayout.specificGravity, gravity, u" - reading SG",
                          u" - failed to get SG, EC: ");
    }
    HRESULT SetDynamicSGFactor(float /*factor*/) override
    {
        return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED;
    }
    HRESULT SetDynamicSG(double /*latitudeDegrees*/, double /*elevationMetres*/) override
    {
        return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED;
    }
    HRESULT ReadDynamicSGFactor(float& /*factor*/) override
    {
        return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED;
    }
    BOOL IsDynamicSGSupported() override { return FALSE; }
    // Both level references to 0.0; a note when the device logs.
    HRESULT RestoreLevelReferenceDefaults() override;

protected:
    using Base::Base;

    // The pressure offset register alone, outside calibration mode.
    HRESULT WritePressureOffset(float offset);

    HRESULT TraceFailure(const char16_t* text, HRESULT hr)
    {
        Self().StepTrace() << text << TraceHr(hr) << TRACE_END;
        return hr;
    }
    void TraceSuccess() { Self().StepTrace() << u" - success" << TRACE_END; }
    // The outcome of a step: the failure text with the code, or success.
    HRESULT TraceOutcome(HRESULT hr, const char16_t* failure)
    {
        if (Failed(hr))
            return TraceFailure(failure, hr);
        TraceSuccess();
        return hr;
    }

    // Whether the level measures from a reference (level modes 4, depth to water, and 5, surface
    // elevation): ADAPTER_E_INVALID_PARAMETER where it does not; a failure to get the mode is traced.
    HRESULT CheckReferenceMode();
    // The time-out of a level-reference write. Writing the reference makes the sensor measure before
    // it answers, so the write waits its warm-up and sample time beyond the usual time-out; beyond
    // that no write should take longer than kLongestReferenceWriteMs.
    static ULONG ReferenceWriteTimeout(ULONG warmUpMs, ULONG sampleMs)
    {
        return static_cast<ULONG>(std::min<uint64_t>(
            uint64_t{warmUpMs} + sampleMs + GetWriteRegisterTimeout(), kLongestReferenceWriteMs));
    }

private:
    static constexpr USHORT kDepthToWater = 4;
    static constexpr USHORT kSurfaceElevation = 5;
    static constexpr uint64_t kLongestReferenceWriteMs = 300000;

    Owner& Self() { return static_cast<Owner&>(*this); }
    USHORT Connection() { return this->GetLevelConnection(); }

protected:
    // The owner's hooks, as a sensor with an update command has them.
    HRESULT TakeNewOffset() { return Self().Device().UpdateSensorCalibration(Connection()); }
    void ZeroWriteRefused() {}

    // The steps an owner builds its own variants of a sequence from.

    // A float register read with its trace: the action, then success or the failure text.
    HRESULT TracedRead(USHORT reg, float& value, const char16_t* action, const char16_t* failure);
    // Calibration mode on, a failure traced.
    HRESULT TurnCalModeOn();
    // Calibration mode off after a pressure-offset write: a failed write is the result, otherwise
    // the outcome of turning the mode off. Each failure is traced.
    HRESULT EndOffsetWrite(CCalModeScope& calMode, HRESULT written);
    // Both references to 0.0, a failure traced.
    HRESULT ResetReferences();
    // A note built from the owner's serial number and the values, when the device logs; its outcome
    // is not reported.
    template <typename Note, typename... Values>
    void WriteNote(Values... values) noexcept;
};

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::TracedRead(USHORT reg, float& value, const char16_t* action,
                                                const char16_t* failure)
{
    return Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << action << TRACE_END;
            return TraceOutcome(Self().ReadFloat(reg, value), failure);
        });
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::CheckReferenceMode()
{
    USHORT parameterId = 0;
    const HRESULT hr =
        Self().Device().GetParameterId(Connection(), Owner::kLevelLayout.levelParameter, parameterId);
    if (Failed(hr))
        return TraceFailure(u" - failed to get level parameter id, EC: ", hr);
    return parameterId == kDepthToWater || parameterId == kSurfaceElevation ? hr
                                                                            : ADAPTER_E_INVALID_PARAMETER;
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::TurnCalModeOn()
{
    const HRESULT hr = Self().Device().SetSensorCalModeOn(Connection());
    return Failed(hr) ? TraceFailure(u" - failed to set sensor to Cal-Continuous mode, EC: ", hr) : hr;
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::EndOffsetWrite(CCalModeScope& calMode, HRESULT written)
{
    if (Failed(written))
    {
        calMode.Off();
        return TraceFailure(u" - failed to set Pressure Offset, EC: ", written);
    }
    const HRESULT hr = calMode.Off();
    return Failed(hr) ? TraceFailure(u" - failed to set pressure offset value, EC: ", hr) : hr;
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::ResetReferences()
{
    HRESULT hr = Self().WriteFloat(Owner::kLevelLayout.levelReference, 0.0f);
    if (Failed(hr))
        return TraceFailure(u" - failed to reset Level Reference, EC: ", hr);
    hr = Self().WriteFloat(Owner::kLevelLayout.pressureReference, 0.0f);
    return Failed(hr) ? TraceFailure(u" - failed to reset Level Pressure Reference, EC: ", hr) : hr;
}

template <typename Owner, typename Base>
template <typename Note, typename... Values>
void CLevelSettings<Owner, Base>::WriteNote(Values... values) noexcept
{
    try
    {
        CDeviceComm& device = Self().Device();
        if (!device.HasActiveLog())
            return;
        Note note;
        if (Succeeded(note.Build(Self().NoteSerial(), values...)))
            device.WriteLogNote(note);
    }
    catch (...)
    {
        // A note that cannot be written leaves the operation's result as it is.
    }
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::WritePressureOffset(float offset)
{
    return Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - writing pressure offset: " << offset << TRACE_END;
            return TraceOutcome(Self().WriteFloat(Owner::kLevelLayout.pressureOffset, offset),
                                u" - failed to write Pressure Offset, EC: ");
        });
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::SetPressureOffset(float offset)
{
    return Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - setting pressure offset to: " << offset << TRACE_END;
            // Only a readable pressure parameter matters here; its unit is the offset's already.
            USHORT unitId = 0;
            HRESULT hr = this->GetPressureUnit(unitId);
            if (Failed(hr))
                return TraceFailure(u" - failed to get Pressure Units, EC: ", hr);
            hr = TurnCalModeOn();
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(Self().Device(), Connection());
            hr = WritePressureOffset(offset);
            // The sensor takes the offset only with the update: one it refused is no new offset.
            if (Succeeded(hr))
                hr = Self().TakeNewOffset();
            hr = EndOffsetWrite(calMode, hr);
            if (Succeeded(hr))
                TraceSuccess();
            return hr;
        });
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::ZeroPressure()
{
    bool zeroed = false;
    const HRESULT result = Self().UnderDeviceLock(
        [&]
        {
            HRESULT hr = TurnCalModeOn();
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(Self().Device(), Connection());
            float pressure = 0.0f;
            USHORT quality = 0;
            USHORT unitId = 0;
            hr = this->ReadPressure(pressure, quality, unitId, FALSE);
            if (Succeeded(hr) && !Self().AcceptsZeroReading(pressure, quality))
                hr = ADAPTER_E_INVALID_DEVICE_RESPONSE;
            if (Failed(hr))
            {
                calMode.Off();
                return TraceFailure(u" - failed to get pressure value, EC: ", hr);
            }
            hr = Self().WriteFloat(Owner::kLevelLayout.pressureOffset, pressure);
            if (Failed(hr))
                Self().ZeroWriteRefused();
            else
                hr = Self().TakeNewOffset();
            zeroed = Succeeded(hr);
            return EndOffsetWrite(calMode, hr);
        });
    if (zeroed && Self().Device().HasActiveLog())
        this->WriteZeroPressureNote();
    return result;
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::RestorePressureFactoryCal()
{
    bool offsetRestored = false;
    bool referencesRestored = false;
    const HRESULT result = Self().UnderDeviceLock(
        [&]
        {
            HRESULT hr = TurnCalModeOn();
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(Self().Device(), Connection());
            hr = Self().WriteFloat(Owner::kLevelLayout.pressureOffset, 0.0f);
            offsetRestored = Succeeded(hr);
            hr = EndOffsetWrite(calMode, hr);
            if (Failed(hr))
                return hr;
            hr = ResetReferences();
            referencesRestored = Succeeded(hr);
            return hr;
        });
    if (offsetRestored)
        WriteNote<CNVUserNote_RestoreFactoryCal_Sensor>(RESTORE_KIND_PRESSURE_OFFSET);
    if (referencesRestored)
        WriteNote<CNVUserNote_RestoreFactoryCal_Sensor>(RESTORE_KIND_LEVEL_REFERENCE);
    return result;
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::CalculateLevelFromPressure(float& level, USHORT& levelUnitId,
                                                                float& pressure, USHORT& pressureUnitId)
{
    level = 0.0f;
    levelUnitId = 0;
    pressure = 0.0f;
    pressureUnitId = 0;
    return Self().UnderDeviceLock(
        [&]
        {
            HRESULT hr = this->GetLevelUnit(levelUnitId);
            if (Failed(hr))
                return hr;
            float gravity = 0.0f;
            hr = ReadSpecificGravity(gravity);
            if (Failed(hr) || gravity == 0.0f)
                return hr;
            USHORT quality = 0;
            hr = this->ReadPressure(pressure, quality, pressureUnitId, FALSE);
            if (Failed(hr))
                return hr;
            level = static_cast<float>(PressureToDepth(FromUnit{pressureUnitId}, ToUnit{levelUnitId},
                                                       SpecificGravity{gravity}, pressure));
            return hr;
        },
        ADAPTER_E_UNEXPECTED);
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::SetLevelMode(USHORT mode)
{
    return Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - setting level mode: " << mode << TRACE_END;
            const HRESULT hr = Self().WriteWord(Owner::kLevelLayout.levelMode, mode);
            // The level parameter now measures another quantity: its description changed.
            if (Succeeded(hr))
                Self().LevelModeChanged();
            return TraceOutcome(hr, u" - failed to set Level Mode, EC: ");
        });
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::ReadLevelMode(ULONG& mode)
{
    return Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - reading level mode" << TRACE_END;
            USHORT word = 0;
            const HRESULT hr = Self().ReadWord(Owner::kLevelLayout.levelMode, word);
            if (Succeeded(hr))
                mode = word >= kLevelModeFirst && word <= kLevelModeLast ? word : kLevelModeFirst;
            return TraceOutcome(hr, u" - failed to get Level Mode, EC: ");
        });
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::SetSpecificGravity(float gravity)
{
    bool written = false;
    const HRESULT result = Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - setting SG to: " << gravity << TRACE_END;
            const HRESULT hr = TraceOutcome(Self().WriteFloat(Owner::kLevelLayout.specificGravity, gravity),
                                            u" - failed to set SG, EC: ");
            if (Failed(hr))
                return hr;
            written = true;
            return Self().GravityWritten();
        });
    if (written)
        WriteNote<CNVUserNote_NewSpecificGravity>(gravity);
    return result;
}

template <typename Owner, typename Base>
HRESULT CLevelSettings<Owner, Base>::RestoreLevelReferenceDefaults()
{
    bool restored = false;
    const HRESULT result = Self().UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - resetting level reference to factory defaults" << TRACE_END;
            const HRESULT hr = ResetReferences();
            if (Failed(hr))
                return hr;
            TraceSuccess();
            restored = true;
            return hr;
        });
    if (restored)
        WriteNote<CNVUserNote_RestoreFactoryCal_Sensor>(RESTORE_KIND_LEVEL_REFERENCE);
    return result;
}

} // namespace NVSystem
