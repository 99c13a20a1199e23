// What the electrochemical sensors of the multi-parameter sonde share (pH/ORP, nitrate, ammonium,
// chloride): their temperature from the sonde's temperature sensor, their measured parameters, and
// one calibration layout of up to three points and two line segments, all floats at register
// offsets from the sensor's base:
//
//     117        the number of calibration points (1 to 3; with 3 a second segment), as a float
//     119 + 6(i-1), 121 + 6(i-1), 123 + 6(i-1)   point i (1..3): its three values
//     137 + 4(s-1), 139 + 4(s-1)                 segment s (1..2): slope, offset
//
// A point or segment number outside those ranges is refused (MODBUSCOMM_E_INVALID_INDEX) before any
// traffic. Each register is its own transaction: a point stops at its first failure, and what was
// read or written before it stays.
//
// Every operation that reaches the device first checks the signature and that the sensor has a
// temperature source other than itself; a sensor on a sonde without a temperature sensor therefore
// refuses them all with MODBUSCOMM_E_INVALID_DEVICE_THIS and sends nothing.
#pragma once

#include <array>

#include "models/SensorAdapterBase.h"
#include "models/SensorNoteWriter.h"
#include "models/SondeSensorSupport.h"

namespace NVSystem
{

inline constexpr USHORT SONDE_CAL_POINT_COUNT = 117;
inline constexpr USHORT SONDE_CAL_POINTS = 3;
inline constexpr USHORT SONDE_CAL_SEGMENTS = 2;
// By value (first, second, third), then by point.
inline constexpr USHORT SONDE_CAL_POINT_OFFSETS[3][SONDE_CAL_POINTS] = {
    {119, 125, 131}, {121, 127, 133}, {123, 129, 135}};
inline constexpr USHORT SONDE_SEGMENT_SLOPE_OFFSETS[SONDE_CAL_SEGMENTS] = {137, 141};
inline constexpr USHORT SONDE_SEGMENT_OFFSET_OFFSETS[SONDE_CAL_SEGMENTS] = {139, 143};

template <typename Interface, uint32_t Signature>
class CSegmentCalSensorMK600 : public CSensorAdapter<Interface>
{
public:
    static constexpr uint32_t kSignature = Signature;

    ~CSegmentCalSensorMK600() override { m_pTemperature = nullptr; }

    // --- ISensor_Temperature: the pair of the temperature level is not provided ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return S_OK;
    }
    USHORT GetConnection() override { return 0; }
    HRESULT ReadTemperature(float& value, USHORT& quality, USHORT& unitId, BOOL /*cachedOnly*/) override
    {
        return Checked([&] { return ReadSourceTemperature(m_pTemperature, value, quality, unitId); });
    }
    HRESULT GetTemperatureUnit(USHORT& unitId) override
    {
        return Checked([&] { return m_pTemperature->GetTemperatureUnit(unitId); });
    }
    HRESULT SetTemperatureUnit(USHORT unitId) override
    {
        return Checked([&] { return m_pTemperature->SetTemperatureUnit(unitId); });
    }
    HRESULT GetTemperatureSentinel(float& sentinel) override
    {
        return Checked([&] { return GetSourceTemperatureSentinel(m_pTemperature, sentinel); });
    }

protected:
    CSegmentCalSensorMK600(CDeviceComm* device, USHORT connection, ISensor_Temperature* temperature)
        : CSensorAdapter<Interface>(device, connection, Signature), m_pTemperature(temperature)
    {
    }

    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        const bool usable =
            this->IsBound(Signature) && m_pTemperature != nullptr &&
            static_cast<ISensor_Interface*>(m_pTemperature) != static_cast<ISensor_Interface*>(this);
        return usable ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }

    // The measured parameters.
    HRESULT Read(USHORT parameter, float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
    {
        return Checked([&] { return this->ReadParameter(parameter, value, quality, unitId, cachedOnly); });
    }
    HRESULT Unit(USHORT parameter, USHORT& unitId)
    {
        return Checked([&] { return this->GetUnit(parameter, unitId); });
    }
    HRESULT SetUnitOf(USHORT parameter, USHORT unitId)
    {
        return Checked([&] { return this->SetUnit(parameter, unitId); });
    }

    // A word the sensor keeps as a float (the point count, the ORP calibration word). The word is
    // set whether or not the read succeeded: 0 when it did not.
    HRESULT ReadFloatWord(USHORT offset, USHORT& word)
    {
        return Checked(
            [&]
            {
                float value = 0.0f;
                const HRESULT hr = this->ReadFloat(offset, value);
                word = CountFromDeviceFloat<USHORT>(Succeeded(hr) ? value : 0.0f);
                return hr;
            });
    }
    HRESULT WriteFloatWord(USHORT offset, USHORT word)
    {
        return Checked([&] { return this->WriteFloat(offset, static_cast<float>(word)); });
    }

    HRESULT ReadPoint(USHORT point, float& first, float& second, float& third)
    {
        return Checked(
            [&]
            {
                if (point < 1 || point > SONDE_CAL_POINTS)
                    return MODBUSCOMM_E_INVALID_INDEX;
                const size_t i = point - 1u;
                return this->ReadFloats({{SONDE_CAL_POINT_OFFSETS[0][i], &first},
                                         {SONDE_CAL_POINT_OFFSETS[1][i], &second},
                                         {SONDE_CAL_POINT_OFFSETS[2][i], &third}});
            });
    }
    HRESULT WritePoint(USHORT point, float first, float second, float third)
    {
        return Checked(
            [&]
            {
                if (point < 1 || point > SONDE_CAL_POINTS)
                    return MODBUSCOMM_E_INVALID_INDEX;
                const size_t i = point - 1u;
                return this->WriteFloats({{SONDE_CAL_POINT_OFFSETS[0][i], first},
                                          {SONDE_CAL_POINT_OFFSETS[1][i], second},
                                          {SONDE_CAL_POINT_OFFSETS[2][i], third}});
            });
    }
    // Of segment 1..2, from the table of slopes or offsets.
    HRESULT ReadSegmentValue(const USHORT (&offsets)[SONDE_CAL_SEGMENTS], USHORT segment, float& value)
    {
        return Checked(
            [&]
            {
                if (segment < 1 || segment > SONDE_CAL_SEGMENTS)
                    return MODBUSCOMM_E_INVALID_INDEX;
                return this->ReadFloat(offsets[segment - 1], value);
            });
    }
    HRESULT WriteSegmentValue(const USHORT (&offsets)[SONDE_CAL_SEGMENTS], USHORT segment, float value)
    {
        return Checked(
            [&]
            {
                if (segment < 1 || segment > SONDE_CAL_SEGMENTS)
                    return MODBUSCOMM_E_INVALID_INDEX;
                return this->WriteFloat(offsets[segment - 1], value);
            });
    }

    // 0 with the failure when the device cannot give it.
    HRESULT SensorSerialNumber(ULONG& serialNumber)
    {
        serialNumber = 0;
        return Checked([&] { return this->ReadSerialNumber(serialNumber); });
    }

    // The calibration note of the sensor's segments: the number of points and each segment as the
    // inverse of the line the sensor keeps (pH per mV becomes mV per pH; a segment with slope 0
    // stays as it is). E_FAIL without an active log, before anything is read; a value that cannot
    // be read is the result, and no note is written.
    template <typename Note>
    HRESULT WriteSegmentNote()
    {
        if (this->m_pDevice == nullptr)
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        return WriteNoteToActiveLog<Note>(
            *this->m_pDevice,
            [&](Note& note)
            {
                USHORT count = 0;
                std::array<float, SONDE_CAL_SEGMENTS> slopes{};
                std::array<float, SONDE_CAL_SEGMENTS> offsets{};
                HRESULT hr = ReadFloatWord(SONDE_CAL_POINT_COUNT, count);
                for (USHORT s = 1; Succeeded(hr) && s <= SONDE_CAL_SEGMENTS; ++s)
                {
                    if (Succeeded(hr = ReadSegmentValue(SONDE_SEGMENT_SLOPE_OFFSETS, s, slopes[s - 1u])))
                        hr = ReadSegmentValue(SONDE_SEGMENT_OFFSET_OFFSETS, s, offsets[s - 1u]);
                }
                if (Failed(hr))
                    return hr;
                for (size_t s = 0; s < SONDE_CAL_SEGMENTS; ++s)
                {
                    if (slopes[s] == 0.0f)
                        continue;
                    const float inverse = 1.0f / slopes[s];
                    slopes[s] = inverse;
                    offsets[s] = -(inverse * offsets[s]);
                }
                ULONG serial = 0;
                SensorSerialNumber(serial);
                return note.Build(serial, count, slopes[0], offsets[0], slopes[1], offsets[1]);
            });
    }

    ISensor_Temperature* m_pTemperature = nullptr;
};

} // namespace NVSystem
