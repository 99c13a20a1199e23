// Length rules of the Modbus functions that do not depend on a particular message: which request
// lengths may be framed, and how much payload a packet of a given size leaves.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// Whether an RTU-form request (CRC included) has the length its function code calls for; functions
// without a rule pass once the request has its address, function code and CRC.
BOOL IsValidRequestLength(BYTE function, const CByteBuffer& request);

// The data bytes that one request or reply of the function can carry within maxPacket bytes on the
// line in the framing mode; 0 when the function has no payload rule, the mode is unknown, or the
// packet is too small.
uint16_t GetMaxPayloadSize(uint16_t maxPacket, uint32_t mode, BYTE function, uint16_t readFileFormat);
