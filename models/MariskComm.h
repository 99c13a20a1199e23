// The conductivity sonde (device types 5 and 10): one Modbus device that is at the same time its own
// sensor on connection 1, a conductivity cell with temperature and, on type 5, a pressure transducer
// from which the water level follows. Type 10 has no pressure and no level: their parameter number
// is 0, which the device's sensor access refuses, so that those operations fail there without
// touching another parameter.
//
// Sensor parameters, type 5 / type 10: pressure 1 / none, temperature 2 / 2, level 3 / none, the
// conductivity quantities 1 to 6: 4-9 / 1, 3-7 (2 is the specific conductance, 4 the total dissolved
// solids, 6 the water density). Holding registers: 40056 the level mode (3 depth of the probe, 4
// depth to water, 5 surface elevation); floats 40120 pressure offset, 40122 specific gravity (SG),
// 40124 level reference, 40126 the pressure at the level reference, 40128 cell offset, 40130 cell
// constant, 40132 the specific-conductance reference temperature, 40134 its alpha, 40136-40150 its
// betas 0-7, 40152 the TDS factor, 40154 the dynamic SG factor (0 = off, then the SG register
// counts; otherwise SG = factor x the water density).
//
// The TDS factor, the cell constant and offset, the specific-conductance coefficients and the
// dynamic SG factor are cached: UpdateCache reads each once, and every write keeps its value equal to
// what it wrote. A change made on the device by other means is not seen until the object is made
// again.
//
// Calibration mode is the device offline with its sensor sampling continuously; online again ends
// it. Every sequence that turned it on turns it off again, also when a step in between failed.
//
// The register operations check the device tag and the class signature, hold the device lock for
// their whole register sequence and trace each step ("Marisk Device: " and the address). User notes
// go into the device's active log after the sequence, with the lock given up.
#pragma once

#include <array>
#include <optional>

#include "models/BuiltInLevelLogger.h"

namespace NVSystem
{

class CMariskComm : public COfflineCalibratedLogger<CMariskComm, ISensor_ConductivityPTL>
{
public:
    static constexpr uint32_t kClassSignature = 0x4D52534B; // 'MRSK'

    static constexpr USHORT kLevelModeRegister = 40056;
    static constexpr USHORT kPressureOffsetRegister = 40120;
    static constexpr USHORT kSpecificGravityRegister = 40122;
    static constexpr USHORT kLevelReferenceRegister = 40124;
    static constexpr USHORT kPressureReferenceRegister = 40126;
    static constexpr USHORT kCellOffsetRegister = 40128;
    static constexpr USHORT kCellConstantRegister = 40130;
    static constexpr USHORT kReferenceTemperatureRegister = 40132;
    static constexpr USHORT kAlphaRegister = 40134;
    static constexpr USHORT kFirstBetaRegister = 40136;
    static constexpr USHORT kTDSFactorRegister = 40152;
    static constexpr USHORT kDynamicSGFactorRegister = 40154;
    static constexpr uint32_t kBetas = 8;
    // The level parameter depends on the device type (LevelParameter()); no shared step here that
    // would take it from this layout is used by the sonde.
    static constexpr sLevelLayout kLevelLayout{0,
                                               kLevelModeRegister,
                                               kSpecificGravityRegister,
                                               kPressureOffsetRegister,
                                               kLevelReferenceRegister,
                                               kPressureReferenceRegister};

    // With the registers of the sonde family (47000 template version, 47001 external and 47002
    // internal battery voltage, 47003 and 47005 the counters, 47007 the measurement-cache time-out)
    // and the parameter numbers of the device type.
    explicit CMariskComm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live sonde object of this class.
    static bool IsMarisk(CDeviceComm* device);

    // The base caches, then the cached values above are read once.
    HRESULT UpdateCache() override;
    CMariskComm* QueryMariskComm() override;
    ISensor_ConductivityPTL* GetConductivityPTLSensor() override;
    // Type 5 only: type 10 has no pressure and no level.
    ISensor_PressureTempLevel* GetPressureTempLevelSensor() override;

    // The base tags, the counters, the conductivity facts of the logged quantities and, on type 5,
    // the level facts of the moment and, for a log of the level, its mode, SG and reference. Serves
    // the device and its sensor interface alike.
    HRESULT FillLogFileMeta(CLogFile& logFile) override;

    // The pressure offset register alone, outside calibration mode.
    using CLevelSettings::WritePressureOffset;

    // --- ISensor_Interface ---

    ULONG GetSensorType() override { return SENSOR_TYPE_CONDUCTIVITY_PTL; }

    // --- ISensor_PressureTemp ---

    HRESULT GetPressureUnit(USHORT& unitId) override { return GetUnit(m_nPressureParameter, unitId); }
    HRESULT SetPressureUnit(USHORT unitId) override { return SetUnit(m_nPressureParameter, unitId); }
    HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(m_nPressureParameter, value, quality, unitId, cachedOnly);
    }
    // --- ISensor_PressureTempLevel ---

    // With the dynamic SG factor on, SG = factor x the water density; a density reading that holds no
    // measurement counts as fresh water (SG 1). With an SG of 0 the level and pressure stay 0 and no
    // pressure is read.
    HRESULT CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                       USHORT& pressureUnitId) override;
    // Only in level modes 4 and 5 (else ADAPTER_E_INVALID_PARAMETER, nothing written).
    HRESULT SetLevelReference(float reference) override;
    // Switches the dynamic SG off (with its note); a note of the SG when the device logs.
    HRESULT SetSpecificGravity(float gravity) override;
    // A note when the device logs.
    HRESULT SetDynamicSGFactor(float factor) override;
    // The factor of the local gravity at the latitude and elevation.
    HRESULT SetDynamicSG(double latitudeDegrees, double elevationMetres) override;
    HRESULT ReadDynamicSGFactor(float& factor) override;
    BOOL IsDynamicSGSupported() override { return m_nDeviceType == kLevelSondeType ? TRUE : FALSE; }

    // --- ISensor_ConductivityPTL ---

    HRESULT ReadConductivityParam1(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(ConductivityParameter(1), value, quality, unitId, cachedOnly);
    }
    HRESULT ReadConductivityParam2(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(ConductivityParameter(2), value, quality, unitId, cachedOnly);
    }
    HRESULT ReadConductivityParam3(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(ConductivityParameter(3), value, quality, unitId, cachedOnly);
    }
    HRESULT ReadConductivityParam4(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(ConductivityParameter(4), value, quality, unitId, cachedOnly);
    }
    HRESULT ReadConductivityParam5(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(ConductivityParameter(5), value, quality, unitId, cachedOnly);
    }
    HRESULT ReadConductivityParam6(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(ConductivityParameter(6), value, quality, unitId, cachedOnly);
    }
    HRESULT GetConductivityParam1Unit(USHORT& unitId) override
    {
        return GetUnit(ConductivityParameter(1), unitId);
    }
    HRESULT SetConductivityParam1Unit(USHORT unitId) override
    {
        return SetUnit(ConductivityParameter(1), unitId);
    }
    HRESULT GetConductivityParam2Unit(USHORT& unitId) override
    {
        return GetUnit(ConductivityParameter(2), unitId);
    }
    HRESULT SetConductivityParam2Unit(USHORT unitId) override
    {
        return SetUnit(ConductivityParameter(2), unitId);
    }
    HRESULT GetConductivityParam3Unit(USHORT& unitId) override
    {
        return GetUnit(ConductivityParameter(3), unitId);
    }
    HRESULT SetConductivityParam3Unit(USHORT unitId) override
    {
        return SetUnit(ConductivityParameter(3), unitId);
    }
    HRESULT GetConductivityParam4Unit(USHORT& unitId) override
    {
        return GetUnit(ConductivityParameter(4), unitId);
    }
    HRESULT SetConductivityParam4Unit(USHORT unitId) override
    {
        return SetUnit(ConductivityParameter(4), unitId);
    }
    HRESULT GetConductivityParam5Unit(USHORT& unitId) override
    {
        return GetUnit(ConductivityParameter(5), unitId);
    }
    HRESULT SetConductivityParam5Unit(USHORT unitId) override
    {
        return SetUnit(ConductivityParameter(5), unitId);
    }
    HRESULT GetConductivityParam6Unit(USHORT& unitId) override
    {
        return GetUnit(ConductivityParameter(6), unitId);
    }
    HRESULT SetConductivityParam6Unit(USHORT unitId) override
    {
        return SetUnit(ConductivityParameter(6), unitId);
    }
    // A note when the device logs.
    HRESULT SetTDSFactor(float factor) override;
    HRESULT ReadTDSFactor(float& factor) override;
    HRESULT SetCellConstant(float constant) override;
    HRESULT ReadCellConstant(float& constant) override;
    HRESULT SetCellOffset(float offset) override;
    HRESULT ReadCellOffset(float& offset) override;
    // Alpha is 0.0 and the betas empty before anything else; the betas are eight afterwards.
    HRESULT ReadSpecCondCoefficients(float& referenceTemperature, float& alpha,
                                     CDynArray<float>& betas) override;
    // The linear curve: beta 0 1.0, the others 0.0.
    HRESULT ResetSpecCondCoefficients(float referenceTemperature, float alpha) override;
    // Missing betas are written as 0.0, betas beyond eight are not written. With an active log the
    // result is that of the curve's note.
    HRESULT WriteSpecCondCoefficients(float referenceTemperature, float alpha,
                                      const CDynArray<float>& betas) override;
    HRESULT GetConductivitySerialNumber(ULONG& serialNumber) override
    {
        return GetSerialNumber(serialNumber);
    }
    USHORT GetConductivityConnection() override { return BUILT_IN_SENSOR_CONNECTION; }
    // E_FAIL when the device has no active log.
    HRESULT WriteConductivityCalNote(float referenceTemperature, float temperatureCoefficient) override;

protected:
    ~CMariskComm() override = default;

private:
    friend CLevelSettings;
    friend CBuiltInLevelLogger;

    static constexpr USHORT kLevelSondeType = 5;

    USHORT ConductivityParameter(uint32_t n) const { return m_ConductivityParameters[n - 1]; }

    // What the level settings need of this class.
    CTraceLog& StepTrace();
    USHORT LevelParameter() const { return m_nLevelParameter; }
    void LevelModeChanged() { ReadSensorParameterBlock(BUILT_IN_SENSOR_CONNECTION, m_nLevelParameter); }
    // Not reached: the sonde's SetSpecificGravity is its own.
    HRESULT GravityWritten() { return S_OK; }
    bool AcceptsZeroReading(float pressure, USHORT quality)
    {
        return ZeroReadingAccepted(*this, BUILT_IN_SENSOR_CONNECTION, m_nPressureParameter, pressure,
                                   quality);
    }

    // Inside a locked sequence: the dynamic SG factor written and cached, each step traced.
    HRESULT StoreDynamicSGFactor(float factor);
    // Inside a locked sequence: a cached register, or the register read into the cache.
    HRESULT CachedRead(USHORT reg, std::optional<float>& entry, float& value, const char16_t* action,
                       const char16_t* fromCache, const char16_t* failure, const char16_t* success);
    // A register written and, when it took the value, cached.
    HRESULT CachedWrite(USHORT reg, std::optional<float>& entry, float value, const char16_t* action,
                        const char16_t* failure);
    void TraceCoefficients(const char16_t* heading, float referenceTemperature, float alpha,
                           const CDynArray<float>& betas);

    const USHORT m_nDeviceType;
    const USHORT m_nPressureParameter;
    const USHORT m_nLevelParameter;
    const std::array<USHORT, 6> m_ConductivityParameters;

    // The cached values, under the device lock.
    std::optional<float> m_TDSFactor;
    std::optional<float> m_CellConstant;
    std::optional<float> m_CellOffset;
    std::optional<float> m_ReferenceTemperature;
    std::optional<float> m_Alpha;
    std::array<std::optional<float>, kBetas> m_Betas;
    std::optional<float> m_DynamicSGFactor;
    bool m_bStaticValuesCached = false;
};

} // namespace NVSystem
