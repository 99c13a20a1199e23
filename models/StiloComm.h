// The water-level logger (device types 1, 2, 4, 30 and 6, 8, 15, 16): one Modbus device that is at
// the same time its own pressure, temperature and level sensor on connection 1.
//
// Sensor parameters: 1 pressure, 2 temperature, 3 level. The level settings are holding registers of
// the device: 40056 the level mode (3 depth of the probe, 4 depth to water, 5 surface elevation),
// floats 40100 specific gravity (SG) of the water, 40102 pressure offset (pressure unit), 40104
// level reference (level unit), 40106 pressure at the level reference.
//
// Calibration mode of this device is the device offline with its sensor sampling continuously, and
// online again ends it; the sensor's own calibration commands do nothing here. Every sequence that
// turned calibration mode on turns it off again, also when a step in between failed.
//
// The register operations check the device tag and the class signature, hold the device lock for
// their whole register sequence and trace each step ("Stilo Device: " and the address). A user note
// goes into the device's active log only after the sequence, with the lock given up, because the
// note write waits for any running file transfer.
#pragma once

#include "models/BuiltInLevelLogger.h"

namespace NVSystem
{

class CStiloComm : public COfflineCalibratedLogger<CStiloComm, ISensor_PressureTempLevel>
{
public:
    static constexpr uint32_t kClassSignature = 0x5354494C; // 'STIL'

    static constexpr USHORT kLevelParameter = 3;
    static constexpr USHORT kLevelModeRegister = 40056;
    static constexpr USHORT kSpecificGravityRegister = 40100;
    static constexpr USHORT kPressureOffsetRegister = 40102;
    static constexpr USHORT kLevelReferenceRegister = 40104;
    static constexpr USHORT kPressureReferenceRegister = 40106;
    static constexpr sLevelLayout kLevelLayout{kLevelParameter,          kLevelModeRegister,
                                               kSpecificGravityRegister, kPressureOffsetRegister,
                                               kLevelReferenceRegister,  kPressureReferenceRegister};

    // With the registers of the device type's family: 40108 ... for types 1, 2, 4 and 30, 47000 ...
    // for the others.
    explicit CStiloComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live logger object of this class.
    static bool IsStilo(CDeviceComm* device);

    CStiloComm* QueryStiloComm() override;
    ISensor_PressureTempLevel* GetPressureTempLevelSensor() override;

    // The base tags, then the logger's counters, its pressure, temperature and level of the moment
    // and, for a log of the level, the level mode, SG and the level reference facts. Serves the
    // device and its sensor interface alike.
    HRESULT FillLogFileMeta(CLogFile& logFile) override;

    // The pressure offset register alone, outside calibration mode.
    using CLevelSettings::WritePressureOffset;

    // --- ISensor_Interface ---

    ULONG GetSensorType() override { return SENSOR_TYPE_LEVEL; }

    // --- ISensor_PressureTempLevel ---

    // Only in level modes 4 and 5 (else ADAPTER_E_INVALID_PARAMETER, nothing written). The logger
    // measures when the reference is written, so the write waits its warm-up and sample time beyond
    // the usual time-out. A note when the device logs.
    HRESULT SetLevelReference(float reference) override;

protected:
    ~CStiloComm() override = default;

private:
    friend CLevelSettings;
    friend CBuiltInLevelLogger;

    // What the level settings need of this class.
    CTraceLog& StepTrace();
    static USHORT LevelParameter() { return kLevelParameter; }
    void LevelModeChanged() { ReadSensorParameterBlock(BUILT_IN_SENSOR_CONNECTION, kLevelParameter); }
    HRESULT GravityWritten() { return S_OK; }
    bool AcceptsZeroReading(float pressure, USHORT quality)
    {
        return ZeroReadingAccepted(*this, BUILT_IN_SENSOR_CONNECTION, kPressureParameter, pressure, quality);
    }
};

} // namespace NVSystem
