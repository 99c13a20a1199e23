// What the two conductivity adapters share: the conductivity quantities, their units, the TDS
// factor, cell constant and cell offset, and the calibration block, each at the parameter number or
// register offset its class's layout names. The classes differ in where the temperature comes from
// and in their object check, which every operation runs before anything else.
//
// The calibration block is ten consecutive floats: the reference temperature of the specific
// conductance, its alpha coefficient and the eight beta coefficients. It is read and written as a
// whole, one register pair at a time in that order; the first failure ends the sequence and what
// went before it stays (nothing is rolled back).
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

struct sConductivityLayout
{
    USHORT parameters[6] = {}; // sensor parameters of conductivity quantities 1 to 6
    USHORT tdsFactor = 0;      // register offsets
    USHORT cellConstant = 0;
    USHORT cellOffset = 0;
    USHORT calibrationBlock = 0; // the reference temperature; alpha and the coefficients follow

    constexpr USHORT Alpha() const { return static_cast<USHORT>(calibrationBlock + 2); }
    // Coefficient n, 0..7.
    constexpr USHORT Coefficient(uint32_t n) const
    {
        return static_cast<USHORT>(calibrationBlock + 4 + 2 * n);
    }
};

class CConductivityAdapter : public CSensorAdapter<ISensor_Conductivity>
{
public:
    ULONG GetSensorType() override { return SENSOR_TYPE_CONDUCTIVITY; }

    // The temperature level's own pair is not provided: serial number 0 and connection 0.
    HRESULT GetSerialNumber(ULONG& serialNumber) override;
    USHORT GetConnection() override { return 0; }

    HRESULT ReadConductivityParam1(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadConductivityParam2(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadConductivityParam3(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadConductivityParam4(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadConductivityParam5(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadConductivityParam6(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetConductivityParam1Unit(USHORT& unitId) override;
    HRESULT SetConductivityParam1Unit(USHORT unitId) override;
    HRESULT GetConductivityParam2Unit(USHORT& unitId) override;
    HRESULT SetConductivityParam2Unit(USHORT unitId) override;
    HRESULT GetConductivityParam3Unit(USHORT& unitId) override;
    HRESULT SetConductivityParam3Unit(USHORT unitId) override;
    HRESULT GetConductivityParam4Unit(USHORT& unitId) override;
    HRESULT SetConductivityParam4Unit(USHORT unitId) override;
    HRESULT GetConductivityParam5Unit(USHORT& unitId) override;
    HRESULT SetConductivityParam5Unit(USHORT unitId) override;
    HRESULT GetConductivityParam6Unit(USHORT& unitId) override;
    HRESULT SetConductivityParam6Unit(USHORT unitId) override;
    HRESULT SetTDSFactor(float factor) override;
    HRESULT ReadTDSFactor(float& factor) override;
    HRESULT SetCellConstant(float constant) override;
    HRESULT ReadCellConstant(float& constant) override;
    HRESULT SetCellOffset(float offset) override;
    HRESULT ReadCellOffset(float& offset) override;
    // The array is emptied and given exactly eight elements before the first read.
    HRESULT ReadCalibrationBlock(float& first, float& second, CDynArray<float>& coefficients) override;
    HRESULT ResetCalibrationBlock(float first, float second) override;
    // The first eight elements; an array with fewer is refused (ADAPTER_E_COEFFICIENT_COUNT) before
    // anything is written.
    HRESULT WriteCalibrationBlock(float first, float second, const CDynArray<float>& coefficients) override;
    HRESULT GetConductivitySerialNumber(ULONG& serialNumber) override;
    USHORT GetConductivityConnection() override { return m_nConnection; }
    HRESULT GetConductivityParam1Sentinel(float& sentinel) override;

protected:
    CConductivityAdapter(CDeviceComm* device, USHORT connection, uint32_t signature,
                         const sConductivityLayout& layout)
        : CSensorAdapter(device, connection, signature), m_Layout(layout)
    {
    }

    // The class's object check.
    virtual bool IsUsable() const = 0;

    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsUsable() ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }

private:
    HRESULT ReadQuantity(uint32_t n, float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly);
    HRESULT GetQuantityUnit(uint32_t n, USHORT& unitId);
    HRESULT SetQuantityUnit(uint32_t n, USHORT unitId);
    HRESULT WriteBlock(float first, float second,
                       const float (&coefficients)[ISensor_Conductivity::kCalibrationCoefficients]);

    const sConductivityLayout& m_Layout;
};

} // namespace NVSystem
