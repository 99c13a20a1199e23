// Per slave address, the idle time after which a device at that address sleeps and needs a wake-up
// before the next request. Every slave address a request can carry (0..255) has an entry, so that a
// setting for an address above 248 is kept rather than written past the table.
#pragma once

#include <array>
#include <cstdint>

#include "platform/Types.h"

inline constexpr USHORT WAKEUP_DEFAULT_IDLE_MS = 5000;
// The entry of an address whose device has left the line: no wake-up on its account.
inline constexpr USHORT WAKEUP_NEVER_MS = 65535;

class CWakeUpTable
{
public:
    static constexpr size_t kEntries = 256;

    CWakeUpTable() { m_nIdleMs.fill(WAKEUP_DEFAULT_IDLE_MS); }

    // The default for an address that no request can carry.
    USHORT GetIdleMs(USHORT address) const
    {
        return address < kEntries ? m_nIdleMs[address] : WAKEUP_DEFAULT_IDLE_MS;
    }
    // FALSE, nothing changed, for an address above 255.
    BOOL SetIdleMs(USHORT address, USHORT ms)
    {
        if (address >= kEntries)
            return FALSE;
        m_nIdleMs[address] = ms;
        return TRUE;
    }

private:
    std::array<USHORT, kEntries> m_nIdleMs;
};
