// What the three pH/ORP adapters share: the pH, pH millivolt and ORP quantities with their units,
// the pH calibration registers and the ORP calibration registers, each where the class's layout puts
// it. A quantity or calibration the class's sensor does not have is refused with E_FAIL before any
// device access.
//
// pH calibration registers (register offsets, the same in every class that has them): 117 the
// number of calibration points (one register); point i (1..3) at 118 + 6(i-1) pH, 120 + 6(i-1)
// millivolts, 122 + 6(i-1) temperature; segment s (1..2) at 136 + 4(s-1) slope (pH per mV) and
// 138 + 4(s-1) offset (pH). A point or segment number outside those ranges is refused
// (MODBUSCOMM_E_INVALID_INDEX) before any traffic.
//
// ORP calibration registers, from the class's ORP calibration word W (one register): W+1, W+3, W+5
// the millivolt value of the solution, the sensor's millivolt response and the solution's
// temperature; W+7 slope (mV per mV), W+9 offset (mV).
//
// Each register is its own transaction: a point stops at its first failure, and what was read or
// written before stays. None of these adapters writes a user note.
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

struct sPhOrpLayout
{
    USHORT temperature = 0; // sensor parameters; temperature 0: the companion's
    USHORT pH = 0;          // 0: the sensor has no such quantity
    USHORT pHMillivolts = 0;
    USHORT orp = 0;
    bool pHCalibration = false;
    USHORT orpCalibrationWord = 0; // 0: no ORP calibration
};

inline constexpr USHORT PH_CAL_POINT_COUNT = 117;
inline constexpr USHORT PH_CAL_POINTS = 3;
inline constexpr USHORT PH_CAL_SEGMENTS = 2;
// By value (pH, millivolts, temperature), then by point.
inline constexpr USHORT PH_CAL_POINT_OFFSETS[3][PH_CAL_POINTS] = {
    {118, 124, 130}, {120, 126, 132}, {122, 128, 134}};
inline constexpr USHORT PH_SEGMENT_SLOPE_OFFSETS[PH_CAL_SEGMENTS] = {136, 140};
inline constexpr USHORT PH_SEGMENT_OFFSET_OFFSETS[PH_CAL_SEGMENTS] = {138, 142};

template <typename Interface, uint32_t Signature>
class CPhOrpAdapter : public CSensorAdapter<Interface>
{
public:
    static constexpr uint32_t kSignature = Signature;

    // The temperature level's own pair is not provided: serial number 0 and connection 0.
    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return S_OK;
    }
    USHORT GetConnection() override { return 0; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;
    HRESULT GetTemperatureSentinel(float& sentinel) override;

    HRESULT ReadpH(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadpHmV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadORP(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetpHmVSentinel(float& sentinel) override;
    HRESULT GetORPSentinel(float& sentinel) override;
    HRESULT GetpHUnit(USHORT& unitId) override;
    HRESULT SetpHUnit(USHORT unitId) override;
    HRESULT GetpHmVUnit(USHORT& unitId) override;
    HRESULT SetpHmVUnit(USHORT unitId) override;
    HRESULT GetORPUnit(USHORT& unitId) override;
    HRESULT SetORPUnit(USHORT unitId) override;
    HRESULT ReadpHCalSegmentCount(USHORT& count) override;
    HRESULT WritepHCalSegmentCount(USHORT count) override;
    HRESULT ReadpHCalPoint(USHORT point, float& pH, float& millivolts, float& temperature) override;
    HRESULT WritepHCalPoint(USHORT point, float pH, float millivolts, float temperature) override;
    HRESULT ReadpHSegmentSlope(USHORT segment, float& slope) override;
    HRESULT WritepHSegmentSlope(USHORT segment, float slope) override;
    HRESULT ReadpHSegmentOffset(USHORT segment, float& offset) override;
    HRESULT WritepHSegmentOffset(USHORT segment, float offset) override;
    HRESULT ReadORPCalWord(USHORT& word) override;
    HRESULT WriteORPCalWord(USHORT word) override;
    HRESULT ReadORPCalPoint(float& solutionMillivolts, float& responseMillivolts,
                            float& temperature) override;
    HRESULT WriteORPCalPoint(float solutionMillivolts, float responseMillivolts, float temperature) override;
    HRESULT ReadORPCalValueA(float& value) override;
    HRESULT WriteORPCalValueA(float value) override;
    HRESULT ReadORPCalValueB(float& value) override;
    HRESULT WriteORPCalValueB(float value) override;
    // The sensor's serial number; 0 and the failure when the device cannot give it.
    HRESULT GetpHORPSerialNumber(ULONG& serialNumber) override;
    USHORT GetpHORPConnection() override { return this->m_nConnection; }
    HRESULT Reserved53() override { return S_OK; }
    HRESULT WritepHCalNote() override { return E_FAIL; }
    HRESULT WriteORPCalNote() override { return E_FAIL; }

protected:
    // The companion gives the temperature where the layout has none of its own; it must outlive the
    // adapter.
    CPhOrpAdapter(CDeviceComm* device, USHORT connection, const sPhOrpLayout& layout,
                  ISensor_PressureTempLevel* companion = nullptr)
        : CSensorAdapter<Interface>(device, connection, Signature), m_Layout(layout), m_pCompanion(companion)
    {
    }
    ~CPhOrpAdapter() override { m_pCompanion = nullptr; }

    // The signature, a device, and a companion other than the object itself where the temperature
    // comes from one.
    bool IsUsable() const;
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsUsable() ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
    HRESULT SensorSerialNumber(ULONG& serialNumber);

private:
    // The calibration registers the class has, or E_FAIL without device access.
    template <typename Operation>
    HRESULT PhCalibration(Operation&& operation)
    {
        return m_Layout.pHCalibration ? Checked(operation) : E_FAIL;
    }
    template <typename Operation>
    HRESULT OrpCalibration(Operation&& operation)
    {
        return m_Layout.orpCalibrationWord != 0 ? Checked(operation) : E_FAIL;
    }
    // The float of a segment in one of the segment register tables.
    HRESULT ReadSegmentFloat(const USHORT (&offsets)[PH_CAL_SEGMENTS], USHORT segment, float& value);
    HRESULT WriteSegmentFloat(const USHORT (&offsets)[PH_CAL_SEGMENTS], USHORT segment, float value);
    // The parameter of a quantity the sensor has, or E_FAIL without device access.
    HRESULT ReadQuantity(USHORT parameter, float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly);
    HRESULT GetQuantityUnit(USHORT parameter, USHORT& unitId);
    HRESULT GetQuantitySentinel(USHORT parameter, float& sentinel);
    HRESULT SetQuantityUnit(USHORT parameter, USHORT unitId);
    USHORT OrpRegister(USHORT offset) const
    {
        return static_cast<USHORT>(m_Layout.orpCalibrationWord + offset);
    }

    const sPhOrpLayout& m_Layout;
    ISensor_PressureTempLevel* m_pCompanion = nullptr;
};

} // namespace NVSystem
