// Encodes register payloads into a byte buffer in the device's byte and word order. A 16-bit
// value is written by its users as two appended bytes, high byte first.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "platform/Types.h"

class CBufferWriter
{
public:
    // The target is not owned and must outlive the writer.
    explicit CBufferWriter(CByteBuffer* target) : m_pTarget(target) {}

    // Each appends its whole value or nothing; FALSE when the target cannot grow.
    BOOL WriteULong(uint32_t value);
    BOOL WriteFloat(float value);
    // Exactly n big-endian code units, 0 for those past the end of the text (all of them for a
    // null text); no count and no terminator. n = 0 writes nothing.
    BOOL WriteString(const char16_t* text, uint16_t n);

    // Word order of 32-bit values: high word first when non-zero.
    uint32_t m_bHighWordFirst = 1;

private:
    CByteBuffer* m_pTarget;
};
