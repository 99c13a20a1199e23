// Connection strings: the PC-side serial settings as text, six fields joined by commas ("19200,8,E,1,
// RTU,1": baud rate, data bits, parity E/O/N, stop bits, RTU or ASCII, Modbus address 1..247), and
// the most-recently-used list of them in the profile section "Communication":
//   "MaxParams"      how many strings the list holds (5 by default)
//   "Params%02d"     the stored strings 0 .. MaxParams - 1, most recently used first
//   "ParamsDefault"  the string tried after the stored ones
//   "LastSerialPort" the COM port number of the last successful connect
#pragma once

#include <vector>

#include "connection/CommSettings.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr const char16_t* PROFILE_SECTION_COMMUNICATION = u"Communication";
inline constexpr const char16_t* PROFILE_MAX_PARAMS = u"MaxParams";
inline constexpr const char16_t* PROFILE_PARAMS_DEFAULT = u"ParamsDefault";
inline constexpr const char16_t* PROFILE_LAST_SERIAL_PORT = u"LastSerialPort";
inline constexpr const char16_t* DEFAULT_CONNECTION_STRING = u"19200,8,E,1,RTU,1";
inline constexpr int DEFAULT_MAX_PARAMS = 5;
// A hand-edited "MaxParams" cannot make a store walk more entries than this.
inline constexpr int MAX_STORED_CONNECTION_STRINGS = 100;

// Case does not matter; blanks may stand beside the commas; a seventh field and more are ignored.
// Each field that is read writes its output at once, and the first field that is not one of the
// accepted texts ends the parse with FALSE, the outputs of the fields before it written. The
// address is the number its leading digits give (0 without digits); it is stored when it fits 16
// bits, and the result is TRUE only for 1..247.
BOOL ParseConnectionString(const char16_t* text, ULONG& baudId, ULONG& dataBitsId, ULONG& parityId,
                           ULONG& stopBitsId, ULONG& mode, USHORT& address);
// The same into the settings record; its port is not touched.
BOOL ParseConnectionString(const char16_t* text, sCommSettings& settings);

// The text of the settings; empty when an id or the address is out of range.
CWideString FormatConnectionString(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId,
                                   ULONG mode, USHORT address);

// Puts the settings' text first in the stored list, drops its older copy and cuts the list to
// "MaxParams" entries. Settings that have no text leave the profile unchanged and give FALSE.
BOOL StoreConnectionString(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId, ULONG mode,
                           USHORT address);

// "MaxParams" within 0..MAX_STORED_CONNECTION_STRINGS (0 when missing).
int GetMaxStoredConnectionStrings();
// "Params%02d" of the number.
CWideString GetConnectionStringEntryName(int number);
// The strings a port search tries, in order: the stored ones up to the first empty entry, then
// "ParamsDefault" unless it is empty or among them; "19200,8,E,1,RTU,1" alone when that leaves none.
std::vector<CWideString> GetSearchConnectionStrings();
