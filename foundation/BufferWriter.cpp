#include "foundation/BufferWriter.h"

#include <bit>
#include <vector>

#include "foundation/Codec.h"

BOOL CBufferWriter::WriteULong(uint32_t value)
{
    if (m_pTarget == nullptr)
        return FALSE;
    BYTE bytes[4];
    EncodeULong(value, m_bHighWordFirst != 0 ? TRUE : FALSE, bytes);
    return m_pTarget->Append(sizeof(bytes), bytes);
}

BOOL CBufferWriter::WriteFloat(float value)
{
    return WriteULong(std::bit_cast<uint32_t>(value));
}

BOOL CBufferWriter::WriteString(const char16_t* text, uint16_t n)
{
    if (m_pTarget == nullptr)
        return FALSE;
    if (n == 0)
        return TRUE;
    std::vector<BYTE> bytes(size_t(n) * 2, 0);
    bool ended = text == nullptr;
    for (size_t i = 0; i < n && !ended; ++i)
    {
        ended = text[i] == 0; // never reads past the terminator
        bytes[2 * i] = static_cast<BYTE>(text[i] >> 8);
        bytes[2 * i + 1] = static_cast<BYTE>(text[i]);
    }
    return m_pTarget->Append(static_cast<uint32_t>(bytes.size()), bytes.data());
}
