// Plausibility of a received frame before it is decoded: its length must be the one that its
// function code and its own count fields call for in the framing mode, so that nothing later reads
// past what arrived.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// TRUE when the frame can be a reply: at least an exception reply long, in ASCII between ':' and
// CR LF, and of the length its function code and counts call for (the read-file format selects the
// header of a function-100 reply). Functions without a rule pass. FALSE for an unknown mode.
BOOL CheckResponseFrame(uint32_t mode, const CByteBuffer& frame, uint16_t readFileFormat);
