// The instrument's communication settings word (register 49201): bit 0 framing (0 RTU, 1 ASCII),
// bits 1-3 baud id minus 5, bit 4 data-bits id, bits 5-6 parity id, bit 7 stop-bits id. The ids are
// those of the serial transport (baud id 5 = 9600 .. 12 = 256000 baud; data bits 0 = 7, 1 = 8;
// parity 0 even, 1 odd, 2 none; stop bits 0 = one, 1 = two).
#pragma once

#include "device/CacheSettings.h"
#include "platform/Types.h"

namespace NVSystem
{

inline constexpr ULONG COMM_SETTINGS_MIN_BAUD_ID = 5;
inline constexpr ULONG COMM_SETTINGS_MAX_BAUD_ID = 12;

// 0 when the word can carry the settings and the instrument can take them: framing 0..1, baud id
// from 5 up to the smaller of 12 and the instrument's maximum baud-rate id, data-bits id 0..1 (1
// with RTU), parity id 0..2, stop-bits id 0..1. Otherwise the code of the first field that cannot
// be, in the order framing, baud, data bits, parity, stop bits.
HRESULT CheckCommSettings(const sSerialConfig& settings, ULONG maxBaudId);

// The word of settings that passed CheckCommSettings.
USHORT EncodeCommSettings(const sSerialConfig& settings);
sSerialConfig DecodeCommSettings(USHORT word);

} // namespace NVSystem
