#include "models/PHORPSensorMK600.h"

#include "models/CalibrationNotes.h"
#include "models/TwoSegmentCalNotes.h"

namespace NVSystem
{

HRESULT CPHORPSensorMK600::ReadORPCalPoint(float& solutionMillivolts, float& responseMillivolts,
                                           float& temperature)
{
    return Checked(
        [&]
        {
            return ReadFloats({{kOrpPoint, &solutionMillivolts},
                               {kOrpPoint + 2, &responseMillivolts},
                               {kOrpPoint + 4, &temperature}});
        });
}

HRESULT CPHORPSensorMK600::WriteORPCalPoint(float solutionMillivolts, float responseMillivolts,
                                            float temperature)
{
    return Checked(
        [&]
        {
            return WriteFloats({{kOrpPoint, solutionMillivolts},
                                {kOrpPoint + 2, responseMillivolts},
                                {kOrpPoint + 4, temperature}});
        });
}

HRESULT CPHORPSensorMK600::ReadORPCalValueA(float& value)
{
    return Checked([&] { return ReadFloat(kOrpValueA, value); });
}

HRESULT CPHORPSensorMK600::WriteORPCalValueA(float value)
{
    return Checked([&] { return WriteFloat(kOrpValueA, value); });
}

HRESULT CPHORPSensorMK600::ReadORPCalValueB(float& value)
{
    return Checked([&] { return ReadFloat(kOrpValueB, value); });
}

HRESULT CPHORPSensorMK600::WriteORPCalValueB(float value)
{
    return Checked([&] { return WriteFloat(kOrpValueB, value); });
}

HRESULT CPHORPSensorMK600::WritepHCalNote()
{
    return WriteSegmentNote<CNVUserNote_Calibrate_pH>();
}

HRESULT CPHORPSensorMK600::WriteORPCalNote()
{
    if (m_pDevice == nullptr)
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    return WriteNoteToActiveLog<CNVUserNote_Calibrate_ORP>(*m_pDevice,
                                                           [&](CNVUserNote_Calibrate_ORP& note)
                                                           {
                                                               float offset = 0.0f;
                                                               HRESULT hr = ReadORPCalValueB(offset);
                                                               if (Failed(hr))
                                                                   return hr;
                                                               ULONG serial = 0;
                                                               GetpHORPSerialNumber(serial);
                                                               return note.Build(serial, offset);
                                                           });
}

} // namespace NVSystem
