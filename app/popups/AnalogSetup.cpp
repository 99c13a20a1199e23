#include "app/popups/AnalogSetup.h"

#include <memory>
#include <string_view>

#include "app/connection/SensorReadings.h"
#include "device/RegisterMap.h"
#include "foundation/ResultCodes.h"
#include "ui/NumericText.h"

namespace
{

constexpr ULONG kRegisterTimeoutMs = 500;
// Two tries after the first.
constexpr USHORT kRegisterRetries = 2;
constexpr USHORT kLoop2On = 1;
constexpr UINT kScalingDigits = 6;

struct NetworkReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); }
};
using NetworkRef = std::unique_ptr<CModbusComm, NetworkReleaser>;

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

    const NetworkRef network(m_Connection.GetModbusInterface());
    if (network == nullptr)
        return TRUE;
    const USHORT address = m_Connection.m_nAddress.load();
    USHORT interfaces = 0;
    if (Failed(network->ReadUShort(address, NVSystem::REG_INTERFACE_CONFIGURATION, interfaces,
                                   kRegisterTimeoutMs, kRegisterRetries)))
        return TRUE;
    m_bSecondLoop = (interfaces & INTERFACE_SECOND_CURRENT_LOOP) != 0 ? TRUE : FALSE;
    return !m_bSecondLoop || Succeeded(ReadSecondLoop(*network, address)) ? TRUE : FALSE;
}

HRESULT CAnalogSetup::ReadSecondLoop(CModbusComm& network, USHORT address)
{
    sAnalogLoop& loop = m_Loops[ANALOG_LOOP_2];
    USHORT enable = 0;
    HRESULT hr = network.ReadUShort(address, REG_LOOP2_ENABLE, enable, kRegisterTimeoutMs, kRegisterRetries);
    if (Succeeded(hr))
        hr = network.ReadUShort(address, REG_LOOP2_CONNECTION, loop.SensorNumber, kRegisterTimeoutMs,
                                kRegisterRetries);
    if (Succeeded(hr))
        hr = network.ReadUShort(address, REG_LOOP2_PARAMETER, loop.ParameterNumber, kRegisterTimeoutMs,
                                kRegisterRetries);
    if (Succeeded(hr))
        hr = network.ReadFloat(address, REG_LOOP2_FULL_SCALE, loop.FullScale, kRegisterTimeoutMs,
                               kRegisterRetries);
    if (Succeeded(hr))
        hr = network.ReadFloat(address, REG_LOOP2_ZERO_SCALE, loop.ZeroScale, kRegisterTimeoutMs,
                               kRegisterRetries);
    loop.Enabled = enable == kLoop2On ? TRUE : FALSE;
    return hr;
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

void CAnalogSetup::Follow(int loop, int reading)
{
    if (reading < 0 || static_cast<uint32_t>(reading) >= m_Readings.GetCount())
        return;
    m_Loops[loop].SensorNumber = m_Readings[static_cast<uint32_t>(reading)].Connection;
    m_Loops[loop].ParameterNumber = m_Readings[static_cast<uint32_t>(reading)].ParameterNumber;
}

HRESULT CAnalogSetup::WriteLoop1(int reading)
{
    NVSystem::CDeviceComm* probe = m_Connection.IsConnected() ? m_Connection.GetProbe() : nullptr;
    if (probe == nullptr)
        return E_FAIL;
    const sAnalogLoop& loop = m_Loops[ANALOG_LOOP_1];
    HRESULT hr = probe->EnableAnalogOutput(loop.Enabled ? 0 : 1);
    if (Succeeded(hr) && reading >= 0)
    {
        Follow(ANALOG_LOOP_1, reading);
        hr = probe->SetAnalogParameter(loop.SensorNumber, loop.ParameterNumber);
    }
    if (Succeeded(hr))
        hr = probe->SetAnalogScaling(loop.FullScale, loop.ZeroScale);
    return hr;
}

HRESULT CAnalogSetup::WriteLoop2(int reading)
{
    Follow(ANALOG_LOOP_2, reading);
    const sAnalogLoop& loop = m_Loops[ANALOG_LOOP_2];
    return m_Connection.WriteCurrentLoop(loop.Enabled, loop.SensorNumber, loop.ParameterNumber,
                                         loop.FullScale, loop.ZeroScale);
}
