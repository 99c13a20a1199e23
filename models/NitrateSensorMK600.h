// The nitrate sensor of the multi-parameter sonde (sonde sensor id 70): parameters 1 nitrate, 2 the
// electrode's millivolts; the calibration of the sonde's electrochemical sensors
// (SegmentCalSensorMK600.h).
#pragma once

#include "models/SegmentCalSensorMK600.h"
#include "models/TwoSegmentCalNotes.h"

namespace NVSystem
{

class CNitrateSensorMK600 : public CSegmentCalSensorMK600<ISensor_Nitrate, SensorSignature("NIT-")>
{
public:
    static constexpr USHORT kNitrate = 1; // sensor parameters
    static constexpr USHORT kMillivolts = 2;

    CNitrateSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
        : CSegmentCalSensorMK600(device, connection, temperature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_NITRATE; }

    HRESULT ReadNitrate(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kNitrate, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadNitratemV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kMillivolts, value, quality, unitId, cachedOnly);
    }
    HRESULT GetNitrateUnit(USHORT& unitId) override { return Unit(kNitrate, unitId); }
    HRESULT SetNitrateUnit(USHORT unitId) override { return SetUnitOf(kNitrate, unitId); }
    HRESULT GetNitratemVUnit(USHORT& unitId) override { return Unit(kMillivolts, unitId); }
    HRESULT SetNitratemVUnit(USHORT unitId) override { return SetUnitOf(kMillivolts, unitId); }
    HRESULT ReadNitrateCalSegmentCount(USHORT& count) override
    {
        return ReadFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT WriteNitrateCalSegmentCount(USHORT count) override
    {
        return WriteFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT ReadNitrateCalPoint(USHORT point, float& value, float& millivolts, float& temperature) override
    {
        return ReadPoint(point, value, millivolts, temperature);
    }
    HRESULT WriteNitrateCalPoint(USHORT point, float value, float millivolts, float temperature) override
    {
        return WritePoint(point, value, millivolts, temperature);
    }
    HRESULT ReadNitrateSegmentSlope(USHORT segment, float& slope) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT WriteNitrateSegmentSlope(USHORT segment, float slope) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT ReadNitrateSegmentOffset(USHORT segment, float& offset) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT WriteNitrateSegmentOffset(USHORT segment, float offset) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT GetNitrateSerialNumber(ULONG& serialNumber) override { return SensorSerialNumber(serialNumber); }
    USHORT GetNitrateConnection() override { return m_nConnection; }
    // E_FAIL without an active log.
    HRESULT WriteNitrateCalNote() override { return WriteSegmentNote<CNVUserNote_Calibrate_Nitrate>(); }
};

} // namespace NVSystem
