#include "app/main/MachineProbeSearch.h"

#include <algorithm>

#include "comm/ComPortDiscovery.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "connection/ProbeSearch.h"

std::vector<USHORT> GetMachinePorts(const std::filesystem::path& scanRoot)
{
    CDynArray<USHORT> table;
    EnumerateComPorts(table, scanRoot);
    const std::vector<std::string> devices = platform::ScanSerialDevices(scanRoot);
    std::vector<USHORT> ports;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
    {
        const std::string path = FindComPortDevicePath(table[i]);
        if (std::find(devices.begin(), devices.end(), path) != devices.end())
            ports.push_back(table[i]);
    }
    return ports;
}

BOOL FindProbeOnMachinePorts(USHORT& port, CWideString& text, ULONG timeoutMs,
                             const std::filesystem::path& scanRoot)
{
    const std::vector<USHORT> ports = GetMachinePorts(scanRoot);
    const int last = GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0);
    const auto isMachinePort = [&ports](int number)
    { return std::find(ports.begin(), ports.end(), number) != ports.end(); };
    const USHORT lastPort = isMachinePort(last) ? static_cast<USHORT>(last) : 0;
    return SearchProbePort(
        ports, lastPort, GetSearchConnectionStrings(),
        [timeoutMs](USHORT candidate, const CWideString& candidateText)
        { return TestProbeConnection(candidate, CONNECT_DEVICE_TYPES, candidateText, timeoutMs); },
        port, text);
}
