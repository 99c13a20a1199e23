// Fixed-width integer types, the result-code type and the few plain records that every layer shares.
// A 32-bit field is always uint32_t (long is 64 bits here); wire and file formats are encoded
// explicitly, never by copying one of these structs.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using USHORT = uint16_t;
using WORD = uint16_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using HRESULT = int32_t;
// One UTF-16 code unit. wchar_t is 32 bits on Linux and never carries device or file text.
using WCHAR = char16_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Writes a result code from its documented unsigned spelling, e.g. ResultCode(0x81010178u).
constexpr HRESULT ResultCode(uint32_t code)
{
    return static_cast<HRESULT>(code);
}

// Success is result >= 0: positive codes are success with information.
constexpr bool Succeeded(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr)
{
    return hr < 0;
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = ResultCode(0x80004005u);
inline constexpr HRESULT E_POINTER = ResultCode(0x80004003u);
inline constexpr HRESULT E_NOTIMPL = ResultCode(0x80004001u);
inline constexpr HRESULT E_OUTOFMEMORY = ResultCode(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = ResultCode(0x80070057u);

// A GUID as Windows lays it out in memory; its byte encodings are written explicitly.
struct GUID
{
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend bool operator==(const GUID&, const GUID&) = default;
};
