// IPv4 addresses in their dotted text form.
#pragma once

#include "foundation/WideString.h"
#include "platform/Types.h"

// Clears the four bytes, then accepts only four '.'-separated fields of 1 to 3 digits, each at
// most 255. One '.' after the fourth field is tolerated.
BOOL ParseIPv4Address(const char16_t* text, BYTE address[4]);
CWideString FormatIPv4Address(const BYTE address[4]);
