// The pH/ORP sensor of the multi-parameter sonde (sonde sensor id 58): parameters 1 pH, 2 the pH
// electrode's millivolts, 3 ORP; the pH calibration of the sonde's electrochemical sensors
// (SegmentCalSensorMK600.h) and the ORP calibration: 145 its word (as a float), 147, 149, 151 its
// point, 153 value A (slope) and 155 value B (offset, the value its note carries).
#pragma once

#include "models/SegmentCalSensorMK600.h"

namespace NVSystem
{

class CPHORPSensorMK600 : public CSegmentCalSensorMK600<ISensor_pHORP, SensorSignature("PHO6")>
{
public:
    static constexpr USHORT kPh = 1; // sensor parameters
    static constexpr USHORT kPhMillivolts = 2;
    static constexpr USHORT kOrp = 3;
    static constexpr USHORT kOrpCalibrationWord = 145; // register offsets
    static constexpr USHORT kOrpPoint = 147;           // three floats
    static constexpr USHORT kOrpValueA = 153;
    static constexpr USHORT kOrpValueB = 155;

    CPHORPSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
        : CSegmentCalSensorMK600(device, connection, temperature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_PH_ORP; }

    HRESULT ReadpH(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kPh, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadpHmV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kPhMillivolts, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadORP(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kOrp, value, quality, unitId, cachedOnly);
    }
    HRESULT GetpHUnit(USHORT& unitId) override { return Unit(kPh, unitId); }
    HRESULT SetpHUnit(USHORT unitId) override { return SetUnitOf(kPh, unitId); }
    HRESULT GetpHmVUnit(USHORT& unitId) override { return Unit(kPhMillivolts, unitId); }
    HRESULT SetpHmVUnit(USHORT unitId) override { return SetUnitOf(kPhMillivolts, unitId); }
    HRESULT GetORPUnit(USHORT& unitId) override { return Unit(kOrp, unitId); }
    HRESULT SetORPUnit(USHORT unitId) override { return SetUnitOf(kOrp, unitId); }
    HRESULT ReadpHCalSegmentCount(USHORT& count) override
    {
        return ReadFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT WritepHCalSegmentCount(USHORT count) override
    {
        return WriteFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT ReadpHCalPoint(USHORT point, float& pH, float& millivolts, float& temperature) override
    {
        return ReadPoint(point, pH, millivolts, temperature);
    }
    HRESULT WritepHCalPoint(USHORT point, float pH, float millivolts, float temperature) override
    {
        return WritePoint(point, pH, millivolts, temperature);
    }
    HRESULT ReadpHSegmentSlope(USHORT segment, float& slope) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT WritepHSegmentSlope(USHORT segment, float slope) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT ReadpHSegmentOffset(USHORT segment, float& offset) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT WritepHSegmentOffset(USHORT segment, float offset) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT ReadORPCalWord(USHORT& word) override { return ReadFloatWord(kOrpCalibrationWord, word); }
    HRESULT WriteORPCalWord(USHORT word) override { return WriteFloatWord(kOrpCalibrationWord, word); }
    HRESULT ReadORPCalPoint(float& solutionMillivolts, float& responseMillivolts,
                            float& temperature) override;
    HRESULT WriteORPCalPoint(float solutionMillivolts, float responseMillivolts, float temperature) override;
    HRESULT ReadORPCalValueA(float& value) override;
    HRESULT WriteORPCalValueA(float value) override;
    HRESULT ReadORPCalValueB(float& value) override;
    HRESULT WriteORPCalValueB(float value) override;
    HRESULT GetpHORPSerialNumber(ULONG& serialNumber) override { return SensorSerialNumber(serialNumber); }
    USHORT GetpHORPConnection() override { return m_nConnection; }
    HRESULT Reserved53() override { return S_OK; }
    // E_FAIL without an active log.
    HRESULT WritepHCalNote() override;
    HRESULT WriteORPCalNote() override;
};

} // namespace NVSystem
