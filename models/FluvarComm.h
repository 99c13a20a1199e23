// The flow logger (device type 11): one Modbus device that is at the same time its own pressure,
// temperature and head sensor on connection 1. The instrument derives a flow rate and a flow total
// from the head through a formula whose coefficients K0 to K4 and exponent N it stores; this class
// only reads them as parameters and reads and writes the coefficients.
//
// Sensor parameters: 1 pressure, 2 temperature, 3 head (the level of the interface; its parameter id
// is 27), 4 flow, 5 flow total. Holding registers (floats): 40100 specific gravity (SG), 40102
// pressure offset, 40104 head reference, 40106 the pressure at the head reference, 40130-40140 the
// coefficients K0, K1, K2, K3, K4, N. The level mode is always 5 (measured from the reference); the
// logger has no dynamic SG.
//
// Calibration mode is the sensor's own (its sensor commands on connection 1). The logger takes a
// pressure offset as written: it has no update command. Every sequence that turned calibration mode
// on turns it off again, also when a step in between failed; a zero the logger refused also sets the
// device online first.
//
// The register operations check the device tag and the class signature, hold the device lock for
// their whole register sequence and trace each step ("Fluvar Device: " and the address). User notes
// go into the device's active log after the sequence, with the lock given up. Nothing is cached.
#pragma once

#include "models/BuiltInLevelLogger.h"

namespace NVSystem
{

class CFluvarComm : public CBuiltInLevelLogger<CFluvarComm, ISensor_FlowHeadTemp>
{
public:
    static constexpr uint32_t kClassSignature = 0x464C5652; // 'FLVR'

    static constexpr USHORT kHeadParameter = 3;
    static constexpr USHORT kFlowParameter = 4;
    static constexpr USHORT kFlowTotalParameter = 5;
    static constexpr USHORT kSpecificGravityRegister = 40100;
    static constexpr USHORT kPressureOffsetRegister = 40102;
    static constexpr USHORT kHeadReferenceRegister = 40104;
    static constexpr USHORT kHeadPressureReferenceRegister = 40106;
    static constexpr USHORT kFirstCoefficientRegister = 40130; // K0; K1 .. N follow, two registers each
    static constexpr uint32_t kCoefficients = 6;
    // The logger has no level mode register.
    static constexpr sLevelLayout kLevelLayout{kHeadParameter,           0,
                                               kSpecificGravityRegister, kPressureOffsetRegister,
                                               kHeadReferenceRegister,   kHeadPressureReferenceRegister};

    // With the registers the logger places from 40108.
    explicit CFluvarComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live logger object of this class.
    static bool IsFluvar(CDeviceComm* device);

    CFluvarComm* QueryFluvarComm() override;

    // The base tags, the counters, the head facts of the moment and the head reference. Serves the
    // device and its sensor interface alike.
    HRESULT FillLogFileMeta(CLogFile& logFile) override;

    // The pressure offset register alone, outside calibration mode.
    using CLevelSettings::WritePressureOffset;

    // --- ISensor_Interface ---

    ULONG GetSensorType() override { return SENSOR_TYPE_FLOW_HEAD_TEMP; }

    // --- ISensor_PressureTemp ---

    // The offset in calibration mode, then the head references, each to 0.0; a note for each part
    // restored when the device logs.
    HRESULT RestorePressureFactoryCal() override;

    // --- ISensor_PressureTempLevel: the head ---

    // Only while the head parameter measures the head (else ADAPTER_E_INVALID_PARAMETER, nothing
    // written). A note when the device logs.
    HRESULT SetLevelReference(float reference) override;
    HRESULT ReadLevelReference(float& reference) override;
    HRESULT SetLevelMode(USHORT /*mode*/) override { return MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED; }
    // Always 5.
    HRESULT ReadLevelMode(ULONG& mode) override;
    // Both head references to 0.0; a note when the device logs.
    HRESULT RestoreLevelReferenceDefaults() override;
    // The head reference's note, with the flow's unit for the head. E_FAIL when the device has no
    // active log.
    HRESULT WriteSetNewLevelRefNote() override;

    // --- ISensor_FlowHeadTemp ---

    HRESULT GetFlowSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    HRESULT GetFlowTotalSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    USHORT GetFlowConnection() override { return BUILT_IN_SENSOR_CONNECTION; }
    USHORT GetFlowTotalConnection() override { return BUILT_IN_SENSOR_CONNECTION; }
    HRESULT GetFlowUnit(USHORT& unitId) override { return GetUnit(kFlowParameter, unitId); }
    HRESULT SetFlowUnit(USHORT unitId) override { return SetUnit(kFlowParameter, unitId); }
    HRESULT GetFlowTotalUnit(USHORT& unitId) override { return GetUnit(kFlowTotalParameter, unitId); }
    HRESULT SetFlowTotalUnit(USHORT unitId) override { return SetUnit(kFlowTotalParameter, unitId); }
    HRESULT ReadFlow(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kFlowParameter, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadFlowTotal(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kFlowTotalParameter, value, quality, unitId, cachedOnly);
    }
    // In the order K0 .. N, one register pair each; the first failure ends the sequence and what was
    // written before it stays.
    HRESULT SetFlowCoefficients(float k0, float k1, float k2, float k3, float k4, float n) override;
    HRESULT ReadFlowCoefficients(float& k0, float& k1, float& k2, float& k3, float& k4, float& n) override;

protected:
    ~CFluvarComm() override = default;

private:
    friend CLevelSettings;
    friend CBuiltInLevelLogger;

    // What the level settings need of this class.
    CTraceLog& StepTrace();
    static USHORT LevelParameter() { return kHeadParameter; }
    // The logger has no level mode.
    void LevelModeChanged() {}
    HRESULT GravityWritten() { return S_OK; }
    bool AcceptsZeroReading(float pressure, USHORT quality)
    {
        return ZeroReadingAccepted(*this, BUILT_IN_SENSOR_CONNECTION, kPressureParameter, pressure, quality);
    }
    HRESULT TakeNewOffset() { return S_OK; }
    void ZeroWriteRefused() { SetOnline(); }

    // Inside a locked sequence: both head references to 0.0, a failure traced (the head reference's
    // with its own text).
    HRESULT ResetHeadReferences(const char16_t* headFailure);
};

} // namespace NVSystem
