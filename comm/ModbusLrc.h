// Longitudinal redundancy check of Modbus ASCII frames.
#pragma once

#include <string>

#include "foundation/ByteBuffer.h"

// The two's complement of the sum of every byte of an RTU-form buffer except its last two (the
// CRC), as two upper-case hexadecimal characters; empty for a buffer shorter than 3 bytes.
std::string ComputeModbusLrc(const CByteBuffer& rtuForm);
