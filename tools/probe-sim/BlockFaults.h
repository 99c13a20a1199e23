// Misbehaviour of the instrument's file machinery for particular blocks of a transfer (functions
// 100 and 101), picked by the block's number in the transfer or by its byte offset: a slow block, a
// refused one, one that goes unanswered, or a read block that carries fewer bytes than asked (what
// an instrument has ready; well formed, the rest follows at the next offset). A refused or
// unanswered block is not carried out, so the master's retry finds the transfer as it was.
// Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "tools/probe-sim/Adu.h"

namespace probesim
{

struct BlockFault
{
    std::chrono::milliseconds delay{0};   // carried out, answered this much later
    std::optional<ExceptionCode> refusal; // answered with this exception
    bool lost = false;                    // no answer at all
    std::optional<uint16_t> most;         // a read block answers at most this many bytes

    static BlockFault Slow(std::chrono::milliseconds delay) { return {.delay = delay}; }
    static BlockFault Short(uint16_t most) { return {.most = most}; }
    static BlockFault Refused(ExceptionCode code = ExceptionCode::InvalidFileBlock)
    {
        return {.refusal = code};
    }
    static BlockFault Lost() { return {.lost = true}; }
};

class BlockFaults
{
public:
    static constexpr unsigned kEveryTime = 0;

    // number: the n-th block request since the transfer was set up (1-based; repeated requests
    // count). times: how many matching requests take the fault (kEveryTime: all of them). A later
    // fault for the same number or offset replaces the earlier one.
    void AtBlock(unsigned number, BlockFault fault, unsigned times = 1);
    void AtOffset(uint32_t offset, BlockFault fault, unsigned times = 1);
    void Clear();
    size_t Pending() const;

    // The file functions' side: the fault for a block request, the one by number first.
    std::optional<BlockFault> Take(unsigned number, uint32_t offset);

private:
    struct Entry
    {
        BlockFault fault;
        unsigned left = 1; // kEveryTime: never used up
    };

    static std::optional<BlockFault> TakeFrom(std::map<uint32_t, Entry>& entries, uint32_t key);

    mutable std::mutex m_mutex;
    std::map<uint32_t, Entry> m_byNumber;
    std::map<uint32_t, Entry> m_byOffset;
};

} // namespace probesim
