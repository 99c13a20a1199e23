#include "foundation/BufferReader.h"

#include <string>

#include "foundation/Codec.h"
#include "foundation/ResultCodes.h"

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
    value = 0;
    const uint8_t* bytes = Take(1);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = bytes[0];
    return S_OK;
}

HRESULT CBufferReader::ReadUShort(uint16_t& value)
{
    value = 0;
    const uint8_t* bytes = Take(2);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    return S_OK;
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
    value = 0;
    const uint8_t* bytes = Take(4);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = DecodeULong(bytes, m_bHighWordFirst != 0);
    return S_OK;
}

HRESULT CBufferReader::ReadFloat(float& value)
{
    value = 0.0f;
    const uint8_t* bytes = Take(4);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = DecodeFloat(bytes, m_bHighWordFirst != 0);
    return S_OK;
}

HRESULT CBufferReader::ReadDouble(double& value)
{
    value = 0.0;
    const uint8_t* bytes = Take(8);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = DecodeDouble(bytes, m_bHighWordFirst != 0);
    return S_OK;
}

HRESULT CBufferReader::ReadGuid(GUID& value)
{
    value = GUID{};
    const uint8_t* bytes = Take(16);
    if (bytes == nullptr)
        return E_BUFFER_EXTRACTION_OVERRUN;
    value = DecodeGuid(bytes, m_bHighWordFirst != 0);
    return S_OK;
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
