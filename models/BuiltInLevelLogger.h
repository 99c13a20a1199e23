// What the single-sensor loggers whose device is its own level sensor share beyond the level
// settings (the level logger, the conductivity sonde and the flow logger): the family registers they place,
// the locked register sequences on the device's holding registers with the register time-outs of the moment,
// the level reference write, the traced-only pressure reference and the zero-pressure note.
//
// The owner (the class derived from this one) befriends CLevelSettings and this class and provides,
// beside what CLevelSettings asks of it, StepTrace() (a trace line started with its prefix and the
// address) and LevelParameter() (the sensor parameter of its level). The level settings' sensor
// parts are the device's on connection 1.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "models/BuiltInPressureSensor.h"
#include "models/LevelSettings.h"
#include "models/LoggerMetaTags.h"
#include "models/PressureNotes.h"
#include "models/SensorNoteWriter.h"

namespace NVSystem
{

// Where a logger family keeps the registers the device base reads (0: none).
struct sLoggerRegisters
{
    USHORT templateVersion;
    USHORT scratchPad;
    USHORT externalVoltage;
    USHORT internalBatteryVoltage;
    USHORT totalMeasurementCounter; // u32
    USHORT totalBatteryCounter;     // u32
    USHORT measurementCacheTimeout;
};

// The loggers with their registers from 40108, and those with them from 47000.
inline constexpr sLoggerRegisters LOGGER_REGISTERS_40100{40108, 0, 40109, 40110, 40111, 40113, 0};
inline constexpr sLoggerRegisters LOGGER_REGISTERS_47000{47000, 47008, 47001, 47002, 47003, 47005, 47007};

inline void PlaceLoggerRegisters(sRegisterMap& map, const sLoggerRegisters& registers)
{
    map.TemplateVersion = registers.templateVersion;
    map.ScratchPad = registers.scratchPad;
    map.ExternalVoltage = registers.externalVoltage;
    map.InternalBatteryVoltage = registers.internalBatteryVoltage;
    map.TotalMeasurementCounter = registers.totalMeasurementCounter;
    map.TotalBatteryCounter = registers.totalBatteryCounter;
    map.MeasurementCacheTimeout = registers.measurementCacheTimeout;
}

template <typename Owner, typename Interface>
class CBuiltInLevelLogger : public CLevelSettings<Owner, CBuiltInPressureSensor<Interface>>
{
    using Settings = CLevelSettings<Owner, CBuiltInPressureSensor<Interface>>;

public:
    // --- ISensor_PressureTempLevel ---

    HRESULT GetLevelSerialNumber(ULONG& serialNumber) override { return this->GetSerialNumber(serialNumber); }
    USHORT GetLevelConnection() override { return BUILT_IN_SENSOR_CONNECTION; }
    HRESULT GetLevelUnit(USHORT& unitId) override { return this->GetUnit(Self().LevelParameter(), unitId); }
    HRESULT SetLevelUnit(USHORT unitId) override { return this->SetUnit(Self().LevelParameter(), unitId); }
    HRESULT ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return this->Read(Self().LevelParameter(), value, quality, unitId, cachedOnly);
    }
    // Traced only: the logger keeps the pressure reference itself when the level reference is set.
    HRESULT SetPressureReference(float reference) override
    {
        return UnderDeviceLock(
            [&]
            {
                Self().StepTrace() << u" - setting pressure reference: " << reference << TRACE_END;
                return S_OK;
            });
    }
    // E_FAIL when the device has no active log.
    HRESULT WriteZeroPressureNote() override
    {
        if (!this->CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return WriteNoteToActiveLog<CNVUserNote_Calibration_ZeroPressureSensor>(
            *this,
            [&](CNVUserNote_Calibration_ZeroPressureSensor& note)
            {
                float offset = 0.0f;
                this->ReadPressureOffset(offset);
                USHORT unitId = 0;
                this->GetPressureUnit(unitId);
                return note.Build(NoteSerial(), offset, unitId);
            });
    }
    // E_FAIL when the device has no active log.
    HRESULT WriteSetNewLevelRefNote() override
    {
        return WriteReferenceNote<CNVUserNote_Calibrate_SetNewLevelRef>(
            [this](USHORT& unitId) { return this->GetLevelUnit(unitId); });
    }

protected:
    using Settings::Settings;

    // The checks, the device lock and the link, then the steps; an exception becomes onException.
    template <typename Steps>
    HRESULT UnderDeviceLock(Steps&& steps, HRESULT onException = MODBUSCOMM_E_EXCEPTION_CDC) noexcept
    {
        if (!this->CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return this->Guarded(CDeviceComm::GUARD_LINK, std::forward<Steps>(steps), onException);
    }

    // The level settings reach the device's holding registers, one transaction each.
    CDeviceComm& Device() { return *this; }
    HRESULT ReadFloat(USHORT reg, float& value)
    {
        return this->Network().ReadFloat(this->Address(), reg, value, GetReadRegisterTimeout(),
                                         this->m_nRetryCount);
    }
    HRESULT WriteFloat(USHORT reg, float value)
    {
        return this->Network().WriteFloat(this->Address(), reg, value, GetWriteRegisterTimeout(),
                                          this->m_nRetryCount);
    }
    HRESULT ReadWord(USHORT reg, USHORT& value)
    {
        return this->Network().ReadUShort(this->Address(), reg, value, GetReadRegisterTimeout(),
                                          this->m_nRetryCount);
    }
    HRESULT WriteWord(USHORT reg, USHORT value)
    {
        return this->Network().WriteUShort(this->Address(), reg, value, GetWriteRegisterTimeout(),
                                           this->m_nRetryCount);
    }
    // The serial number the logger's notes carry, 0 when unknown.
    ULONG NoteSerial()
    {
        ULONG serial = 0;
        if (Failed(this->GetSensorSerialNumber(BUILT_IN_SENSOR_CONNECTION, serial)))
            serial = 0;
        return serial;
    }

    // The level reference into its register, for a level parameter whose id is one of the reference
    // modes (else ADAPTER_E_INVALID_PARAMETER, nothing written). The logger measures when the
    // reference is written, so the write waits its warm-up and sample time beyond the usual
    // time-out; the sensor header is read again afterwards, and a note written when the device logs.
    HRESULT WriteLevelReference(USHORT levelParameter, std::initializer_list<USHORT> referenceModes,
                                USHORT reg, float reference, const char16_t* failure);

    // The frame of the logger's log-file meta-tags: the checks, the base tags (whose failure is the
    // result), the counters where the logger gives them, then ownTags(); an exception becomes
    // MODBUSCOMM_E_EXCEPTION_CDC.
    template <typename OwnTags>
    HRESULT FillLoggerMeta(CLogFile& logFile, OwnTags&& ownTags) noexcept
    {
        if (!this->CarriesSignatures())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        try
        {
            const HRESULT hr = CDeviceComm::FillLogFileMeta(logFile);
            if (Failed(hr))
                return hr;
            SetCounterMetaTags(*this, logFile);
            return ownTags();
        }
        catch (...)
        {
            return MODBUSCOMM_E_EXCEPTION_CDC;
        }
    }

    // A reference note of the kind, with what the reference stands on now: its value, the level from
    // pressure, the pressure reference and offset, the temperature and the units, the first of which
    // depthUnit(unit) gives. A value that cannot be had stays 0. E_FAIL without an active log.
    template <typename Note, typename DepthUnit>
    HRESULT WriteReferenceNote(DepthUnit&& depthUnit);

private:
    Owner& Self() { return static_cast<Owner&>(*this); }
};

// A logger whose calibration mode is the device itself offline with its sensor sampling continuously
// (the level logger and the conductivity sonde): online again ends it, and the sensor's calibration
// commands do nothing, for the logger takes what is written as it is.
template <typename Owner, typename Interface>
class COfflineCalibratedLogger : public CBuiltInLevelLogger<Owner, Interface>
{
public:
    // Calibration mode on: the device offline and the connection's sensor sampling continuously.
    HRESULT SetSensorCalModeOn(USHORT connection) override { return this->EnableCalContinuous(connection); }
    // The device online again, whatever the connection.
    HRESULT SetSensorCalModeOff(USHORT /*connection*/) override { return this->SetOnline(); }
    HRESULT UpdateSensorCalibration(USHORT /*connection*/) override { return S_OK; }
    HRESULT RestoreSensorCalDefaults(USHORT /*connection*/) override { return S_OK; }
    HRESULT RestoreSensorFactoryDefaults(USHORT /*connection*/) override { return S_OK; }

protected:
    using CBuiltInLevelLogger<Owner, Interface>::CBuiltInLevelLogger;
};

template <typename Owner, typename Interface>
template <typename Note, typename DepthUnit>
HRESULT CBuiltInLevelLogger<Owner, Interface>::WriteReferenceNote(DepthUnit&& depthUnit)
{
    if (!this->CarriesSignatures())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<Note>(*this,
                                      [&](Note& note)
                                      {
                                          float reference = 0.0f;
                                          float level = 0.0f;
                                          float pressureReference = 0.0f;
                                          float pressureOffset = 0.0f;
                                          float temperature = 0.0f;
                                          USHORT quality = 0;
                                          USHORT temperatureUnit = 0;
                                          USHORT unit = 0;
                                          USHORT pressureUnit = 0;
                                          this->ReadLevelReference(reference);
                                          this->CalculateLevel(level);
                                          this->ReadPressureReference(pressureReference);
                                          this->ReadPressureOffset(pressureOffset);
                                          this->ReadTemperature(temperature, quality, temperatureUnit, FALSE);
                                          depthUnit(unit);
                                          this->GetPressureUnit(pressureUnit);
                                          return note.Build(NoteSerial(), reference, level, pressureReference,
                                                            pressureOffset, temperature, unit, pressureUnit,
                                                            temperatureUnit);
                                      });
}

template <typename Owner, typename Interface>
HRESULT CBuiltInLevelLogger<Owner, Interface>::WriteLevelReference(
    USHORT levelParameter, std::initializer_list<USHORT> referenceModes, USHORT reg, float reference,
    const char16_t* failure)
{
    bool set = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            Self().StepTrace() << u" - setting level reference: " << reference << TRACE_END;
            USHORT parameterId = 0;
            HRESULT hr = this->GetParameterId(BUILT_IN_SENSOR_CONNECTION, levelParameter, parameterId);
            if (Failed(hr))
                return this->TraceFailure(u" - failed to get level parameter id, EC: ", hr);
            if (std::find(referenceModes.begin(), referenceModes.end(), parameterId) == referenceModes.end())
                return ADAPTER_E_INVALID_PARAMETER;
            ULONG warmUpMs = 0;
            hr = this->GetWarmupTime(BUILT_IN_SENSOR_CONNECTION, warmUpMs);
            if (Failed(hr))
                return this->TraceFailure(u" - failed to get sensor warm up time, EC: ", hr);
            ULONG sampleMs = 0;
            this->GetFastestSampleRate(BUILT_IN_SENSOR_CONNECTION, sampleMs);
            hr = this->Network().WriteFloat(this->Address(), reg, reference,
                                            Settings::ReferenceWriteTimeout(warmUpMs, sampleMs),
                                            this->m_nRetryCount);
            if (Failed(hr))
                return this->TraceFailure(failure, hr);
            set = true;
            // The logger took the pressure of the moment with the reference: its readings changed.
            this->ReadSensorHeader(BUILT_IN_SENSOR_CONNECTION);
            this->TraceSuccess();
            return hr;
        });
    // The note after the register sequence, which holds the device lock throughout.
    if (set && this->HasActiveLog())
        this->WriteSetNewLevelRefNote();
    return result;
}

} // namespace NVSystem
