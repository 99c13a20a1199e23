// The pressure and level sensor of the multi-parameter sonde (sonde sensor ids 51 to 54 and 80):
// parameters 1 pressure, 2 level. Float registers (offsets): 119 dynamic specific-gravity factor, 121
// specific gravity (SG), 125 pressure offset (pressure unit), 127 level reference, 129 the pressure at
// the level reference (the sensor keeps it when the reference is written). The level mode is the
// sonde's: its software register says depth to water (bit 3) or surface elevation (bit 4), else the
// depth of the sensor; the level's own mode cannot be set here.
//
// The sonde gives the sensor no temperature source: its temperature reads 25.0 degrees Celsius with
// the quality of an error, and its temperature unit cannot be had or set (E_FAIL; the unit reads as
// degrees Celsius).
//
// The setting and calibration operations hold the device lock across all their steps and trace each
// one ("Level Sensor: " and the address); they give the lock up only to write a user note, after
// their register sequence. Every path that turned calibration mode on turns it off again.
#pragma once

#include "device/SensorCache.h"
#include "foundation/TraceLog.h"
#include "models/LevelSettings.h"
#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CLevelSensorMK600 : public CLevelSettings<CLevelSensorMK600, CSensorAdapter<ISensor_PressureTempLevel>>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("LVL6");

    static constexpr USHORT kPressure = 1; // sensor parameters
    static constexpr USHORT kLevel = 2;

    static constexpr USHORT kDynamicSGFactor = 119; // register offsets
    static constexpr USHORT kSpecificGravity = 121;
    static constexpr USHORT kPressureOffset = 125;
    static constexpr USHORT kLevelReference = 127;
    static constexpr USHORT kPressureReference = 129;
    // No register of the level mode.
    static constexpr sLevelLayout kLevelLayout{
        kLevel, 0, kSpecificGravity, kPressureOffset, kLevelReference, kPressureReference};

    // The software register bits of the level mode.
    static constexpr ULONG kDepthToWaterBit = 0x0008;
    static constexpr ULONG kSurfaceElevationBit = 0x0010;

    CLevelSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature = nullptr);
    ~CLevelSensorMK600() override;

    ULONG GetSensorType() override { return SENSOR_TYPE_LEVEL; }

    // The pressure offset register alone, outside calibration mode.
    using CLevelSettings::WritePressureOffset;

    // --- ISensor_Temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override;
    USHORT GetConnection() override { return m_nConnection; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;

    // --- ISensor_PressureTemp ---

    HRESULT GetPressureSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    USHORT GetPressureConnection() override { return m_nConnection; }
    HRESULT GetPressureUnit(USHORT& unitId) override;
    HRESULT SetPressureUnit(USHORT unitId) override;
    HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // E_FAIL when the device has no active log; no note when the offset or its unit cannot be read.
    HRESULT WriteZeroPressureNote() override;

    // --- ISensor_PressureTempLevel ---

    HRESULT GetLevelSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    USHORT GetLevelConnection() override { return m_nConnection; }
    HRESULT GetLevelUnit(USHORT& unitId) override;
    HRESULT SetLevelUnit(USHORT unitId) override;
    HRESULT ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // The level the sensor measures, read live.
    HRESULT CalculateLevel(float& level) override;
    // The level the sensor measures and the pressure of a water column that deep at the SG. With an SG
    // of 0 the level and pressure stay 0 (the units are given) and nothing more is read.
    HRESULT CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                       USHORT& pressureUnitId) override;
    // In calibration mode; the sensor measures when the reference is written and keeps that pressure
    // as the pressure reference, so the write waits its warm-up and sample time beyond the usual
    // time-out. A note when the device logs.
    HRESULT SetLevelReference(float reference) override;
    // Traced only: the sensor sets the pressure reference itself with the level reference.
    HRESULT SetPressureReference(float reference) override;
    // Changes nothing: the sonde keeps the mode.
    HRESULT SetLevelMode(USHORT mode) override;
    HRESULT ReadLevelMode(ULONG& mode) override;
    // A note of the new value when the device logs.
    HRESULT SetDynamicSGFactor(float factor) override;
    HRESULT ReadDynamicSGFactor(float& factor) override;
    // E_FAIL when the device has no active log; no note when a value of it cannot be read.
    HRESULT WriteSetNewLevelRefNote() override;

private:
    friend CLevelSettings;

    template <typename Steps>
    HRESULT UnderDeviceLock(Steps&& steps, HRESULT onException = MODBUSCOMM_E_EXCEPTION_CDC) noexcept;
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }

    // What the level settings need of this class.
    CDeviceComm& Device() { return *m_pDevice; }
    CTraceLog& StepTrace();
    // Not reached: the level mode operations are the class's own.
    void LevelModeChanged() {}
    HRESULT GravityWritten() { return S_OK; }
    bool AcceptsZeroReading(float pressure, USHORT quality)
    {
        return ZeroReadingAccepted(*m_pDevice, m_nConnection, kPressure, pressure, quality);
    }
    ULONG NoteSerial();

    // The level reference straight into the sensor's register, with its own time-out.
    HRESULT WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs);

    ISensor_Temperature* m_pTemperature = nullptr;
    CTraceLog m_Trace;
};

template <typename Steps>
HRESULT CLevelSensorMK600::UnderDeviceLock(Steps&& steps, HRESULT onException) noexcept
{
    if (!IsBound(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        // Only the lock (and the device's checks) are wanted: the steps reach the sensor through the
        // device's own operations, which take the re-entrant lock once more.
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

} // namespace NVSystem
