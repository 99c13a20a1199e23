// Reads values of the settings store (the registry) through one open key. Callers preset their
// variable with the default: a query writes it only on success.
#pragma once

#include "foundation/ByteBuffer.h"
#include "foundation/WideString.h"
#include "platform/SettingsStore.h"
#include "platform/Types.h"

// The platform's error numbers that the queries answer.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_BAD_FORMAT = 11;
inline constexpr DWORD ERROR_INVALID_DATA = 13;

// Value types, the numbers of platform::RegType.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

class CRegistryKey
{
public:
    CRegistryKey() = default;
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Opens an existing key for reading ("Software\Norvane\ModbusComm"); ERROR_FILE_NOT_FOUND when
    // the key does not exist. An open key is closed first.
    DWORD Open(platform::Hive hive, const char16_t* keyPath);
    void Close();
    BOOL IsOpen() const { return m_bOpen ? TRUE : FALSE; }

    // Type 0 and the buffer emptied first; then the value's type and its bytes as the platform
    // stores them (REG_SZ: UTF-16LE with the terminator, REG_DWORD: 4 bytes little-endian, ...).
    // ERROR_INVALID_HANDLE when closed, ERROR_FILE_NOT_FOUND when the value does not exist.
    DWORD QueryValue(const char16_t* name, DWORD& type, CByteBuffer& data) const;
    // ERROR_BAD_FORMAT for another type than REG_DWORD, ERROR_INVALID_DATA for fewer than 4 bytes;
    // value written only on success.
    DWORD QueryDword(const char16_t* name, DWORD& value) const;
    // A REG_SZ value; ERROR_BAD_FORMAT (text unchanged) for any other type.
    DWORD QueryString(const char16_t* name, CWideString& value) const;

private:
    bool m_bOpen = false;
    platform::Hive m_Hive = platform::Hive::CurrentUser;
    std::u16string m_KeyPath;
};
