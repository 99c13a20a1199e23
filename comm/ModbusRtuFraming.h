// RTU framing: the line carries the RTU form itself, its CRC-16 included.
#pragma once

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// The request goes out as built. FALSE when the frame cannot be allocated.
BOOL EncodeRtuFrame(const CByteBuffer& request, CByteBuffer& frame);

// Accepts a received frame whose last two bytes are the CRC of the rest (low
// byte first); the reply is then the whole frame. FALSE otherwise, the reply emptied.
BOOL DecodeRtuFrame(const CByteBuffer& frame, CByteBuffer& reply);
