// The system string table: every user-visible name of a sensor, parameter, unit, quality, log state,
// note text and report label, addressed by string id (10000 to 10805). The table is built into the
// program in English and may be overridden text by text from "SystemStringTable.txt" in the
// translation folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

#include "foundation/VocabularyIds.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr uint32_t SYSTEM_STRING_COUNT = 806;

struct SystemStringEntry
{
    SystemStringEntry() = default;
    SystemStringEntry(StringId entryId, const char16_t* entryText) : id(entryId), text(entryText) {}

    StringId id = 0;
    CWideString text;
};

// The built-in English texts in slot order (ids 10000 to 10805, each once, not sorted).
extern const SystemStringEntry g_SystemStrings_English[SYSTEM_STRING_COUNT];

// Built-in texts, then the override file of the translation folder when it exists. A failing
// override file is reported in a warning box and its result returned; the built-in texts stay.
// The start-up calls it once; the first GetSystemString calls it when nobody has.
HRESULT LoadSystemStringTable();

// A copy of the text of the id; an empty text for an id the table does not hold, or while the table
// is not loaded. Safe from any thread, also while the table is loaded or overridden.
CWideString GetSystemString(StringId id);

// Replaces the run-time table by a copy of a built-in one. E_FAIL, the table left empty, when memory
// runs out.
HRESULT SetSystemStringTable(std::span<const SystemStringEntry, SYSTEM_STRING_COUNT> entries);

// Empties the run-time table; GetSystemString then answers empty texts until the table is set again.
void ClearSystemStringTable();

// Applies an override file: UTF-16 little-endian with its byte-order mark, one "id<TAB>text" per
// line; escapes \t \n \r \" in the text; unknown ids ignored. A file without the byte-order mark
// changes nothing and counts as success. E_FAIL when the file does not exist or cannot be opened, or
// the table is not loaded.
HRESULT ReadSystemStringOverrides(const char16_t* path);

// The part of ReadSystemStringOverrides that reads an open file (from its start, byte-order mark
// included). E_FAIL when the table is not loaded.
HRESULT ApplySystemStringOverrides(FILE* file);
