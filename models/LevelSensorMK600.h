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

#include "models/LevelSensorAdapter.h"

namespace NVSystem
{

class CLevelSensorMK600 : public CLevelSensorAdapter<CLevelSensorMK600>
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

    // The pressure offset register alone, outside calibration mode.
    using CLevelSettings::WritePressureOffset;

    // --- ISensor_Temperature ---

    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;

    // --- ISensor_PressureTemp ---

    // E_FAIL when the device has no active log; no note when the offset or its unit cannot be read.
    HRESULT WriteZeroPressureNote() override;

    // --- ISensor_PressureTempLevel ---

    // The level the sensor measures, read live.
    HRESULT CalculateLevel(float& level) override;
    // The level the sensor measures and the pressure of a water column that deep at the SG. With an SG
    // of 0 the level and pressure stay 0 (the units are given) and nothing more is read.
    HRESULT CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                       USHORT& pressureUnitId) override;
    // In whatever level mode the sonde keeps; see CLevelSensorAdapter.
    using CLevelSensorAdapter::SetLevelReference;
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
    friend CLevelSensorAdapter;

    // What the level settings need of this class.
    // Not reached: the level mode operations are the class's own.
    void LevelModeChanged() {}
    HRESULT GravityWritten() { return S_OK; }
    bool AcceptsZeroReading(float pressure, USHORT quality)
    {
        return ZeroReadingAccepted(*m_pDevice, m_nConnection, kPressure, pressure, quality);
    }
    // The sonde keeps the level mode in its software register: the reference is the sensor's in any.
    HRESULT LevelReferenceAccepted() { return S_OK; }

    ISensor_Temperature* m_pTemperature = nullptr;
};

} // namespace NVSystem
