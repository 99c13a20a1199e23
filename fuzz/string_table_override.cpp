// The string table override file is written by translators with whatever editor they have: any
// content must leave a table of the same ids, each with a whole text.
#include <cstdint>
#include <cstdio>
#include <set>

#include "foundation/SystemStrings.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 0x40000)
        return 0;
    Check(SetSystemStringTable(g_SystemStrings_English) == S_OK);
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    Check(file != nullptr);
    Check(ApplySystemStringOverrides(file) == S_OK);
    std::fclose(file);

    for (StringId id = 9990; id <= 10815; ++id)
    {
        const CWideString text = GetSystemString(id);
        if (id < 10000 || id > 10805)
            Check(text.IsEmpty());
        else
            text.GetLength();
    }
    return 0;
}
