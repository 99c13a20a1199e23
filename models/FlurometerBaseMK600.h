// The fluorometers of the multi-parameter sonde: rhodamine WT (sonde sensor id 60), chlorophyll a
// (62), and the blue-green algae phycocyanin (64) and phycoerythrin (65). One class with the
// parameters and registers of all four; each kind differs only in the note its calibration writes.
//
// Sensor parameters: the first quantity is parameter 3, the second parameter 2. Float registers
// (offsets): 117 calibration value A, 119 the number of calibration segments, 121/123 and 125/127 the
// pairs A with index 1 and 2, 129 and 131 slope and offset of segment 1, 133 value C, 135 value B,
// 139/141 and 143/145 the pairs B, 147 and 149 slope and offset of segment 2. A pair is written first
// value first; a second value that fails leaves the first written.
//
// The temperature is the sonde's temperature sensor's; without one 25.0 degrees Celsius, and the
// temperature unit cannot be had or set (E_FAIL, the unit reads as degrees Celsius).
//
// The value operations fail with codes of their own kind: FLUOR_E_WRITE for a register that was not
// written, FLUOR_E_PAIR_INDEX for a pair index other than 1 or 2 (nothing written), FLUOR_E_READ for
// a segment value that could not be read; the serial number with the device's code. Parameter and
// unit operations return the device's codes.
#pragma once

#include "models/SensorAdapterBase.h"

namespace NVSystem
{

inline constexpr HRESULT FLUOR_E_WRITE = ResultCode(0x8007001Du);      // write fault
inline constexpr HRESULT FLUOR_E_PAIR_INDEX = ResultCode(0x800700A0u); // bad arguments
inline constexpr HRESULT FLUOR_E_READ = ResultCode(0x800703F4u);       // cannot read

class FlurometerBaseMK600 : public CSensorAdapter<ISensor_Fluorometer>
{
public:
    static constexpr uint32_t kSignature = SensorSignature("FLU6");
    static constexpr USHORT kFirstParameter = 3;
    static constexpr USHORT kSecondParameter = 2;
    static constexpr USHORT kCalA = 117; // register offsets
    static constexpr USHORT kSegmentCount = 119;
    static constexpr USHORT kPairA[2][2] = {{121, 123}, {125, 127}};
    static constexpr USHORT kSegment1Slope = 129;
    static constexpr USHORT kSegment1Offset = 131;
    static constexpr USHORT kCalC = 133;
    static constexpr USHORT kCalB = 135;
    static constexpr USHORT kPairB[2][2] = {{139, 141}, {143, 145}};
    static constexpr USHORT kSegment2Slope = 147;
    static constexpr USHORT kSegment2Offset = 149;

    FlurometerBaseMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
        : CSensorAdapter(device, connection, kSignature), m_pTemperature(temperature)
    {
    }
    ~FlurometerBaseMK600() override { m_pTemperature = nullptr; }

    ULONG GetSensorType() override { return SENSOR_TYPE_NONE; }

    // --- ISensor_Temperature ---

    // The pair of the temperature level is not provided: serial number 0 and connection 0.
    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return S_OK;
    }
    USHORT GetConnection() override { return 0; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetTemperatureUnit(USHORT& unitId) override;
    HRESULT SetTemperatureUnit(USHORT unitId) override;

    // --- ISensor_Fluorometer ---

    HRESULT ReadFluorescence(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT ReadFluorescenceParam2(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override;
    HRESULT GetFluorescenceUnit(USHORT& unitId) override;
    HRESULT SetFluorescenceUnit(USHORT unitId) override;
    HRESULT GetFluorescenceParam2Unit(USHORT& unitId) override;
    HRESULT SetFluorescenceParam2Unit(USHORT unitId) override;
    HRESULT WriteFluorCalA(float value) override { return WriteValue(kCalA, value); }
    HRESULT WriteFluorCalB(float value) override { return WriteValue(kCalB, value); }
    HRESULT WriteFluorCalC(float value) override { return WriteValue(kCalC, value); }
    HRESULT WriteFluorCalPairA(ULONG index, float first, float second) override
    {
        return WritePair(kPairA, index, first, second);
    }
    HRESULT WriteFluorCalPairB(ULONG index, float first, float second) override
    {
        return WritePair(kPairB, index, first, second);
    }
    HRESULT ReadSegment1Slope(float& value) override { return ReadSegmentValue(kSegment1Slope, value); }
    HRESULT WriteSegment1Slope(float value) override { return WriteValue(kSegment1Slope, value); }
    HRESULT ReadSegment2Slope(float& value) override { return ReadSegmentValue(kSegment2Slope, value); }
    HRESULT WriteSegment2Slope(float value) override { return WriteValue(kSegment2Slope, value); }
    HRESULT ReadSegment1Offset(float& value) override { return ReadSegmentValue(kSegment1Offset, value); }
    HRESULT WriteSegment1Offset(float value) override { return WriteValue(kSegment1Offset, value); }
    HRESULT ReadSegment2Offset(float& value) override { return ReadSegmentValue(kSegment2Offset, value); }
    HRESULT WriteSegment2Offset(float value) override { return WriteValue(kSegment2Offset, value); }
    // 0 with the device's code when it cannot be had.
    HRESULT GetFluorSerialNumber(ULONG& serialNumber) override;
    USHORT GetFluorConnection() override { return m_nConnection; }

protected:
    // The kind's note of the segments as the sensor keeps them; E_FAIL without an active log, and no
    // note when a segment value or the serial number cannot be read.
    template <typename Note>
    HRESULT WriteSegmentNote();

private:
    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return IsBound(kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
    HRESULT WriteValue(USHORT offset, float value);
    HRESULT WritePair(const USHORT (&pairs)[2][2], ULONG index, float first, float second);
    HRESULT ReadSegmentValue(USHORT offset, float& value);

    ISensor_Temperature* m_pTemperature = nullptr;
};

class CRhodamineWaterTraceSensorMk600 : public FlurometerBaseMK600
{
public:
    using FlurometerBaseMK600::FlurometerBaseMK600;
    HRESULT WriteCalibrationNote() override;
};

class CChlorophyllASensorMk600 : public FlurometerBaseMK600
{
public:
    using FlurometerBaseMK600::FlurometerBaseMK600;
    HRESULT WriteCalibrationNote() override;
};

class CBGAPCSensorMK600 : public FlurometerBaseMK600
{
public:
    using FlurometerBaseMK600::FlurometerBaseMK600;
    HRESULT WriteCalibrationNote() override;
};

class CBGAPESensorMK600 : public FlurometerBaseMK600
{
public:
    using FlurometerBaseMK600::FlurometerBaseMK600;
    HRESULT WriteCalibrationNote() override;
};

} // namespace NVSystem
