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

#include "foundation/TraceLog.h"
#include "models/SensorAdapterBase.h"

namespace NVSystem
{

class CLevelSensor : public CSensorAdapter<ISensor_PressureTempLevel>
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

    // Level modes (the level parameter's id): any other value reads as the first.
    static constexpr USHORT kLevelModeFirst = 3;
    static constexpr USHORT kLevelModeLast = 5;

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
    // In calibration mode, committed by the update command.
    HRESULT SetPressureOffset(float offset) override;
    HRESULT ReadPressureOffset(float& offset) override;
    // The live pressure, read in calibration mode, becomes the offset. A reading that is no
    // measurement (its quality says so, or it is the parameter's sentinel) is refused with
    // ADAPTER_E_INVALID_DEVICE_RESPONSE and leaves the offset as it was.
    HRESULT ZeroPressure() override;
    // Offset, level reference and pressure reference to 0.0, with a note for the offset and one for
    // the references when the device logs.
    HRESULT RestorePressureFactoryCal() override;
    // Writes nothing here.
    HRESULT WriteZeroPressureNote() override { return S_OK; }

    // --- ISensor_PressureTempLevel ---

    HRESULT GetLevelSerialNumber(ULONG& serialNumber) override;
    USHORT GetLevelConnection() override { return m_nConnection; }
    HRESULT GetLevelUnit(USHORT& unitId) override;
    HRESULT SetLevelUnit(USHORT unitId) override;
    HRESULT ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    // The level of the live pressure with the sensor's SG, in the level parameter's unit; 0 with an
    // SG of 0, without reading the pressure.
    HRESULT CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                       USHORT& pressureUnitId) override;
    // Only in level modes 4 and 5 (else ADAPTER_E_INVALID_PARAMETER, nothing written). The sensor
    // measures when the reference is written and keeps that pressure as the pressure reference, so
    // the write waits the sensor's warm-up and sample time beyond the usual time-out.
    HRESULT SetLevelReference(float reference) override;
    HRESULT ReadLevelReference(float& reference) override;
    // Traced only: the sensor sets the pressure reference itself with the level reference.
    HRESULT SetPressureReference(float reference) override;
    HRESULT ReadPressureReference(float& reference) override;
    HRESULT SetLevelMode(USHORT mode) override;
    HRESULT ReadLevelMode(ULONG& mode) override;
    // With a note when the device logs. On device type 18 the probe's gravity-change word is cleared
    // afterwards, and that write's outcome is the result.
    HRESULT SetSpecificGravity(float gravity) override;
    HRESULT ReadSpecificGravity(float& gravity) override;
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
    // Level reference and pressure reference to 0.0, with a note when the device logs.
    HRESULT RestoreLevelReferenceDefaults() override;
    // No note here: E_FAIL.
    HRESULT WriteSetNewLevelRefNote() override { return E_FAIL; }

private:
    // The checks, then the steps with the device lock held; an exception becomes onException.
    template <typename Steps>
    HRESULT UnderDeviceLock(Steps&& steps, HRESULT onException = MODBUSCOMM_E_EXCEPTION_CDC) noexcept;
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }

    HRESULT WritePressureOffset(float offset);
    // A float register read with its trace: the action, then success or the failure text.
    HRESULT TracedRead(USHORT offset, float& value, const char16_t* action, const char16_t* failure);
    // The writes of the level reference and the gravity-change word, through the device's network
    // object with their own time-outs.
    HRESULT WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs);
    HRESULT ClearGravityChangeWord();
    // A restore note of the kind when the device logs; its outcome is not reported.
    void WriteRestoreNote(ULONG serial, USHORT kind) noexcept;

    CTraceLog& Trace();
    HRESULT TraceFailure(const char16_t* text, HRESULT hr);
    void TraceSuccess();

    CTraceLog m_Trace;
};

} // namespace NVSystem
