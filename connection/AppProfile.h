// The application's per-user profile: values by section and entry name under the current user's
// key "Software\Norvane\Tarnwick Software" of the settings store. A section is a subkey of it; the
// empty section name (or null) names the application key itself. The profile stays under this key
// whatever title a skin gives the application. Safe from any thread.
#pragma once

#include <utility>
#include <vector>

#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr const char16_t* APP_PROFILE_KEY = u"Software\\Norvane\\Tarnwick Software";

// The integer stored as a DWORD (read back as the int that was written); defaultValue when the
// entry is missing or holds another type.
int GetProfileInt(const char16_t* section, const char16_t* entry, int defaultValue);
// The text stored as a string; defaultValue (null counts as "") when the entry is missing or holds
// another type.
CWideString GetProfileString(const char16_t* section, const char16_t* entry, const char16_t* defaultValue);

// Each creates the section when needed; FALSE when the store cannot be written.
BOOL WriteProfileInt(const char16_t* section, const char16_t* entry, int value);
// A null value deletes the entry (TRUE also when there was none).
BOOL WriteProfileString(const char16_t* section, const char16_t* entry, const char16_t* value);
// Several entries of a section that make one change, in one write: all of them are kept, or none
// (FALSE). A null value deletes its entry.
BOOL WriteProfileStrings(const char16_t* section,
                         const std::vector<std::pair<CWideString, const char16_t*>>& entries);
