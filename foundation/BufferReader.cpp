#include "foundation/BufferReader.h"

#include <string>

#include "foundation/Codec.h"
#include "foundation/ResultCodes.h"

namespace
{

// The frame of every fixed-size read: the value is 0 unless the bytes were there (null: fewer
// remained), else what decode makes of them.
template <typename Value, typename Decode>
HRESULT DecodeTaken(const uint8_t* bytes, Value& value, Decode decode)
{
    value = Value{};
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = decode(bytes);
    return S_OK;
}

} // namespace

const uint8_t* CBufferReader::Take(uint32_t k)
{
    if (k > m_Buffer.GetLength() - m_nPosition)
        return nullptr;
    const uint8_t* bytes = m_Buffer.GetData() + m_nPosition;
    m_nPosition += k;
    return bytes;
}

HRESULT CBufferReader::ReadByte(uint8_t& value)
{
    return DecodeTaken(Take(1), value, [](const uint8_t* bytes) { return bytes[0]; });
}

HRESULT CBufferReader::ReadUShort(uint16_t& value)
{
    return DecodeTaken(Take(2), value,
                       [](const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]); });
}

HRESULT CBufferReader::ReadShort(int16_t& value)
{
    uint16_t bits = 0;
    const HRESULT hr = ReadUShort(bits);
    value = static_cast<int16_t>(bits);
    return hr;
}

HRESULT CBufferReader::ReadULong(uint32_t& value)
{
    return DecodeTaken(Take(4), value,
                       [this](const uint8_t* bytes) { return DecodeULong(bytes, m_bHighWordFirst != 0); });
}

HRESULT CBufferReader::ReadFloat(float& value)
{
    return DecodeTaken(Take(4), value,
                       [this](const uint8_t* bytes) { return DecodeFloat(bytes, m_bHighWordFirst != 0); });
}

HRESULT CBufferReader::ReadDouble(double& value)
{
    return DecodeTaken(Take(8), value,
                       [this](const uint8_t* bytes) { return DecodeDouble(bytes, m_bHighWordFirst != 0); });
}

HRESULT CBufferReader::ReadGuid(GUID& value)
{
    return DecodeTaken(Take(16), value,
                       [this](const uint8_t* bytes) { return DecodeGuid(bytes, m_bHighWordFirst != 0); });
}

HRESULT CBufferReader::ReadString(uint16_t n, CWideString& text)
{
    text = nullptr;
    if (n == 0)
        return S_OK;
    const uint8_t* bytes = Take(2u * n);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    std::u16string units;
    for (uint32_t i = 0; i < n; ++i)
    {
        const auto unit = static_cast<char16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
        if (unit != 0)
            units.push_back(unit);
    }
    if (!units.empty())
        text = units.c_str();
    return S_OK;
}
