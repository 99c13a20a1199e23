// The string table override file is written by translators with whatever editor they have: any
// content must leave a table of the same ids, each with a whole text.
//
// The table is built once. After each input the harness walks it directly: every entry must still
// carry its id in its place, and every text the input changed must be whole; the changed texts are
// then put back, so that the next input meets the built-in table again. Rebuilding the table and
// looking each id up through the unsorted built-in order would cost the fuzzer far more than the
// override reader itself.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "foundation/SystemStringTable.h"
#include "foundation/SystemStrings.h"
#include "fuzz/FuzzCheck.h"

namespace
{

std::u16string_view View(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? std::u16string_view(units) : std::u16string_view();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 0x40000)
        return 0;
    static const bool built = SetSystemStringTable(g_SystemStrings_English) == S_OK;
    Check(built);
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    Check(file != nullptr);
    Check(ApplySystemStringOverrides(file) == S_OK);
    std::fclose(file);

    WithSystemStringTable(
        [](SystemStringTable& table)
        {
            Check(table.loaded != 0 && table.entries.GetCount() == SYSTEM_STRING_COUNT);
            SystemStringEntry* entries = table.entries.GetData();
            for (uint32_t i = 0; i < SYSTEM_STRING_COUNT; ++i)
            {
                const SystemStringEntry& builtIn = g_SystemStrings_English[i];
                Check(entries[i].id == builtIn.id);
                // Comparing reads the whole of the text, as a reader of it would.
                if (View(entries[i].text) != View(builtIn.text))
                    entries[i].text = builtIn.text;
            }
        });
    return 0;
}
