#include "connection/ProbeSearch.h"

#include <algorithm>
#include <optional>

#include "comm/ComPortDiscovery.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "connection/SerialLink.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"

namespace
{

constexpr USHORT kDeviceTypeRegister = 49001;
constexpr USHORT kSearchRetries = 0;

} // namespace

ULONG GetProbeSearchTimeout()
{
    const std::optional<uint32_t> value = platform::settings::GetDword(
        platform::Hive::LocalMachine, APP_PROFILE_KEY, PROBE_SEARCH_TIMEOUT_NAME);
    return value.value_or(DEFAULT_PROBE_SEARCH_TIMEOUT_MS);
}

HRESULT EnumerateSerenumPorts(CDynArray<USHORT>& ports)
{
    return EnumerateComPorts(ports);
}

HRESULT TestProbeConnection(USHORT port, std::span<const USHORT> types, const char16_t* text, ULONG timeoutMs,
                            uint64_t* answeredAt)
{
    sCommSettings settings;
    if (!ParseConnectionString(text, settings))
        return E_FAIL;
    settings.Port = port;

    SerialLink link;
    SerialLinkStep failed = SerialLinkStep::None;
    HRESULT hr = OpenSerialLink(settings, link, failed);
    USHORT deviceType = 0;
    if (Succeeded(hr))
        hr = link.network->SetTransmissionMode(settings.Mode);
    if (Succeeded(hr))
    {
        link.network->EnableAutoWakeUp();
        hr = link.network->ReadUShort(settings.Address, kDeviceTypeRegister, deviceType, timeoutMs,
                                      kSearchRetries);
        if (Succeeded(hr) && answeredAt != nullptr)
            *answeredAt = platform::GetTickCount64();
    }
    CloseSerialLink(link);
    if (Failed(hr))
        return hr;
    return std::find(types.begin(), types.end(), deviceType) != types.end() ? S_OK : E_FAIL;
}

BOOL SearchProbePort(const std::vector<USHORT>& ports, USHORT lastPort,
                     const std::vector<CWideString>& strings, const ProbeTry& test, USHORT& port,
                     CWideString& text)
{
    const auto tryPort = [&](USHORT candidate)
    {
        for (const CWideString& candidateText : strings)
        {
            if (test(candidate, candidateText) == S_OK)
            {
                port = candidate;
                text = candidateText;
                return true;
            }
        }
        return false;
    };
    if (lastPort != 0 && tryPort(lastPort))
        return TRUE;
    for (USHORT candidate : ports)
    {
        if (candidate != lastPort && tryPort(candidate))
            return TRUE;
    }
    return FALSE;
}

BOOL FindProbePort(USHORT& port, CWideString& text, std::span<const USHORT> types, uint64_t* answeredAt)
{
    CDynArray<USHORT> table;
    EnumerateSerenumPorts(table);
    std::vector<USHORT> ports;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
        ports.push_back(table[i]);
    const int last = GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0);
    // A port number the profile cannot hold means no last port rather than another one.
    const USHORT lastPort = last > 0 && last <= UINT16_MAX ? static_cast<USHORT>(last) : 0;
    return SearchProbePort(
        ports, lastPort, GetSearchConnectionStrings(),
        [types, answeredAt](USHORT candidate, const CWideString& candidateText)
        { return TestProbeConnection(candidate, types, candidateText, GetProbeSearchTimeout(), answeredAt); },
        port, text);
}
