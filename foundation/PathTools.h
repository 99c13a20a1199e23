// Paths of the program and of files, with their POSIX meaning: '/' separates folders, a path is
// absolute when it starts with '/'. Paths are UTF-16 here and UTF-8 towards the system.
#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/WideString.h"

// The running executable (/proc/self/exe) and its folder.
CWideString GetProgramPath();
CWideString GetProgramDirectory();
// The program's version "a.b.c.d", compiled in (foundation/ProgramVersion.h).
CWideString GetProgramVersion();

// The text after the last '.' of the last path element; empty when there is none or it ends the
// path.
CWideString GetFileExtension(const char16_t* path);
// The last path element; empty when it has no extension (the path then names a folder).
CWideString GetFileNameFromPath(const char16_t* path);
// The folder part without a trailing '/' ("/" for a file in the root). A path without an extension
// is a folder already and comes back without its trailing '/'. Empty for a text that is neither
// absolute nor relative with a leading "./".
CWideString GetDirectoryFromPath(const char16_t* path);

BOOL FileExists(const char16_t* path);
BOOL IsDirectory(const char16_t* path);
// 0 when the file is absent.
uint64_t GetFileSizeByName(const char16_t* path);

// One line of a UTF-16 little-endian text file: units up to a line feed (not kept) or the end of
// the file; carriage returns are dropped. FALSE when the file was already at its end.
BOOL ReadTextLine(FILE* file, CWideString& line);

// Exactly one '/' between folder and name; either may be empty (then the other is returned).
CWideString CombinePath(const char16_t* folder, const char16_t* name);

// Creates a new empty file "NVC" + unique suffix in the temporary folder and returns its path;
// empty when none can be created.
CWideString CreateTempFileName();
