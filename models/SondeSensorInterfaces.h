// The interfaces of the multi-parameter sonde's further sensors: turbidity, the ion-selective
// sensors, the fluorometers and the barometer. Calibration point 1..3, line segment 1..2.
#pragma once

#include "models/PressureSensorInterfaces.h"

namespace NVSystem
{

class ISensor_Turbidity : public ISensor_Temperature
{
public:
    ISensor_Turbidity* AsTurbidity() override { return this; }

    virtual HRESULT ReadTurbidity(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadTurbidityParam2(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetTurbidityUnit(USHORT& unitId) = 0;
    virtual HRESULT SetTurbidityUnit(USHORT unitId) = 0;
    virtual HRESULT GetTurbidityParam2Unit(USHORT& unitId) = 0;
    virtual HRESULT SetTurbidityParam2Unit(USHORT unitId) = 0;
    virtual HRESULT WriteTurbidityCal1(float value) = 0;
    virtual HRESULT ReadTurbidityCal1(float& value) = 0;
    virtual HRESULT ReadTurbidityCal2(float& value) = 0;
    virtual HRESULT WriteTurbidityCal2(float value) = 0;
    virtual HRESULT ReadTurbidityCal3(float& value) = 0;
    virtual HRESULT WriteTurbidityCal3(float value) = 0;
    virtual HRESULT GetTurbiditySerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetTurbidityConnection() = 0;
    virtual HRESULT WriteTurbidityCalNote() = 0;
};

class ISensor_Nitrate : public ISensor_Temperature
{
public:
    ISensor_Nitrate* AsNitrate() override { return this; }

    virtual HRESULT ReadNitrate(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadNitratemV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetNitrateUnit(USHORT& unitId) = 0;
    virtual HRESULT SetNitrateUnit(USHORT unitId) = 0;
    virtual HRESULT GetNitratemVUnit(USHORT& unitId) = 0;
    virtual HRESULT SetNitratemVUnit(USHORT unitId) = 0;
    virtual HRESULT ReadNitrateCalSegmentCount(USHORT& count) = 0;
    virtual HRESULT WriteNitrateCalSegmentCount(USHORT count) = 0;
    virtual HRESULT ReadNitrateCalPoint(USHORT point, float& value, float& millivolts,
                                        float& temperature) = 0;
    virtual HRESULT WriteNitrateCalPoint(USHORT point, float value, float millivolts, float temperature) = 0;
    virtual HRESULT ReadNitrateSegmentSlope(USHORT segment, float& slope) = 0;
    virtual HRESULT WriteNitrateSegmentSlope(USHORT segment, float slope) = 0;
    virtual HRESULT ReadNitrateSegmentOffset(USHORT segment, float& offset) = 0;
    virtual HRESULT WriteNitrateSegmentOffset(USHORT segment, float offset) = 0;
    virtual HRESULT GetNitrateSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetNitrateConnection() = 0;
    virtual HRESULT WriteNitrateCalNote() = 0;
};

class ISensor_Chloride : public ISensor_Temperature
{
public:
    ISensor_Chloride* AsChloride() override { return this; }

    virtual HRESULT ReadChloride(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadChloridemV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetChlorideUnit(USHORT& unitId) = 0;
    virtual HRESULT SetChlorideUnit(USHORT unitId) = 0;
    virtual HRESULT GetChloridemVUnit(USHORT& unitId) = 0;
    virtual HRESULT SetChloridemVUnit(USHORT unitId) = 0;
    virtual HRESULT ReadChlorideCalSegmentCount(USHORT& count) = 0;
    virtual HRESULT WriteChlorideCalSegmentCount(USHORT count) = 0;
    virtual HRESULT ReadChlorideCalPoint(USHORT point, float& value, float& millivolts,
                                         float& temperature) = 0;
    virtual HRESULT WriteChlorideCalPoint(USHORT point, float value, float millivolts, float temperature) = 0;
    virtual HRESULT ReadChlorideSegmentSlope(USHORT segment, float& slope) = 0;
    virtual HRESULT WriteChlorideSegmentSlope(USHORT segment, float slope) = 0;
    virtual HRESULT ReadChlorideSegmentOffset(USHORT segment, float& offset) = 0;
    virtual HRESULT WriteChlorideSegmentOffset(USHORT segment, float offset) = 0;
    virtual HRESULT GetChlorideSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetChlorideConnection() = 0;
    virtual HRESULT WriteChlorideCalNote() = 0;
};

class ISensor_Ammonium : public ISensor_Temperature
{
public:
    ISensor_Ammonium* AsAmmonium() override { return this; }

    virtual HRESULT ReadAmmonium(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadAmmoniummV(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadAmmoniumParam3(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadAmmoniumParam4(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT GetAmmoniumUnit(USHORT& unitId) = 0;
    virtual HRESULT SetAmmoniumUnit(USHORT unitId) = 0;
    virtual HRESULT GetAmmoniummVUnit(USHORT& unitId) = 0;
    virtual HRESULT SetAmmoniummVUnit(USHORT unitId) = 0;
    virtual HRESULT GetAmmoniumParam3Unit(USHORT& unitId) = 0;
    virtual HRESULT SetAmmoniumParam3Unit(USHORT unitId) = 0;
    virtual HRESULT GetAmmoniumParam4Unit(USHORT& unitId) = 0;
    virtual HRESULT SetAmmoniumParam4Unit(USHORT unitId) = 0;
    virtual HRESULT ReadAmmoniumCalSegmentCount(USHORT& count) = 0;
    virtual HRESULT WriteAmmoniumCalSegmentCount(USHORT count) = 0;
    virtual HRESULT ReadAmmoniumCalPoint(USHORT point, float& value, float& millivolts,
                                         float& temperature) = 0;
    virtual HRESULT WriteAmmoniumCalPoint(USHORT point, float value, float millivolts, float temperature) = 0;
    virtual HRESULT ReadAmmoniumSegmentSlope(USHORT segment, float& slope) = 0;
    virtual HRESULT WriteAmmoniumSegmentSlope(USHORT segment, float slope) = 0;
    virtual HRESULT ReadAmmoniumSegmentOffset(USHORT segment, float& offset) = 0;
    virtual HRESULT WriteAmmoniumSegmentOffset(USHORT segment, float offset) = 0;
    virtual HRESULT GetAmmoniumSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetAmmoniumConnection() = 0;
    virtual HRESULT WriteAmmoniumCalNote() = 0;
};

// No cast of its own: fluorometers answer AsTemperature only.
class ISensor_Fluorometer : public ISensor_Temperature
{
public:
    virtual HRESULT ReadFluorescence(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) = 0;
    virtual HRESULT ReadFluorescenceParam2(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT GetFluorescenceUnit(USHORT& unitId) = 0;
    virtual HRESULT SetFluorescenceUnit(USHORT unitId) = 0;
    virtual HRESULT GetFluorescenceParam2Unit(USHORT& unitId) = 0;
    virtual HRESULT SetFluorescenceParam2Unit(USHORT unitId) = 0;
    virtual HRESULT WriteFluorCalA(float value) = 0;
    virtual HRESULT WriteFluorCalB(float value) = 0;
    virtual HRESULT WriteFluorCalC(float value) = 0;
    // index 1 or 2 selects the register pair.
    virtual HRESULT WriteFluorCalPairA(ULONG index, float first, float second) = 0;
    virtual HRESULT WriteFluorCalPairB(ULONG index, float first, float second) = 0;
    virtual HRESULT ReadSegment1Slope(float& value) = 0;
    virtual HRESULT WriteSegment1Slope(float value) = 0;
    virtual HRESULT ReadSegment2Slope(float& value) = 0;
    virtual HRESULT WriteSegment2Slope(float value) = 0;
    virtual HRESULT ReadSegment1Offset(float& value) = 0;
    virtual HRESULT WriteSegment1Offset(float value) = 0;
    virtual HRESULT ReadSegment2Offset(float& value) = 0;
    virtual HRESULT WriteSegment2Offset(float value) = 0;
    virtual HRESULT GetFluorSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetFluorConnection() = 0;
    // The note of the concrete fluorometer.
    virtual HRESULT WriteCalibrationNote() = 0;
};

// Directly on the root: no temperature.
class ISensor_Barometric : public ISensor_Interface
{
public:
    ISensor_Barometric* AsBarometric() override { return this; }

    virtual HRESULT GetBaroSerialNumber(ULONG& serialNumber) = 0;
    virtual USHORT GetBaroConnection() = 0;
    virtual HRESULT ReadBarometricPressure(float& value, USHORT& quality, USHORT& unitId,
                                           BOOL cachedOnly) = 0;
    virtual HRESULT GetBaroUnit(USHORT& unitId) = 0;
    virtual HRESULT SetBaroUnit(USHORT unitId) = 0;
    // In the parameter's unit of the moment, which unitId tells.
    virtual HRESULT GetBaroSentinel(float& sentinel, USHORT& unitId) = 0;
    // Converted from unitId into the parameter's unit first.
    virtual HRESULT SetBaroSentinel(float sentinel, USHORT unitId) = 0;
    virtual HRESULT WriteBaroCal(float value) = 0;
};

} // namespace NVSystem
