// TCP framing: a six-byte header (transaction identifier, protocol identifier 0, length of what
// follows), then the RTU form without its CRC, its slave address serving as unit identifier.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

inline constexpr uint32_t MODBUS_TCP_HEADER_LENGTH = 6;

// Frames an RTU-form request (CRC included, at least 3 bytes) under the transaction identifier.
// FALSE, the frame emptied, for a shorter request or when memory runs out.
BOOL EncodeTcpFrame(const CByteBuffer& request, uint16_t transactionId, CByteBuffer& frame);

// Drops the header of a received frame of at least 6 bytes (its protocol and length fields are
// not relied on) and appends the CRC, giving the RTU form. FALSE otherwise, the reply emptied.
BOOL DecodeTcpFrame(const CByteBuffer& frame, CByteBuffer& reply);
