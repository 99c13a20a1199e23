// The port settings ids of the connection dialog and of saved connection parameters, and what they
// mean for the line configuration (DCB).
#pragma once

#include "foundation/SerialDcb.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// Baud ids 0..12: 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 128000, 230400,
// 256000. Data-bits ids: 0 = 7, 1 = 8. Parity ids: 0 even, 1 odd, 2 none. Stop-bits ids: 0 = one,
// 1 = two.
inline constexpr ULONG SERIAL_BAUD_ID_COUNT = 13;
inline constexpr ULONG SERIAL_DATA_BITS_ID_COUNT = 2;
inline constexpr ULONG SERIAL_PARITY_ID_COUNT = 3;
inline constexpr ULONG SERIAL_STOP_BITS_ID_COUNT = 2;

// 0 for an id out of range.
ULONG GetBaudRateOfId(ULONG baudId);
// FALSE when the rate is not one of the table.
BOOL FindBaudId(ULONG baudRate, ULONG& baudId);

// 0 when every id is in range; otherwise the code of the first one that is not, in argument order
// (MODBUSCOMM_E_INVALID_BAUD_ID, _DATA_BITS_ID, _PARITY_ID, _STOP_BITS_ID). An id from a stored
// connection string is not to be trusted: nothing may be looked up by it before this check.
HRESULT CheckPortSettingsIds(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId);
// BaudRate, ByteSize, Parity with fParity, and StopBits of ids that passed the check.
void SetDcbFromIds(DCB& dcb, ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId);
// The ids of a DCB; FALSE (the ids untouched) when its baud rate is not in the table. A parity
// other than even, odd or none leaves parityId untouched.
BOOL GetIdsFromDcb(const DCB& dcb, ULONG& baudId, ULONG& dataBitsId, ULONG& parityId, ULONG& stopBitsId);

// "Baud: 19200 DataBits: 8 Parity: Even StopBits: 1" (the trace form).
CWideString FormatPortSettings(ULONG baudRate, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId);

// Milliseconds per character at the rate (11 bit times, rounded), at least 1: the per-byte write
// time-out.
ULONG GetWriteMultiplierForBaud(ULONG baudRate);
