// Finding the probe before a connect: every COM port of the machine, the one that worked last time
// first, each tried with every connection string the user has used until a device of an accepted
// type answers. Each try opens the port, reads the device type register once and closes the port
// again, so a search over p ports and s strings makes up to p x s opens.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "foundation/DynArray.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// The machine-wide tunable (HKEY_LOCAL_MACHINE, the application key) that bounds the read of each
// try: "Probe Search TO", 500 ms.
inline constexpr const char16_t* PROBE_SEARCH_TIMEOUT_NAME = u"Probe Search TO";
inline constexpr ULONG DEFAULT_PROBE_SEARCH_TIMEOUT_MS = 500;
ULONG GetProbeSearchTimeout();

// The ports the search walks: those of the port table (comm/ComPortDiscovery.h), ascending.
HRESULT EnumerateSerenumPorts(CDynArray<USHORT>& ports);

// S_OK when a device of one of the types answers on the port at the string's settings within the
// time-out; otherwise the code of the step that failed (E_FAIL for a string that does not parse, a
// type not accepted, or a step without a code of its own). The port is closed again before the
// call returns. answeredAt, when given, receives the tick of the device's answer.
HRESULT TestProbeConnection(USHORT port, std::span<const USHORT> types, const char16_t* text,
                            ULONG timeoutMs = GetProbeSearchTimeout(), uint64_t* answeredAt = nullptr);

// One try of a search: S_OK when the probe answers on the port with the string.
using ProbeTry = std::function<HRESULT(USHORT port, const CWideString& text)>;

// The order of a search: the last port (when not 0) with each string, then every other port in the
// given order with each string. The first try that succeeds gives the port and the string; FALSE,
// the outputs untouched, when none does.
BOOL SearchProbePort(const std::vector<USHORT>& ports, USHORT lastPort,
                     const std::vector<CWideString>& strings, const ProbeTry& test, USHORT& port,
                     CWideString& text);

// The search over the port table, "LastSerialPort" and the strings of GetSearchConnectionStrings.
// answeredAt, when given, receives the tick at which the probe found answered (the connect that
// follows need not wake it again).
BOOL FindProbePort(USHORT& port, CWideString& text, std::span<const USHORT> types,
                   uint64_t* answeredAt = nullptr);
