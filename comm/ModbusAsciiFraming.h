// ASCII framing: ':' then two hexadecimal characters per byte of the RTU form without its CRC, the
// two LRC characters, CR and LF.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// Frames an RTU-form request (CRC included, at least 3 bytes) in upper-case hexadecimal. FALSE,
// the frame emptied, for a shorter request or when memory runs out.
BOOL EncodeAsciiFrame(const CByteBuffer& request, CByteBuffer& frame);

// Turns a received frame back into RTU form: it must start with ':', end in CR LF and have an odd
// length of at least 5; the hexadecimal pairs may be of either case, but the LRC must match the
// computed upper-case characters exactly. The reply is the decoded bytes with their CRC appended.
// FALSE otherwise, the reply emptied.
BOOL DecodeAsciiFrame(const CByteBuffer& frame, CByteBuffer& reply);

// The byte that the hexadecimal pair of RTU position rtuPosition stands for. FALSE when the pair
// lies outside the frame or is not hexadecimal.
BOOL AsciiFrameByte(const CByteBuffer& frame, uint32_t rtuPosition, BYTE& value);
