// The interfaces of the sensors that the probes carry: optical dissolved oxygen, conductivity, the
// pH/ORP family and the pressure/depth sensor of the VOX core device.
#pragma once

#include <cstdint>

#include "foundation/DeviceTimestamp.h"
#include "foundation/DynArray.h"
#include "models/PressureSensorInterfaces.h"

namespace NVSystem
{

// Conductivity quantities 1 to 6 stand for sensor parameters that each class fixes. The
// calibration block is two floats (reference temperature, alpha) and eight coefficients.
class ISensor_Conductivity : public ISensor_Temperature
{
public:
    static constexpr uint32_t kCalibrationCoefficients = 8;

    ISensor_Conductivity* AsConductivity() override { return this; }

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
    virtual HRESULT SetTDSFactor(float factor) = 0;
    virtual HRESULT ReadTDSFactor(float& factor) = 0;
    virtual HRESULT SetCellConstant(float constant) = 0;
    virtual HRESULT ReadCellConstant(float& constant) = 0;
    virtual HRESULT SetCellOffset(float offset) = 0;
    virtual HRESULT ReadCellOffset(float& offset) = 0;
    // The array holds exactly the eight coefficients afterwards.
    virtual HRESULT ReadCalibrationBlock(float& first, float& second, CDynArray<float>& coefficients) = 0;
    // The two floats given and eight zero coefficients.
    virtual HRESULT ResetCalibrationBlock(float first, float second) = 0;
    // Needs at least eight coefficients.
    virtual HRESULT WriteCalibrationBlock(float first, float second,
                                          const CDynArray<float>& coefficients) = 0;
    virtual HRESULT GetConductivitySerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetConductivityConnection() = 0;
    // What quantity 1 reports while it has no value (its parameter's sentinel); E_NOTIMPL where the
    // sensor cannot say.
    virtual HRESULT GetConductivityParam1Sentinel(float& sentinel)
    {
        sentinel = 0.0f;
        return E_NOTIMPL;
    }
};

// Optical dissolved oxygen. DO quantities A, B and C are the sensor's dissolved-oxygen parameters
// other than temperature; which physical quantities they are, the parameter records say.
class ISensor_VoxPro : public ISensor_Temperature
{
public:
    ISensor_VoxPro* AsVoxPro() override { return this; }

    virtual HRESULT ReadOxygenParamA(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetOxygenParamAUnit(USHORT& unitId) = 0;
    virtual HRESULT SetOxygenParamAUnit(USHORT unitId) = 0;
    virtual HRESULT GetOxygenParamASentinel(float& sentinel) = 0;
    virtual HRESULT SetOxygenParamASentinel(float sentinel) = 0;
    virtual HRESULT ReadOxygenParamB(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetOxygenParamBUnit(USHORT& unitId) = 0;
    virtual HRESULT SetOxygenParamBUnit(USHORT unitId) = 0;
    virtual HRESULT GetOxygenParamBSentinel(float& sentinel) = 0;
    virtual HRESULT SetOxygenParamBSentinel(float sentinel) = 0;
    virtual HRESULT ReadOxygenParamC(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetOxygenParamCUnit(USHORT& unitId) = 0;
    virtual HRESULT SetOxygenParamCUnit(USHORT unitId) = 0;
    virtual HRESULT GetOxygenParamCSentinel(float& sentinel) = 0;
    virtual HRESULT SetOxygenParamCSentinel(float sentinel) = 0;

    // Sensor commands.
    virtual HRESULT CalModeOn() = 0;
    virtual HRESULT CalModeOff() = 0;
    // Commits the calibration in the sensor.
    virtual HRESULT UpdateCalibration() = 0;

    // Salinity and barometric pressure for the live computation and the sensor's defaults (a
    // default set also becomes the live value), and the calibration data.
    virtual HRESULT ReadLiveSalinity(float& value) = 0;
    virtual HRESULT SetLiveSalinity(float value) = 0;
    virtual HRESULT ReadDefaultSalinity(float& value) = 0;
    virtual HRESULT SetDefaultSalinity(float value) = 0;
    virtual HRESULT ReadLiveBaro(float& value) = 0;
    virtual HRESULT SetLiveBaro(float value) = 0;
    virtual HRESULT ReadDefaultBaro(float& value) = 0;
    virtual HRESULT SetDefaultBaro(float value) = 0;
    // The readings taken at the 100 % saturation point: DO, temperature, salinity, pressure.
    virtual HRESULT ReadCalDO100(float& value) = 0;
    virtual HRESULT SetCalDO100(float value) = 0;
    virtual HRESULT ReadCalTemp100(float& value) = 0;
    virtual HRESULT SetCalTemp100(float value) = 0;
    virtual HRESULT ReadCalSalinity100(float& value) = 0;
    virtual HRESULT SetCalSalinity100(float value) = 0;
    virtual HRESULT ReadCalBaro100(float& value) = 0;
    virtual HRESULT SetCalBaro100(float value) = 0;
    // The readings taken at the 0 % point: DO, temperature.
    virtual HRESULT ReadCalDO0(float& value) = 0;
    virtual HRESULT SetCalDO0(float value) = 0;
    virtual HRESULT ReadCalTemp0(float& value) = 0;
    virtual HRESULT SetCalTemp0(float value) = 0;
    virtual HRESULT ReadCalSlope(float& value) = 0;
    virtual HRESULT SetCalSlope(float value) = 0;
    virtual HRESULT ReadCalOffset(float& value) = 0;
    virtual HRESULT SetCalOffset(float value) = 0;

    virtual HRESULT GetVoxSerialNumber(ULONG& serialNumber) = 0;
    // Of the sensing cap.
    virtual HRESULT GetCapSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetVoxConnection() = 0;
    // E_FAIL in classes that write no calibration note.
    virtual HRESULT WriteCalibrationNote() = 0;
    virtual BOOL IsSensorPresent() = 0;
    // True when GetTimeToFactoryCal fails or leaves no time (a due date equal to now is due).
    virtual BOOL IsFactoryCalDue();
    // 0 when the date has passed.
    virtual HRESULT GetTimeToFactoryCal(int64_t& milliseconds) = 0;
    virtual HRESULT GetNextFactoryCalDate(CDeviceTimestamp& date) = 0;
    // The sensing cap: 0 normal, 1 wear indicated, 2 expired, 3 possibly damaged, 4 not detected,
    // 5 read failure.
    virtual HRESULT GetSensorStatus(ULONG& status) = 0;
};

// pH and ORP. Calibration point 1..3, line segment 1..2.
class ISensor_pHORP : public ISensor_Temperature
{
public:
    ISensor_pHORP* AspHORP() override { return this; }

    virtual HRESULT ReadpH(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    // The pH electrode's millivolts.
    virtual HRESULT ReadpHmV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadORP(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetpHUnit(USHORT& unitId) = 0;
    virtual HRESULT SetpHUnit(USHORT unitId) = 0;
    virtual HRESULT GetpHmVUnit(USHORT& unitId) = 0;
    virtual HRESULT SetpHmVUnit(USHORT unitId) = 0;
    virtual HRESULT GetORPUnit(USHORT& unitId) = 0;
    virtual HRESULT SetORPUnit(USHORT unitId) = 0;
    // Number of points of the pH calibration (1 to 3; with 3 there is a second segment).
    virtual HRESULT ReadpHCalSegmentCount(USHORT& count) = 0;
    virtual HRESULT WritepHCalSegmentCount(USHORT count) = 0;
    // pH, millivolts, temperature.
    virtual HRESULT ReadpHCalPoint(USHORT point, float& pH, float& millivolts, float& temperature) = 0;
    virtual HRESULT WritepHCalPoint(USHORT point, float pH, float millivolts, float temperature) = 0;
    virtual HRESULT ReadpHSegmentSlope(USHORT segment, float& slope) = 0;
    virtual HRESULT WritepHSegmentSlope(USHORT segment, float slope) = 0;
    virtual HRESULT ReadpHSegmentOffset(USHORT segment, float& offset) = 0;
    virtual HRESULT WritepHSegmentOffset(USHORT segment, float offset) = 0;
    // The ORP solution used.
    virtual HRESULT ReadORPCalWord(USHORT& word) = 0;
    virtual HRESULT WriteORPCalWord(USHORT word) = 0;
    // Millivolts of the solution, the sensor's response, the solution's temperature.
    virtual HRESULT ReadORPCalPoint(float& solutionMillivolts, float& responseMillivolts,
                                    float& temperature) = 0;
    virtual HRESULT WriteORPCalPoint(float solutionMillivolts, float responseMillivolts,
                                     float temperature) = 0;
    // Slope and offset.
    virtual HRESULT ReadORPCalValueA(float& value) = 0;
    virtual HRESULT WriteORPCalValueA(float value) = 0;
    virtual HRESULT ReadORPCalValueB(float& value) = 0;
    virtual HRESULT WriteORPCalValueB(float value) = 0;
    virtual HRESULT GetpHORPSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetpHORPConnection() = 0;
    // 0 in every class.
    virtual HRESULT Reserved53() = 0;
    virtual HRESULT WritepHCalNote() = 0;
    virtual HRESULT WriteORPCalNote() = 0;
    // What the pH millivolts and the ORP report while they have no value (their parameters'
    // sentinels); E_NOTIMPL where the sensor cannot say.
    virtual HRESULT GetpHmVSentinel(float& sentinel)
    {
        sentinel = 0.0f;
        return E_NOTIMPL;
    }
    virtual HRESULT GetORPSentinel(float& sentinel)
    {
        sentinel = 0.0f;
        return E_NOTIMPL;
    }
};

// pH alone: its ORP operations answer E_FAIL.
class ISensor_pH : public ISensor_pHORP
{
public:
    ISensor_pH* AspH() override { return this; }

    virtual HRESULT GetpHSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetpHConnection() = 0;
};

// ORP alone: its pH operations answer E_FAIL.
class ISensor_ORP : public ISensor_pHORP
{
public:
    ISensor_ORP* AsORP() override { return this; }

    virtual HRESULT GetORPSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetORPConnection() = 0;
};

// The depth sensor of the VOX core device, directly on the root and without a cast of its own.
class ISensor_PressureDepth : public ISensor_Interface
{
public:
    virtual HRESULT GetPressureSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetPressureConnection() = 0;
    virtual HRESULT GetPressureUnit(USHORT& unitId) = 0;
    virtual HRESULT SetPressureUnit(USHORT unitId) = 0;
    virtual HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT WriteDepthCalA(float value) = 0;
    virtual HRESULT ReadDepthCalA(float& value) = 0;
    // 0 in every class.
    virtual HRESULT Reserved28() = 0;
    virtual HRESULT Reserved29() = 0;
    // The same value as GetPressureSerialNumber.
    virtual HRESULT GetDepthSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetDepthConnection() = 0;
    virtual HRESULT GetDepthUnit(USHORT& unitId) = 0;
    virtual HRESULT SetDepthUnit(USHORT unitId) = 0;
    virtual HRESULT ReadDepth(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    // A float setting read as on (non-zero) or off; written as 1.0 or 0.0.
    virtual HRESULT IsDepthCalEnabled(ULONG& enabled) = 0;
    virtual HRESULT SetDepthCalEnabled(BOOL enabled) = 0;
    virtual HRESULT WriteDepthCalB(float value) = 0;
    virtual HRESULT ReadDepthCalB(float& value) = 0;
};

} // namespace NVSystem
