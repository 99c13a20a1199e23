// The chloride sensor of the multi-parameter sonde (sonde sensor id 72): parameters 1 chloride, 2 the
// electrode's millivolts; the calibration of the sonde's electrochemical sensors
// (SegmentCalSensorMK600.h).
#pragma once

#include "models/SegmentCalSensorMK600.h"
#include "models/TwoSegmentCalNotes.h"

namespace NVSystem
{

class CChlorideSensorMK600 : public CSegmentCalSensorMK600<ISensor_Chloride, SensorSignature("Chl-")>
{
public:
    static constexpr USHORT kChloride = 1; // sensor parameters
    static constexpr USHORT kMillivolts = 2;

    CChlorideSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
        : CSegmentCalSensorMK600(device, connection, temperature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_CHLORIDE; }

    HRESULT ReadChloride(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kChloride, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadChloridemV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kMillivolts, value, quality, unitId, cachedOnly);
    }
    HRESULT GetChlorideUnit(USHORT& unitId) override { return Unit(kChloride, unitId); }
    HRESULT SetChlorideUnit(USHORT unitId) override { return SetUnitOf(kChloride, unitId); }
    HRESULT GetChloridemVUnit(USHORT& unitId) override { return Unit(kMillivolts, unitId); }
    HRESULT SetChloridemVUnit(USHORT unitId) override { return SetUnitOf(kMillivolts, unitId); }
    HRESULT ReadChlorideCalSegmentCount(USHORT& count) override
    {
        return ReadFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT WriteChlorideCalSegmentCount(USHORT count) override
    {
        return WriteFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT ReadChlorideCalPoint(USHORT point, float& value, float& millivolts, float& temperature) override
    {
        return ReadPoint(point, value, millivolts, temperature);
    }
    HRESULT WriteChlorideCalPoint(USHORT point, float value, float millivolts, float temperature) override
    {
        return WritePoint(point, value, millivolts, temperature);
    }
    HRESULT ReadChlorideSegmentSlope(USHORT segment, float& slope) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT WriteChlorideSegmentSlope(USHORT segment, float slope) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT ReadChlorideSegmentOffset(USHORT segment, float& offset) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT WriteChlorideSegmentOffset(USHORT segment, float offset) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT GetChlorideSerialNumber(ULONG& serialNumber) override { return SensorSerialNumber(serialNumber); }
    USHORT GetChlorideConnection() override { return m_nConnection; }
    // E_FAIL without an active log.
    HRESULT WriteChlorideCalNote() override { return WriteSegmentNote<CNVUserNote_Calibrate_Chloride>(); }
};

} // namespace NVSystem
