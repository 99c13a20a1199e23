// Decodes register payloads from its own copy of a byte buffer. Every read sets its output to 0
// first; a read that needs more bytes than remain returns E_BUFFER_EXTRACTION_OVERRUN and leaves
// the position where it was, so a caller can stop at the first failure and report it.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

class CBufferReader
{
public:
    explicit CBufferReader(const CByteBuffer& buffer) : m_Buffer(buffer) {}

    HRESULT ReadByte(uint8_t& value);
    HRESULT ReadUShort(uint16_t& value);
    HRESULT ReadShort(int16_t& value);
    HRESULT ReadULong(uint32_t& value);
    HRESULT ReadFloat(float& value);
    HRESULT ReadDouble(double& value);
    HRESULT ReadGuid(GUID& value);
    // n big-endian code units; zero units are dropped (so the padding of a fixed-size field
    // vanishes). n = 0 reads nothing and leaves a null text.
    HRESULT ReadString(uint16_t n, CWideString& text);

    uint32_t GetPosition() const { return m_nPosition; }
    uint32_t GetLength() const { return m_Buffer.GetLength(); }

    // Word order of 32- and 64-bit values: high word first when non-zero.
    uint32_t m_bHighWordFirst = 1;

private:
    // The bytes of the next k, or null (position unchanged) when fewer remain.
    const uint8_t* Take(uint32_t k);

    CByteBuffer m_Buffer;
    uint32_t m_nPosition = 0;
};
