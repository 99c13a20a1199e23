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

#include "device/SensorCache.h"
#include "foundation/TraceLog.h"
#include "models/LevelSettings.h"
#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CLevelSensor : public CLevelSettings<CLevelSensor, CSensorAdapter<ISensor_PressureTempLevel>>
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

    CLevelSensor(CDeviceComm* device, USHORT connection);
    ~CLevelSensor() override;

    ULONG GetSensorType() override { return SENSOR_TYPE_LEVEL; }

    // --- ISensor_Temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override;
    USHORT GetConnection() override { return m_nConnection; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;

    // --- ISensor_PressureTemp ---

    HRESULT GetPressureSerialNumber(ULONG& serialNumber) override;
    USHORT GetPressureConnection() override { return m_nConnection; }
    HRESULT GetPressureUnit(USHORT& unitId) override;
    HRESULT SetPressureUnit(USHORT unitId) override;
    HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // Writes nothing here.
    HRESULT WriteZeroPressureNote() override { return S_OK; }

    // --- ISensor_PressureTempLevel ---

    HRESULT GetLevelSerialNumber(ULONG& serialNumber) override;
    USHORT GetLevelConnection() override { return m_nConnection; }
    HRESULT GetLevelUnit(USHORT& unitId) override;
    HRESULT SetLevelUnit(USHORT unitId) override;
    HRESULT ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // Only in level modes 4 and 5 (else ADAPTER_E_INVALID_PARAMETER, nothing written). The sensor
    // measures when the reference is written and keeps that pressure as the pressure reference, so
    // the write waits the sensor's warm-up and sample time beyond the usual time-out.
    HRESULT SetLevelReference(float reference) override;
    // Traced only: the sensor sets the pressure reference itself with the level reference.
    HRESULT SetPressureReference(float reference) override;
    // No note here: E_FAIL.
    HRESULT WriteSetNewLevelRefNote() override { return E_FAIL; }

private:
    friend CLevelSettings;

    // The checks, then the steps with the device lock held; an exception becomes onException.
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
    void LevelModeChanged() { m_pDevice->ReadSensorParameterBlocks(m_nConnection); }
    // On device type 18 the probe's gravity-change word is cleared, and that write's outcome is the
    // result.
    HRESULT GravityWritten();
    // A reading that is no measurement (its quality says so, or it is the parameter's sentinel)
    // would offset every later reading by it.
    bool AcceptsZeroReading(float pressure, USHORT quality);
    ULONG NoteSerial();

    // The writes of the level reference and the gravity-change word, through the device's network
    // object with their own time-outs.
    HRESULT WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs);
    HRESULT ClearGravityChangeWord();

    CTraceLog m_Trace;
};

template <typename Steps>
HRESULT CLevelSensor::UnderDeviceLock(Steps&& steps, HRESULT onException) noexcept
{
    if (!IsBound(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        // Only the lock is wanted: the steps reach the sensor through the device's own operations,
        // which take the re-entrant lock once more.
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
