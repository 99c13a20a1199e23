// printf-style formatting that never depends on the process locale, and the Windows wide-formatter
// semantics that the system's UTF-16 texts are written with.
#pragma once

#include <cstdarg>
#include <string>

namespace platform
{

// Formats UTF-8 text with the C library's printf rules in the "C" locale.
std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats UTF-16 text with the rules of the Windows wide formatter (_vsnwprintf):
//   %s, %ls, %ws  a UTF-16 text (const char16_t*), "(null)" for null
//   %S, %hs       a UTF-8 text (const char*)
//   %c, %lc, %wc  one UTF-16 code unit (passed as int);  %C, %hc  one 8-bit character
//   l             32 bits (a Windows long), ll / I64  64 bits, h  16 bits, I  pointer-sized
//   %d %i %u %x %X %o %e %E %f %g %G %a %A %p %%  as in C, with flags, width and precision ('*' too)
// %n is refused. Returns false, leaving `out` unchanged, when the result would need more than
// maxUnits code units (terminator excluded) or the format is malformed.
bool FormatWideV(std::u16string& out, size_t maxUnits, const char16_t* format, va_list args);

} // namespace platform
