#include "models/FlurometerBaseMK600.h"

#include "models/SensorNoteWriter.h"
#include "models/SondeSensorSupport.h"
#include "models/TwoSegmentCalNotes.h"

namespace NVSystem
{

HRESULT FlurometerBaseMK600::ReadTemperature(float& value, USHORT& quality, USHORT& unitId,
                                             BOOL /*cachedOnly*/)
{
    return Checked([&] { return ReadSourceTemperature(m_pTemperature, value, quality, unitId); });
}

HRESULT FlurometerBaseMK600::GetTemperatureUnit(USHORT& unitId)
{
    return Checked([&] { return GetSourceTemperatureUnit(m_pTemperature, unitId, E_FAIL); });
}

HRESULT FlurometerBaseMK600::SetTemperatureUnit(USHORT unitId)
{
    return Checked([&] { return SetSourceTemperatureUnit(m_pTemperature, unitId, E_FAIL); });
}

HRESULT FlurometerBaseMK600::ReadFluorescence(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kFirstParameter, value, quality, unitId, cachedOnly); });
}

HRESULT FlurometerBaseMK600::ReadFluorescenceParam2(float& value, USHORT& quality, USHORT& unitId,
                                                    BOOL cachedOnly)
{
    return Checked([&] { return ReadParameter(kSecondParameter, value, quality, unitId, cachedOnly); });
}

HRESULT FlurometerBaseMK600::GetFluorescenceUnit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kFirstParameter, unitId); });
}

HRESULT FlurometerBaseMK600::SetFluorescenceUnit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kFirstParameter, unitId); });
}

HRESULT FlurometerBaseMK600::GetFluorescenceParam2Unit(USHORT& unitId)
{
    return Checked([&] { return GetUnit(kSecondParameter, unitId); });
}

HRESULT FlurometerBaseMK600::SetFluorescenceParam2Unit(USHORT unitId)
{
    return Checked([&] { return SetUnit(kSecondParameter, unitId); });
}

HRESULT FlurometerBaseMK600::WriteValue(USHORT offset, float value)
{
    return Checked([&] { return Failed(WriteFloat(offset, value)) ? FLUOR_E_WRITE : S_OK; });
}

HRESULT FlurometerBaseMK600::WritePair(const USHORT (&pairs)[2][2], ULONG index, float first, float second)
{
    return Checked(
        [&]
        {
            if (index < 1 || index > 2)
                return FLUOR_E_PAIR_INDEX;
            const USHORT(&pair)[2] = pairs[index - 1];
            return Failed(WriteFloats({{pair[0], first}, {pair[1], second}})) ? FLUOR_E_WRITE : S_OK;
        });
}

HRESULT FlurometerBaseMK600::ReadSegmentValue(USHORT offset, float& value)
{
    return Checked([&] { return Failed(ReadFloat(offset, value)) ? FLUOR_E_READ : S_OK; });
}

HRESULT FlurometerBaseMK600::GetFluorSerialNumber(ULONG& serialNumber)
{
    serialNumber = 0;
    return Checked([&] { return ReadSerialNumber(serialNumber); });
}

template <typename Note>
HRESULT FlurometerBaseMK600::WriteSegmentNote()
{
    if (!IsBound(kSignature))
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<Note>(
        *m_pDevice,
        [&](Note& note)
        {
            // The count alone may be missing: it is taken as 0 then.
            float segments = 0.0f;
            ReadFloat(kSegmentCount, segments);
            float slope1 = 0.0f;
            float offset1 = 0.0f;
            float slope2 = 0.0f;
            float offset2 = 0.0f;
            ULONG serial = 0;
            HRESULT hr = S_OK;
            if (Failed(hr = ReadSegment1Slope(slope1)) || Failed(hr = ReadSegment1Offset(offset1)) ||
                Failed(hr = ReadSegment2Slope(slope2)) || Failed(hr = ReadSegment2Offset(offset2)) ||
                Failed(hr = GetFluorSerialNumber(serial)))
                return hr;
            return note.Build(serial, CountFromDeviceFloat<USHORT>(segments), slope1, offset1, slope2,
                              offset2);
        });
}

HRESULT CRhodamineWaterTraceSensorMk600::WriteCalibrationNote()
{
    return WriteSegmentNote<CNVUserNote_Calibrate_Rhodamine_WT>();
}

HRESULT CChlorophyllASensorMk600::WriteCalibrationNote()
{
    return WriteSegmentNote<CNVUserNote_Calibrate_ChlorophyllA>();
}

HRESULT CBGAPCSensorMK600::WriteCalibrationNote()
{
    return WriteSegmentNote<CNVUserNote_Calibrate_BGA_PC>();
}

HRESULT CBGAPESensorMK600::WriteCalibrationNote()
{
    return WriteSegmentNote<CNVUserNote_Calibrate_BGA_PE>();
}

} // namespace NVSystem
