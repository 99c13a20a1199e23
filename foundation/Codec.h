// The register codec: 16-bit words are big-endian on the wire; 32- and 64-bit values follow the
// device's word order, high word first when the flag is set, lowest word first otherwise (each
// word still big-endian).
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// Each reads from the first byte on and gives 0 (or an all-zero GUID) for a null pointer.
uint32_t DecodeULong(const BYTE* bytes, BOOL highWordFirst);
float DecodeFloat(const BYTE* bytes, BOOL highWordFirst);
double DecodeDouble(const BYTE* bytes, BOOL highWordFirst);
// Data1 in the word order, Data2 and Data3 big-endian, Data4 as stored: 16 bytes.
GUID DecodeGuid(const BYTE* bytes, BOOL highWordFirst);

// The inverse of DecodeULong.
void EncodeULong(uint32_t value, BOOL highWordFirst, BYTE bytes[4]);

// The 16 bytes of a GUID with Data1 high word first: a buffer of exactly that capacity.
CByteBuffer GuidToBytes(const GUID& guid);
