// CRC-16 of the Modbus serial line: reflected polynomial 0xA001, start value 0xFFFF, no final XOR,
// sent low byte first.
#pragma once

#include <array>
#include <cstddef>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

// The two CRC bytes in the order they go on the wire (low byte first); FF FF for no bytes.
std::array<BYTE, 2> ComputeModbusCrc16(const BYTE* data, size_t length);

// Appends the CRC of the buffer's bytes to it; FALSE (the buffer unchanged) when it cannot grow.
BOOL AppendModbusCrc16(CByteBuffer& buffer);
