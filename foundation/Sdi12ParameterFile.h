// A device's SDI-12 output as a parameter set: the SDI-12 address character and an ordered list of
// (sensor connection, parameter number) selections, kept by the SDI-12 setup and saved and loaded as
// a small binary file (big-endian: version 1, address, count, then the pairs).
#pragma once

#include <cstdint>

#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr uint16_t SDI12_FILE_FORMAT_VERSION = 1;

struct sParameterSet
{
    // Frees the selections and the path.
    void Clear();

    uint16_t address = '0'; // the SDI-12 address character
    CWideString path;       // the file it was last loaded from
    CDynArray<sParamSelection> selections;
};

// 0x81020001 for a null or empty path or a missing file; the failure of reading the file;
// 0x810200A3 for another format version; E_BUFFER_EXTRACTION_OVERRUN for a file that ends early,
// the selections then holding the pairs read. On success the path is kept.
HRESULT LoadParameterSetFile(sParameterSet& set, const char16_t* path);
// Creates or replaces the file, whole or not at all. 0x81020001 for a null or empty path,
// E_INVALIDARG for more selections than the file can count, 0x81020004 when the file cannot be
// created, E_FAIL when it cannot be written whole (the previous file then stays as it was).
HRESULT SaveParameterSetFile(const sParameterSet& set, const char16_t* path);
