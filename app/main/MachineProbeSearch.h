// Whether a probe hangs on one of the machine's own serial ports: the port search of a connect,
// asked before the program starts without one (the run command starts the simulated probe only
// when none answers). It walks only the ports of the port table whose devices the machine lists,
// so a pseudo-terminal entered by hand (a simulated probe's) is never asked, and it gives each try
// a short time-out, so that the answer comes within a few seconds also where the machine has
// several ports.
#pragma once

#include <filesystem>
#include <vector>

#include "foundation/WideString.h"
#include "platform/SerialPortScan.h"
#include "platform/Types.h"

// The device types a connect accepts, in the order the search asks for them.
inline constexpr USHORT CONNECT_DEVICE_TYPES[] = {18, 19, 12, 31, 35, 36, 37, 39};

// Long enough for an awake probe at 9600 baud, short enough to pass over silent ports quickly.
inline constexpr ULONG MACHINE_PROBE_SEARCH_TIMEOUT_MS = 250;

// The numbers of the port table's ports whose devices the machine lists under scanRoot, ascending;
// devices not yet in the table are entered first, as every port search does.
std::vector<USHORT> GetMachinePorts(const std::filesystem::path& scanRoot = platform::kSysClassTty);

// The search of a connect over the machine's ports: "LastSerialPort" first when it is one of them,
// each port with every stored connection string. TRUE with the port and the string of the probe
// that answered; FALSE, the outputs untouched, when none did.
BOOL FindProbeOnMachinePorts(USHORT& port, CWideString& text,
                             ULONG timeoutMs = MACHINE_PROBE_SEARCH_TIMEOUT_MS,
                             const std::filesystem::path& scanRoot = platform::kSysClassTty);
