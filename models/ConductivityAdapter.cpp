#include "models/ConductivityAdapter.h"

namespace NVSystem
{

namespace
{

constexpr uint32_t kCoefficients = ISensor_Conductivity::kCalibrationCoefficients;

} // namespace

HRESULT CConductivityAdapter::GetSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([] { return S_OK; });
}

HRESULT CConductivityAdapter::ReadQuantity(uint32_t n, float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly)
{
    return Checked([&]
                   { return ReadParameter(m_Layout.parameters[n - 1], value, quality, unitId, cachedOnly); });
}

HRESULT CConductivityAdapter::GetQuantityUnit(uint32_t n, USHORT& unitId)
{
    return Checked([&] { return GetUnit(m_Layout.parameters[n - 1], unitId); });
}

HRESULT CConductivityAdapter::SetQuantityUnit(uint32_t n, USHORT unitId)
{
    return Checked([&] { return SetUnit(m_Layout.parameters[n - 1], unitId); });
}

HRESULT CConductivityAdapter::ReadConductivityParam1(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(1, value, quality, unitId, cachedOnly);
}

HRESULT CConductivityAdapter::ReadConductivityParam2(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(2, value, quality, unitId, cachedOnly);
}

HRESULT CConductivityAdapter::ReadConductivityParam3(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(3, value, quality, unitId, cachedOnly);
}

HRESULT CConductivityAdapter::ReadConductivityParam4(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(4, value, quality, unitId, cachedOnly);
}

HRESULT CConductivityAdapter::ReadConductivityParam5(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(5, value, quality, unitId, cachedOnly);
}

HRESULT CConductivityAdapter::ReadConductivityParam6(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(6, value, quality, unitId, cachedOnly);
}

HRESULT CConductivityAdapter::GetConductivityParam1Sentinel(float& sentinel)
{
    return Checked([&] { return GetSentinel(m_Layout.parameters[0], sentinel); });
}

HRESULT CConductivityAdapter::GetConductivityParam1Unit(USHORT& unitId)
{
    return GetQuantityUnit(1, unitId);
}

HRESULT CConductivityAdapter::SetConductivityParam1Unit(USHORT unitId)
{
    return SetQuantityUnit(1, unitId);
}

HRESULT CConductivityAdapter::GetConductivityParam2Unit(USHORT& unitId)
{
    return GetQuantityUnit(2, unitId);
}

HRESULT CConductivityAdapter::SetConductivityParam2Unit(USHORT unitId)
{
    return SetQuantityUnit(2, unitId);
}

HRESULT CConductivityAdapter::GetConductivityParam3Unit(USHORT& unitId)
{
    return GetQuantityUnit(3, unitId);
}

HRESULT CConductivityAdapter::SetConductivityParam3Unit(USHORT unitId)
{
    return SetQuantityUnit(3, unitId);
}

HRESULT CConductivityAdapter::GetConductivityParam4Unit(USHORT& unitId)
{
    return GetQuantityUnit(4, unitId);
}

HRESULT CConductivityAdapter::SetConductivityParam4Unit(USHORT unitId)
{
    return SetQuantityUnit(4, unitId);
}

HRESULT CConductivityAdapter::GetConductivityParam5Unit(USHORT& unitId)
{
    return GetQuantityUnit(5, unitId);
}

HRESULT CConductivityAdapter::SetConductivityParam5Unit(USHORT unitId)
{
    return SetQuantityUnit(5, unitId);
}

HRESULT CConductivityAdapter::GetConductivityParam6Unit(USHORT& unitId)
{
    return GetQuantityUnit(6, unitId);
}

HRESULT CConductivityAdapter::SetConductivityParam6Unit(USHORT unitId)
{
    return SetQuantityUnit(6, unitId);
}

HRESULT CConductivityAdapter::SetTDSFactor(float factor)
{
    return Checked([&] { return WriteFloat(m_Layout.tdsFactor, factor); });
}

HRESULT CConductivityAdapter::ReadTDSFactor(float& factor)
{
    return Checked([&] { return ReadFloat(m_Layout.tdsFactor, factor); });
}

HRESULT CConductivityAdapter::SetCellConstant(float constant)
{
    return Checked([&] { return WriteFloat(m_Layout.cellConstant, constant); });
}

HRESULT CConductivityAdapter::ReadCellConstant(float& constant)
{
    return Checked([&] { return ReadFloat(m_Layout.cellConstant, constant); });
}

HRESULT CConductivityAdapter::SetCellOffset(float offset)
{
    return Checked([&] { return WriteFloat(m_Layout.cellOffset, offset); });
}

HRESULT CConductivityAdapter::ReadCellOffset(float& offset)
{
    return Checked([&] { return ReadFloat(m_Layout.cellOffset, offset); });
}

HRESULT CConductivityAdapter::ReadCalibrationBlock(float& first, float& second,
                                                   CDynArray<float>& coefficients)
{
    return Checked(
        [&]
        {
            coefficients.RemoveAll();
            if (!coefficients.SetSize(kCoefficients))
                return E_OUTOFMEMORY;
            HRESULT hr = ReadFloats({{m_Layout.calibrationBlock, &first}, {m_Layout.Alpha(), &second}});
            for (uint32_t n = 0; Succeeded(hr) && n < kCoefficients; ++n)
                hr = ReadFloat(m_Layout.Coefficient(n), coefficients[n]);
            return hr;
        });
}

HRESULT CConductivityAdapter::WriteBlock(float first, float second,
                                         const float (&coefficients)[kCoefficients])
{
    HRESULT hr = WriteFloats({{m_Layout.calibrationBlock, first}, {m_Layout.Alpha(), second}});
    for (uint32_t n = 0; Succeeded(hr) && n < kCoefficients; ++n)
        hr = WriteFloat(m_Layout.Coefficient(n), coefficients[n]);
    return hr;
}

HRESULT CConductivityAdapter::ResetCalibrationBlock(float first, float second)
{
    return Checked(
        [&]
        {
            const float zeros[kCoefficients] = {};
            return WriteBlock(first, second, zeros);
        });
}

HRESULT CConductivityAdapter::WriteCalibrationBlock(float first, float second,
                                                    const CDynArray<float>& coefficients)
{
    return Checked(
        [&]
        {
            if (coefficients.GetCount() < kCoefficients)
                return ADAPTER_E_COEFFICIENT_COUNT;
            float values[kCoefficients] = {};
            for (uint32_t n = 0; n < kCoefficients; ++n)
                values[n] = coefficients[n];
            return WriteBlock(first, second, values);
        });
}

HRESULT CConductivityAdapter::GetConductivitySerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

} // namespace NVSystem
