// The temperature interface and the pressure chain built on it: pressure and temperature, level,
// the flow logger's head and flow, and the conductivity sonde's conductivity with pressure,
// temperature and level. Each level repeats a serial-number and connection pair under its own
// names, so that a caller holding any of them can ask for both without casting.
#pragma once

#include "foundation/DynArray.h"
#include "models/SensorInterface.h"

namespace NVSystem
{

class ISensor_Temperature : public ISensor_Interface
{
public:
    ISensor_Temperature* AsTemperature() override { return this; }

    virtual HRESULT GetSerialNumber(ULONG& serialNumber) = 0;
    // Built-in sensors answer 1.
    virtual USHORT GetConnection() = 0;
    virtual HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetTemperatureUnit(USHORT& unitId) = 0;
    virtual HRESULT SetTemperatureUnit(USHORT unitId) = 0;
    // What the sensor reports as its temperature while it has none (the temperature parameter's
    // sentinel, wherever the sensor takes its temperature from); E_NOTIMPL where it cannot say.
    virtual HRESULT GetTemperatureSentinel(float& sentinel)
    {
        sentinel = 0.0f;
        return E_NOTIMPL;
    }
};

class ISensor_PressureTemp : public ISensor_Temperature
{
public:
    ISensor_PressureTemp* AsPressureTemp() override { return this; }

    // The same value as GetSerialNumber.
    virtual HRESULT GetPressureSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetPressureConnection() = 0;
    virtual HRESULT GetPressureUnit(USHORT& unitId) = 0;
    virtual HRESULT SetPressureUnit(USHORT unitId) = 0;
    virtual HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    // In the pressure parameter's unit.
    virtual HRESULT SetPressureOffset(float offset) = 0;
    virtual HRESULT ReadPressureOffset(float& offset) = 0;
    // Takes the present pressure reading as the new zero.
    virtual HRESULT ZeroPressure() = 0;
    // Pressure offset and the level references back to their factory values.
    virtual HRESULT RestorePressureFactoryCal() = 0;
    virtual HRESULT WriteZeroPressureNote() = 0;
};

class ISensor_PressureTempLevel : public ISensor_PressureTemp
{
public:
    ISensor_PressureTempLevel* AsPressureTempLevel() override { return this; }

    virtual HRESULT GetLevelSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetLevelConnection() = 0;
    virtual HRESULT GetLevelUnit(USHORT& unitId) = 0;
    virtual HRESULT SetLevelUnit(USHORT unitId) = 0;
    virtual HRESULT ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    // The level of CalculateLevelFromPressure alone.
    virtual HRESULT CalculateLevel(float& level);
    // Level computed on the PC from pressure and specific gravity.
    virtual HRESULT CalculateLevelFromPressure(float& level, USHORT& levelUnitId, float& pressure,
                                               USHORT& pressureUnitId) = 0;
    virtual HRESULT SetLevelReference(float reference) = 0;
    virtual HRESULT ReadLevelReference(float& reference) = 0;
    virtual HRESULT SetPressureReference(float reference) = 0;
    virtual HRESULT ReadPressureReference(float& reference) = 0;
    virtual HRESULT SetLevelMode(USHORT mode) = 0;
    virtual HRESULT ReadLevelMode(ULONG& mode) = 0;
    virtual HRESULT SetSpecificGravity(float gravity) = 0;
    virtual HRESULT ReadSpecificGravity(float& gravity) = 0;
    // MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED where the device has no dynamic specific gravity.
    virtual HRESULT SetDynamicSGFactor(float factor) = 0;
    virtual HRESULT SetDynamicSG(double latitudeDegrees, double elevationMetres) = 0;
    virtual HRESULT ReadDynamicSGFactor(float& factor) = 0;
    virtual BOOL IsDynamicSGSupported() = 0;
    // Level reference and level pressure reference back to their factory defaults.
    virtual HRESULT RestoreLevelReferenceDefaults() = 0;
    virtual HRESULT WriteSetNewLevelRefNote() = 0;
};

// The flow logger: the head is the level of the chain.
class ISensor_FlowHeadTemp : public ISensor_PressureTempLevel
{
public:
    ISensor_FlowHeadTemp* AsFlowHeadTemp() override { return this; }

    virtual HRESULT GetFlowSerialNumber(ULONG& serialNumber) = 0;
    virtual HRESULT GetFlowTotalSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetFlowConnection() = 0;
    virtual USHORT GetFlowTotalConnection() = 0;
    virtual HRESULT GetFlowUnit(USHORT& unitId) = 0;
    virtual HRESULT SetFlowUnit(USHORT unitId) = 0;
    virtual HRESULT GetFlowTotalUnit(USHORT& unitId) = 0;
    virtual HRESULT SetFlowTotalUnit(USHORT unitId) = 0;
    virtual HRESULT ReadFlow(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadFlowTotal(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT SetFlowCoefficients(float k0, float k1, float k2, float k3, float k4, float n) = 0;
    virtual HRESULT ReadFlowCoefficients(float& k0, float& k1, float& k2, float& k3, float& k4, float& n) = 0;
};

// The conductivity sonde: six conductivity quantities in the device's parameter order.
class ISensor_ConductivityPTL : public ISensor_PressureTempLevel
{
public:
    ISensor_ConductivityPTL* AsConductivityPTL() override { return this; }

    virtual HRESULT ReadConductivityParam1(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT ReadConductivityParam2(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT ReadConductivityParam3(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT ReadConductivityParam4(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT ReadConductivityParam5(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT ReadConductivityParam6(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT GetConductivityParam1Unit(USHORT& unitId) = 0;
    virtual HRESULT SetConductivityParam1Unit(USHORT unitId) = 0;
    virtual HRESULT GetConductivityParam2Unit(USHORT& unitId) = 0;
    virtual HRESULT SetConductivityParam2Unit(USHORT unitId) = 0;
    virtual HRESULT GetConductivityParam3Unit(USHORT& unitId) = 0;
    virtual HRESULT SetConductivityParam3Unit(USHORT unitId) = 0;
    virtual HRESULT GetConductivityParam4Unit(USHORT& unitId) = 0;
    virtual HRESULT SetConductivityParam4Unit(USHORT unitId) = 0;
    virtual HRESULT GetConductivityParam5Unit(USHORT& unitId) = 0;
    virtual HRESULT SetConductivityParam5Unit(USHORT unitId) = 0;
    virtual HRESULT GetConductivityParam6Unit(USHORT& unitId) = 0;
    virtual HRESULT SetConductivityParam6Unit(USHORT unitId) = 0;
    // Factor from conductivity to total dissolved solids.
    virtual HRESULT SetTDSFactor(float factor) = 0;
    virtual HRESULT ReadTDSFactor(float& factor) = 0;
    virtual HRESULT SetCellConstant(float constant) = 0;
    virtual HRESULT ReadCellConstant(float& constant) = 0;
    virtual HRESULT SetCellOffset(float offset) = 0;
    virtual HRESULT ReadCellOffset(float& offset) = 0;
    // The specific-conductance coefficients: reference temperature, alpha and the betas.
    virtual HRESULT ReadSpecCondCoefficients(float& referenceTemperature, float& alpha,
                                             CDynArray<float>& betas) = 0;
    virtual HRESULT ResetSpecCondCoefficients(float referenceTemperature, float alpha) = 0;
    virtual HRESULT WriteSpecCondCoefficients(float referenceTemperature, float alpha,
                                              const CDynArray<float>& betas) = 0;
    virtual HRESULT GetConductivitySerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetConductivityConnection() = 0;
    // The calibration's reference temperature and temperature coefficient go into the note beside
    // the cell constant and offset the sensor holds.
    virtual HRESULT WriteConductivityCalNote(float referenceTemperature, float temperatureCoefficient) = 0;
};

} // namespace NVSystem
