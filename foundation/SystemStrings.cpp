#include "foundation/SystemStrings.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "foundation/SystemStringTable.h"

namespace
{

// Cleared once the first GetSystemString is through, whether or not it had to load the table.
std::atomic<bool> g_firstUse{true};
// Set on the thread that runs that first load: a text it asks for meanwhile (a message box about
// the override file, say) comes from the table as it stands instead of loading it again.
thread_local bool t_loadingOnFirstUse = false;

// Held during the first load, so that other threads wait for the texts instead of answering
// empty ones.
std::mutex& FirstUseLock()
{
    static std::mutex lock;
    return lock;
}

void ClearLocked(SystemStringTable& table)
{
    table.entries.RemoveAll();
    table.loaded = 0;
    table.dense = 0;
    table.firstId = 0;
    table.highestId = 0;
}

const SystemStringEntry* FindLocked(const SystemStringTable& table, StringId id)
{
    if (!table.loaded || id < table.firstId || id > table.highestId)
        return nullptr;
    const uint32_t count = table.entries.GetCount();
    const SystemStringEntry* entries = table.entries.GetData();
    if (table.dense)
    {
        const uint32_t position = id - table.firstId;
        return position < count ? &entries[position] : nullptr;
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        if (entries[i].id == id)
            return &entries[i];
    }
    return nullptr;
}

void LoadOnFirstUse()
{
    if (!g_firstUse.load(std::memory_order_acquire) || t_loadingOnFirstUse)
        return;
    std::lock_guard<std::mutex> lock(FirstUseLock());
    if (!g_firstUse.load(std::memory_order_acquire))
        return;
    struct FirstUseScope
    {
        FirstUseScope() { t_loadingOnFirstUse = true; }
        ~FirstUseScope()
        {
            t_loadingOnFirstUse = false;
            g_firstUse.store(false, std::memory_order_release);
        }
    } scope;
    const bool loaded = WithSystemStringTable([](SystemStringTable& table) { return table.loaded != 0; });
    if (!loaded)
        LoadSystemStringTable();
}

} // namespace

namespace systemstrings_detail
{

std::mutex& TableLock()
{
    static std::mutex lock;
    return lock;
}

// Its entries are freed when the process ends.
SystemStringTable& Table()
{
    static SystemStringTable table;
    return table;
}

} // namespace systemstrings_detail

CWideString GetSystemString(StringId id)
{
    LoadOnFirstUse();
    return WithSystemStringTable(
        [id](const SystemStringTable& table)
        {
            const SystemStringEntry* entry = FindLocked(table, id);
            // An allocated empty text rather than null, for callers that hand it on as a C string.
            return entry != nullptr && !entry->text.IsEmpty() ? entry->text : CWideString(u"");
        });
}

HRESULT SetSystemStringTable(std::span<const SystemStringEntry, SYSTEM_STRING_COUNT> entries)
{
    return WithSystemStringTable(
        [&entries](SystemStringTable& table)
        {
            ClearLocked(table);
            try
            {
                if (!table.entries.SetSize(SYSTEM_STRING_COUNT))
                    return E_FAIL;
                SystemStringEntry* target = table.entries.GetData();
                bool dense = true;
                StringId highest = 0;
                for (uint32_t i = 0; i < SYSTEM_STRING_COUNT; ++i)
                {
                    target[i] = entries[i];
                    highest = std::max(highest, entries[i].id);
                    dense = dense && entries[i].id == entries[0].id + i;
                }
                table.firstId = entries[0].id;
                table.highestId = highest;
                table.dense = dense ? 1 : 0;
                table.loaded = 1;
                return S_OK;
            }
            catch (const std::bad_alloc&)
            {
                ClearLocked(table);
                return E_FAIL;
            }
        });
}

void ClearSystemStringTable()
{
    WithSystemStringTable([](SystemStringTable& table) { ClearLocked(table); });
}
