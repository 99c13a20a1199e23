#include "app/popups/AnalogSetup.h"

#include <string_view>

#include "connection/SensorReadings.h"
#include "foundation/ResultCodes.h"
#include "ui/NumericText.h"

namespace
{

constexpr UINT kScalingDigits = 6;

} // namespace

std::optional<float> ParseScalingText(const CWideString& text)
{
    if (text.IsEmpty())
        return std::nullopt;
    const std::optional<double> value =
        ParseRealText(std::u16string_view(static_cast<const char16_t*>(text)));
    if (!value)
        return std::nullopt;
    return static_cast<float>(*value);
}

CWideString FormatScalingValue(float value)
{
    return FormatValue(kScalingDigits, value);
}

CAnalogSetup::CAnalogSetup(CProbeConnection& connection) : m_Connection(connection) {}

BOOL CAnalogSetup::Load()
{
    m_Readings.RemoveAll();
    m_bSecondLoop = FALSE;
    NVSystem::CDeviceComm* probe = m_Connection.IsConnected() ? m_Connection.GetProbe() : nullptr;
    if (probe == nullptr || !probe->IsAnalogOutputSupported())
        return FALSE;

    CDynArray<sParameterReading> readings;
    if (Failed(CollectSensorReadings(*probe, readings, UnpluggedSensors::Skip)))
        return FALSE;
    m_Readings = BuildOfferedReadings(readings);

    sAnalogLoop& loop1 = m_Loops[ANALOG_LOOP_1];
    ULONG disabled = 0;
    if (Failed(probe->GetAnalogParameter(loop1.SensorNumber, loop1.ParameterNumber)) ||
        Failed(probe->GetAnalogOutputState(disabled)) ||
        Failed(probe->GetAnalogScaling(loop1.FullScale, loop1.ZeroScale)))
        return FALSE;
    loop1.Enabled = disabled == 0 ? TRUE : FALSE;

    m_bSecondLoop = m_Connection.HasSecondCurrentLoop();
    if (!m_bSecondLoop)
        return TRUE;
    sAnalogLoop& loop2 = m_Loops[ANALOG_LOOP_2];
    return Succeeded(m_Connection.ReadCurrentLoop(loop2.Enabled, loop2.SensorNumber, loop2.ParameterNumber,
                                                  loop2.FullScale, loop2.ZeroScale))
               ? TRUE
               : FALSE;
}

int CAnalogSetup::FindFollowedReading(int loop) const
{
    const sAnalogLoop& settings = m_Loops[loop];
    for (uint32_t i = 0; i < m_Readings.GetCount(); ++i)
    {
        if (m_Readings[i].Connection == settings.SensorNumber &&
            m_Readings[i].ParameterNumber == settings.ParameterNumber)
            return static_cast<int>(i);
    }
    return -1;
}

bool CAnalogSetup::IsOffered(int reading) const
{
    return reading >= 0 && static_cast<uint32_t>(reading) < m_Readings.GetCount();
}

void CAnalogSetup::Follow(int loop, int reading)
{
    m_Loops[loop].SensorNumber = m_Readings[static_cast<uint32_t>(reading)].Connection;
    m_Loops[loop].ParameterNumber = m_Readings[static_cast<uint32_t>(reading)].ParameterNumber;
}

HRESULT CAnalogSetup::WriteLoop1(int reading)
{
    if (!IsOffered(reading))
        return S_FALSE;
    NVSystem::CDeviceComm* probe = m_Connection.IsConnected() ? m_Connection.GetProbe() : nullptr;
    if (probe == nullptr)
        return E_FAIL;
    Follow(ANALOG_LOOP_1, reading);
    const sAnalogLoop& loop = m_Loops[ANALOG_LOOP_1];
    HRESULT hr = probe->EnableAnalogOutput(loop.Enabled ? 0 : 1);
    if (Succeeded(hr))
        hr = probe->SetAnalogParameter(loop.SensorNumber, loop.ParameterNumber);
    if (Succeeded(hr))
        hr = probe->SetAnalogScaling(loop.FullScale, loop.ZeroScale);
    return hr;
}

HRESULT CAnalogSetup::WriteLoop2(int reading)
{
    if (!IsOffered(reading))
        return S_FALSE;
    Follow(ANALOG_LOOP_2, reading);
    const sAnalogLoop& loop = m_Loops[ANALOG_LOOP_2];
    return m_Connection.WriteCurrentLoop(loop.Enabled, loop.SensorNumber, loop.ParameterNumber,
                                         loop.FullScale, loop.ZeroScale);
}
