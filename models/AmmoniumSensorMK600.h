// The ammonium sensor of the multi-parameter sonde (sonde sensor id 71): parameters 1 ammonium, 2 the
// electrode's millivolts, 3 and 4 two further quantities of its firmware; the calibration of the sonde's
// electrochemical sensors (SegmentCalSensorMK600.h).
#pragma once

#include "models/SegmentCalSensorMK600.h"
#include "models/TwoSegmentCalNotes.h"

namespace NVSystem
{

class CAmmoniumSensorMK600 : public CSegmentCalSensorMK600<ISensor_Ammonium, SensorSignature("NH4+")>
{
public:
    static constexpr USHORT kAmmonium = 1; // sensor parameters
    static constexpr USHORT kMillivolts = 2;
    static constexpr USHORT kParam3 = 3;
    static constexpr USHORT kParam4 = 4;

    CAmmoniumSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
        : CSegmentCalSensorMK600(device, connection, temperature)
    {
    }

    ULONG GetSensorType() override { return SENSOR_TYPE_AMMONIUM; }

    HRESULT ReadAmmonium(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kAmmonium, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadAmmoniummV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kMillivolts, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadAmmoniumParam3(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kParam3, value, quality, unitId, cachedOnly);
    }
    HRESULT ReadAmmoniumParam4(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Read(kParam4, value, quality, unitId, cachedOnly);
    }
    HRESULT GetAmmoniumUnit(USHORT& unitId) override { return Unit(kAmmonium, unitId); }
    HRESULT SetAmmoniumUnit(USHORT unitId) override { return SetUnitOf(kAmmonium, unitId); }
    HRESULT GetAmmoniummVUnit(USHORT& unitId) override { return Unit(kMillivolts, unitId); }
    HRESULT SetAmmoniummVUnit(USHORT unitId) override { return SetUnitOf(kMillivolts, unitId); }
    HRESULT GetAmmoniumParam3Unit(USHORT& unitId) override { return Unit(kParam3, unitId); }
    HRESULT SetAmmoniumParam3Unit(USHORT unitId) override { return SetUnitOf(kParam3, unitId); }
    HRESULT GetAmmoniumParam4Unit(USHORT& unitId) override { return Unit(kParam4, unitId); }
    HRESULT SetAmmoniumParam4Unit(USHORT unitId) override { return SetUnitOf(kParam4, unitId); }
    HRESULT ReadAmmoniumCalSegmentCount(USHORT& count) override
    {
        return ReadFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT WriteAmmoniumCalSegmentCount(USHORT count) override
    {
        return WriteFloatWord(SONDE_CAL_POINT_COUNT, count);
    }
    HRESULT ReadAmmoniumCalPoint(USHORT point, float& value, float& millivolts, float& temperature) override
    {
        return ReadPoint(point, value, millivolts, temperature);
    }
    HRESULT WriteAmmoniumCalPoint(USHORT point, float value, float millivolts, float temperature) override
    {
        return WritePoint(point, value, millivolts, temperature);
    }
    HRESULT ReadAmmoniumSegmentSlope(USHORT segment, float& slope) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT WriteAmmoniumSegmentSlope(USHORT segment, float slope) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, segment, slope);
    }
    HRESULT ReadAmmoniumSegmentOffset(USHORT segment, float& offset) override
    {
        return ReadSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT WriteAmmoniumSegmentOffset(USHORT segment, float offset) override
    {
        return WriteSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, segment, offset);
    }
    HRESULT GetAmmoniumSerialNumber(ULONG& serialNumber) override { return SensorSerialNumber(serialNumber); }
    USHORT GetAmmoniumConnection() override { return m_nConnection; }
    // E_FAIL without an active log.
    HRESULT WriteAmmoniumCalNote() override { return WriteSegmentNote<CNVUserNote_Calibrate_Ammonium>(); }
};

} // namespace NVSystem
