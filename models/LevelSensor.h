// The level sensor on connection 3 of the multi-sensor probes of device types 18 and 21: pressure,
// temperature and level readings, the pressure offset (zeroing), the level and pressure references,
// the level mode, the specific gravity (SG) of the water and the factory restore of these settings.
//
// Sensor parameters: 1 pressure, 2 temperature, 3 level. Registers (offsets, floats unless said): 55
// the level mode (one register: 3, 4 or 5), 99 SG, 101 pressure offset (pressure unit), 103 level
// reference (level unit), 105 pressure reference (pressure unit).
//
// Every operation that reaches the device first checks the signature and that a device is bound.
// The readings, units and serial numbers go straight to the device. The setting and calibration
// operations hold the device lock across all their steps, so that no other user of the device comes
// between them, and trace each step into the device trace ("Level Sensor: " and the address). They
// give the lock up only to write a user note, which they do after their register sequence. Every path
// that turned calibration mode on turns it off again.
#pragma once

#include "models/LevelSensorAdapter.h"

namespace NVSystem
{

class CLevelSensor : public CLevelSensorAdapter<CLevelSensor>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("LVLS");

    static constexpr USHORT kPressure = 1; // sensor parameters
    static constexpr USHORT kTemperature = 2;
    static constexpr USHORT kLevel = 3;

    static constexpr USHORT kLevelMode = 55; // register offsets
    static constexpr USHORT kSpecificGravity = 99;
    static constexpr USHORT kPressureOffset = 101;
    static constexpr USHORT kLevelReference = 103;
    static constexpr USHORT kPressureReference = 105;
    static constexpr sLevelLayout kLevelLayout{kLevel,          kLevelMode,      kSpecificGravity,
                                               kPressureOffset, kLevelReference, kPressureReference};

    // The probe's word that the PC clears after it changed the SG (device type 18 only).
    static constexpr USHORT kGravityChangeRegister = 47003;

    CLevelSensor(CDeviceComm* device, USHORT connection) : CLevelSensorAdapter(device, connection, kSignature)
    {
    }

    // --- ISensor_Temperature ---

    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;

    // --- ISensor_PressureTemp ---

    // Writes nothing here.
    HRESULT WriteZeroPressureNote() override { return S_OK; }

    // --- ISensor_PressureTempLevel ---

    // Only in level modes 4 and 5 (else ADAPTER_E_INVALID_PARAMETER, nothing written); see
    // CLevelSensorAdapter.
    using CLevelSensorAdapter::SetLevelReference;
    // Traced only: the sensor sets the pressure reference itself with the level reference.
    HRESULT SetPressureReference(float reference) override;
    // No note here: E_FAIL.
    HRESULT WriteSetNewLevelRefNote() override { return E_FAIL; }

private:
    friend CLevelSettings;
    friend CLevelSensorAdapter;

    // What the level settings need of this class.
    void LevelModeChanged() { m_pDevice->ReadSensorParameterBlocks(m_nConnection); }
    // On device type 18 the probe's gravity-change word is cleared, and that write's outcome is the
    // result.
    HRESULT GravityWritten();
    // A reading that is no measurement (its quality says so, or it is the parameter's sentinel)
    // would offset every later reading by it.
    bool AcceptsZeroReading(float pressure, USHORT quality)
    {
        return ZeroReadingAccepted(*m_pDevice, m_nConnection, kPressure, pressure, quality);
    }
    HRESULT LevelReferenceAccepted() { return CheckReferenceMode(); }

    // The gravity-change word, through the device's network object with its own time-out.
    HRESULT ClearGravityChangeWord();
};

} // namespace NVSystem
