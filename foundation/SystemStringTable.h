// The run-time system string table and its lock, shared by the lookups and the override reader.
// Everything else reaches the texts through GetSystemString.
#pragma once

#include <cstdint>
#include <mutex>

#include "foundation/DynArray.h"
#include "foundation/SystemStrings.h"

struct SystemStringTable
{
    uint32_t loaded = 0; // the built-in texts are in place
    uint32_t dense = 0;  // every entry's id is the first id plus its position
    StringId firstId = 0;
    StringId highestId = 0;
    CDynArray<SystemStringEntry> entries;
};

namespace systemstrings_detail
{
std::mutex& TableLock();
SystemStringTable& Table();
} // namespace systemstrings_detail

// Runs fn(table) under the table's lock. The lock is a leaf: fn takes no other lock.
template <typename Fn>
auto WithSystemStringTable(Fn fn)
{
    std::lock_guard<std::mutex> lock(systemstrings_detail::TableLock());
    return fn(systemstrings_detail::Table());
}
