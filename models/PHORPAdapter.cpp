#include "models/PHORPAdapter.h"

namespace NVSystem
{

namespace
{

// Offsets from the ORP calibration word.
constexpr USHORT kOrpSolution = 1;
constexpr USHORT kOrpResponse = 3;
constexpr USHORT kOrpTemperature = 5;
constexpr USHORT kOrpValueA = 7;
constexpr USHORT kOrpValueB = 9;

constexpr bool IsPoint(USHORT point)
{
    return point >= 1 && point <= PH_CAL_POINTS;
}

constexpr bool IsSegment(USHORT segment)
{
    return segment >= 1 && segment <= PH_CAL_SEGMENTS;
}

} // namespace

template <typename Interface, uint32_t Signature>
bool CPhOrpAdapter<Interface, Signature>::IsUsable() const
{
    if (!this->IsBound(Signature))
        return false;
    if (m_Layout.temperature != 0)
        return true;
    return m_pCompanion != nullptr &&
           static_cast<const ISensor_Interface*>(m_pCompanion) != static_cast<const ISensor_Interface*>(this);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::SensorSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return this->ReadSerialNumber(serialNumber); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadQuantity(USHORT parameter, float& value, USHORT& quality,
                                                          USHORT& unitId, BOOL cachedOnly)
{
    if (parameter == 0)
        return E_FAIL;
    return Checked([&] { return this->ReadParameter(parameter, value, quality, unitId, cachedOnly); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetQuantityUnit(USHORT parameter, USHORT& unitId)
{
    if (parameter == 0)
        return E_FAIL;
    return Checked([&] { return this->GetUnit(parameter, unitId); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::SetQuantityUnit(USHORT parameter, USHORT unitId)
{
    if (parameter == 0)
        return E_FAIL;
    return Checked([&] { return this->SetUnit(parameter, unitId); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadTemperature(float& value, USHORT& quality, USHORT& unitId,
                                                             BOOL cachedOnly)
{
    if (m_Layout.temperature != 0)
        return ReadQuantity(m_Layout.temperature, value, quality, unitId, cachedOnly);
    return Checked([&] { return m_pCompanion->ReadTemperature(value, quality, unitId, cachedOnly); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetTemperatureUnit(USHORT& unitId)
{
    if (m_Layout.temperature != 0)
        return GetQuantityUnit(m_Layout.temperature, unitId);
    return Checked([&] { return m_pCompanion->GetTemperatureUnit(unitId); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::SetTemperatureUnit(USHORT unitId)
{
    if (m_Layout.temperature != 0)
        return SetQuantityUnit(m_Layout.temperature, unitId);
    return Checked([&] { return m_pCompanion->SetTemperatureUnit(unitId); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetTemperatureSentinel(float& sentinel)
{
    if (m_Layout.temperature != 0)
        return Checked([&] { return this->GetSentinel(m_Layout.temperature, sentinel); });
    return Checked([&] { return m_pCompanion->GetTemperatureSentinel(sentinel); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadpH(float& value, USHORT& quality, USHORT& unitId,
                                                    BOOL cachedOnly)
{
    return ReadQuantity(m_Layout.pH, value, quality, unitId, cachedOnly);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadpHmV(float& value, USHORT& quality, USHORT& unitId,
                                                      BOOL cachedOnly)
{
    return ReadQuantity(m_Layout.pHMillivolts, value, quality, unitId, cachedOnly);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadORP(float& value, USHORT& quality, USHORT& unitId,
                                                     BOOL cachedOnly)
{
    return ReadQuantity(m_Layout.orp, value, quality, unitId, cachedOnly);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetQuantitySentinel(USHORT parameter, float& sentinel)
{
    if (parameter == 0)
        return E_FAIL;
    return Checked([&] { return this->GetSentinel(parameter, sentinel); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetpHmVSentinel(float& sentinel)
{
    return GetQuantitySentinel(m_Layout.pHMillivolts, sentinel);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetORPSentinel(float& sentinel)
{
    return GetQuantitySentinel(m_Layout.orp, sentinel);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetpHUnit(USHORT& unitId)
{
    return GetQuantityUnit(m_Layout.pH, unitId);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::SetpHUnit(USHORT unitId)
{
    return SetQuantityUnit(m_Layout.pH, unitId);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetpHmVUnit(USHORT& unitId)
{
    return GetQuantityUnit(m_Layout.pHMillivolts, unitId);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::SetpHmVUnit(USHORT unitId)
{
    return SetQuantityUnit(m_Layout.pHMillivolts, unitId);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetORPUnit(USHORT& unitId)
{
    return GetQuantityUnit(m_Layout.orp, unitId);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::SetORPUnit(USHORT unitId)
{
    return SetQuantityUnit(m_Layout.orp, unitId);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadpHCalSegmentCount(USHORT& count)
{
    return PhCalibration([&] { return this->ReadWord(PH_CAL_POINT_COUNT, count); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WritepHCalSegmentCount(USHORT count)
{
    return PhCalibration([&] { return this->WriteWord(PH_CAL_POINT_COUNT, count); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadpHCalPoint(USHORT point, float& pH, float& millivolts,
                                                            float& temperature)
{
    return PhCalibration(
        [&]
        {
            if (!IsPoint(point))
                return MODBUSCOMM_E_INVALID_INDEX;
            const uint32_t i = point - 1u;
            return this->ReadFloats({{PH_CAL_POINT_OFFSETS[0][i], &pH},
                                     {PH_CAL_POINT_OFFSETS[1][i], &millivolts},
                                     {PH_CAL_POINT_OFFSETS[2][i], &temperature}});
        });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WritepHCalPoint(USHORT point, float pH, float millivolts,
                                                             float temperature)
{
    return PhCalibration(
        [&]
        {
            if (!IsPoint(point))
                return MODBUSCOMM_E_INVALID_INDEX;
            const uint32_t i = point - 1u;
            return this->WriteFloats({{PH_CAL_POINT_OFFSETS[0][i], pH},
                                      {PH_CAL_POINT_OFFSETS[1][i], millivolts},
                                      {PH_CAL_POINT_OFFSETS[2][i], temperature}});
        });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadSegmentFloat(const USHORT (&offsets)[PH_CAL_SEGMENTS],
                                                              USHORT segment, float& value)
{
    return PhCalibration(
        [&]
        {
            if (!IsSegment(segment))
                return MODBUSCOMM_E_INVALID_INDEX;
            return this->ReadFloat(offsets[segment - 1u], value);
        });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WriteSegmentFloat(const USHORT (&offsets)[PH_CAL_SEGMENTS],
                                                               USHORT segment, float value)
{
    return PhCalibration(
        [&]
        {
            if (!IsSegment(segment))
                return MODBUSCOMM_E_INVALID_INDEX;
            return this->WriteFloat(offsets[segment - 1u], value);
        });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadpHSegmentSlope(USHORT segment, float& slope)
{
    return ReadSegmentFloat(PH_SEGMENT_SLOPE_OFFSETS, segment, slope);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WritepHSegmentSlope(USHORT segment, float slope)
{
    return WriteSegmentFloat(PH_SEGMENT_SLOPE_OFFSETS, segment, slope);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadpHSegmentOffset(USHORT segment, float& offset)
{
    return ReadSegmentFloat(PH_SEGMENT_OFFSET_OFFSETS, segment, offset);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WritepHSegmentOffset(USHORT segment, float offset)
{
    return WriteSegmentFloat(PH_SEGMENT_OFFSET_OFFSETS, segment, offset);
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadORPCalWord(USHORT& word)
{
    return OrpCalibration([&] { return this->ReadWord(m_Layout.orpCalibrationWord, word); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WriteORPCalWord(USHORT word)
{
    return OrpCalibration([&] { return this->WriteWord(m_Layout.orpCalibrationWord, word); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadORPCalPoint(float& solutionMillivolts,
                                                             float& responseMillivolts, float& temperature)
{
    return OrpCalibration(
        [&]
        {
            return this->ReadFloats({{OrpRegister(kOrpSolution), &solutionMillivolts},
                                     {OrpRegister(kOrpResponse), &responseMillivolts},
                                     {OrpRegister(kOrpTemperature), &temperature}});
        });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WriteORPCalPoint(float solutionMillivolts,
                                                              float responseMillivolts, float temperature)
{
    return OrpCalibration(
        [&]
        {
            return this->WriteFloats({{OrpRegister(kOrpSolution), solutionMillivolts},
                                      {OrpRegister(kOrpResponse), responseMillivolts},
                                      {OrpRegister(kOrpTemperature), temperature}});
        });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadORPCalValueA(float& value)
{
    return OrpCalibration([&] { return this->ReadFloat(OrpRegister(kOrpValueA), value); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WriteORPCalValueA(float value)
{
    return OrpCalibration([&] { return this->WriteFloat(OrpRegister(kOrpValueA), value); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::ReadORPCalValueB(float& value)
{
    return OrpCalibration([&] { return this->ReadFloat(OrpRegister(kOrpValueB), value); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::WriteORPCalValueB(float value)
{
    return OrpCalibration([&] { return this->WriteFloat(OrpRegister(kOrpValueB), value); });
}

template <typename Interface, uint32_t Signature>
HRESULT CPhOrpAdapter<Interface, Signature>::GetpHORPSerialNumber(ULONG& serialNumber)
{
    return SensorSerialNumber(serialNumber);
}

// The three classes built on it.
template class CPhOrpAdapter<ISensor_pHORP, SensorSignature("PHOR")>;
template class CPhOrpAdapter<ISensor_pH, SensorSignature("PHSE")>;
template class CPhOrpAdapter<ISensor_ORP, SensorSignature("ORPS")>;

} // namespace NVSystem
