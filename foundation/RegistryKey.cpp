#include "foundation/RegistryKey.h"

#include <vector>

namespace
{

void AppendUtf16Le(std::vector<uint8_t>& bytes, std::u16string_view text)
{
    for (char16_t unit : text)
    {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
}

void AppendLittleEndian(std::vector<uint8_t>& bytes, uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The bytes the platform keeps for a value.
std::vector<uint8_t> ValueBytes(const platform::RegValue& value)
{
    std::vector<uint8_t> bytes;
    switch (value.type)
    {
    case platform::RegType::String:
    case platform::RegType::ExpandString:
        AppendUtf16Le(bytes, value.text);
        break;
    case platform::RegType::MultiString:
        for (const std::u16string& text : value.texts)
            AppendUtf16Le(bytes, text);
        bytes.push_back(0);
        bytes.push_back(0);
        break;
    case platform::RegType::Dword:
        AppendLittleEndian(bytes, value.number, 4);
        break;
    case platform::RegType::Qword:
        AppendLittleEndian(bytes, value.number, 8);
        break;
    case platform::RegType::Binary:
        bytes = value.bytes;
        break;
    }
    return bytes;
}

} // namespace

DWORD CRegistryKey::Open(platform::Hive hive, const char16_t* keyPath)
{
    Close();
    const std::u16string path = keyPath != nullptr ? keyPath : u"";
    if (!platform::settings::KeyExists(hive, path))
        return ERROR_FILE_NOT_FOUND;
    m_Hive = hive;
    m_KeyPath = path;
    m_bOpen = true;
    return ERROR_SUCCESS;
}

void CRegistryKey::Close()
{
    m_bOpen = false;
    m_KeyPath.clear();
}

DWORD CRegistryKey::QueryValue(const char16_t* name, DWORD& type, CByteBuffer& data) const
{
    type = REG_NONE;
    data.Allocate(0);
    if (!m_bOpen)
        return ERROR_INVALID_HANDLE;
    const auto value = platform::settings::GetValue(m_Hive, m_KeyPath, name != nullptr ? name : u"");
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    type = static_cast<DWORD>(value->type);
    const std::vector<uint8_t> bytes = ValueBytes(*value);
    if (!bytes.empty() && !data.Append(static_cast<uint32_t>(bytes.size()), bytes.data()))
        return ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
}

DWORD CRegistryKey::QueryDword(const char16_t* name, DWORD& value) const
{
    DWORD type = REG_NONE;
    CByteBuffer data;
    const DWORD error = QueryValue(name, type, data);
    if (error != ERROR_SUCCESS)
        return error;
    if (type != REG_DWORD)
        return ERROR_BAD_FORMAT;
    if (data.GetLength() < 4)
        return ERROR_INVALID_DATA;
    const uint8_t* b = data.GetData();
    value = static_cast<DWORD>(b[0]) | static_cast<DWORD>(b[1]) << 8 | static_cast<DWORD>(b[2]) << 16 |
            static_cast<DWORD>(b[3]) << 24;
    return ERROR_SUCCESS;
}

DWORD CRegistryKey::QueryString(const char16_t* name, CWideString& value) const
{
    if (!m_bOpen)
        return ERROR_INVALID_HANDLE;
    const auto stored = platform::settings::GetValue(m_Hive, m_KeyPath, name != nullptr ? name : u"");
    if (!stored)
        return ERROR_FILE_NOT_FOUND;
    if (stored->type != platform::RegType::String)
        return ERROR_BAD_FORMAT;
    // The text ends at its first zero unit, as a terminated REG_SZ does.
    value = stored->text.c_str();
    return ERROR_SUCCESS;
}
