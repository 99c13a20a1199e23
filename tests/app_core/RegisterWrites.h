// The holding registers a master wrote, read back from the frames the simulated probe received:
// function 6 (one register) and 16 (several), each write named by its first register (40001 and
// up) in the order the writes arrived.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/probe-sim/Adu.h"

namespace apptest
{

inline std::vector<uint16_t> WrittenRegisters(const std::vector<probesim::Adu>& adus)
{
    constexpr uint8_t kWriteSingle = 6;
    constexpr uint8_t kWriteMultiple = 16;
    constexpr uint32_t kFirstHolding = 40001;
    std::vector<uint16_t> written;
    for (const probesim::Adu& adu : adus)
    {
        if ((adu.function == kWriteSingle || adu.function == kWriteMultiple) && adu.data.size() >= 2)
            written.push_back(static_cast<uint16_t>(kFirstHolding + (adu.data[0] << 8 | adu.data[1])));
    }
    return written;
}

} // namespace apptest
