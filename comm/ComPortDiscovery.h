// The COM ports of the machine and the port table that gives each of them its number.
//
// The port table lives in the machine hive under HARDWARE\DEVICEMAP\SERIALCOMM: the value name is a
// device path, the data its port name "COMn". Discovery enters every serial device of the machine
// that the table does not know yet with the lowest number that no entry holds, and the device keeps
// that number from then on, also while it is unplugged. Entries added by hand (the pseudo-terminal
// of the simulated probe) are listed like the others.
#pragma once

#include <filesystem>
#include <string>

#include "foundation/DynArray.h"
#include "foundation/WideString.h"
#include "platform/SerialPortScan.h"
#include "platform/Types.h"

inline constexpr const char16_t* SERIALCOMM_PORT_TABLE_KEY = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The numbers of the ports that the machine has now, ascending, each once, never 0: every table
// entry whose device is among the scanned ones or exists as a character device. Opens no port, so
// ports held by other programs are listed too. Always 0: what cannot be read is left out. The
// scan root is the kernel's tty class folder unless a test gives a tree of its own.
HRESULT EnumerateComPorts(CDynArray<USHORT>& ports);
HRESULT EnumerateComPorts(CDynArray<USHORT>& ports, const std::filesystem::path& scanRoot);

// The number of a port name as the table holds it ("COM3" -> 3): at most 9 characters, "COM" in
// capitals somewhere in it, the number after removing every "COM". 0 for anything else: no "COM"
// ("com3", "LPT1"), no number, a sign, or a number above 65535.
USHORT ParseComPortName(const char16_t* name);

// The device path of a port number ("" when the table has none). An entry whose device exists is
// preferred when two claim the number.
std::string FindComPortDevicePath(USHORT port);
// The same for opening a port: a number the table lacks sends the machine's devices through the
// table first, so that a port saved by number opens on a machine where nobody has listed the ports
// yet.
std::string ResolveComPortDevicePath(USHORT port);

// "COM 3 (/dev/ttyUSB0)": where ports are shown, the number is followed by the device path;
// "COM 3" alone when the table has no path for it.
CWideString FormatComPortDisplayName(USHORT port);
