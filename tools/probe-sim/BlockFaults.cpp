#include "tools/probe-sim/BlockFaults.h"

namespace probesim
{

void BlockFaults::AtBlock(unsigned number, BlockFault fault, unsigned times)
{
    std::lock_guard lock(m_mutex);
    m_byNumber[number] = {fault, times};
}

void BlockFaults::AtOffset(uint32_t offset, BlockFault fault, unsigned times)
{
    std::lock_guard lock(m_mutex);
    m_byOffset[offset] = {fault, times};
}

void BlockFaults::Clear()
{
    std::lock_guard lock(m_mutex);
    m_byNumber.clear();
    m_byOffset.clear();
}

size_t BlockFaults::Pending() const
{
    std::lock_guard lock(m_mutex);
    return m_byNumber.size() + m_byOffset.size();
}

std::optional<BlockFault> BlockFaults::Take(unsigned number, uint32_t offset)
{
    std::lock_guard lock(m_mutex);
    if (auto fault = TakeFrom(m_byNumber, number))
        return fault;
    return TakeFrom(m_byOffset, offset);
}

std::optional<BlockFault> BlockFaults::TakeFrom(std::map<uint32_t, Entry>& entries, uint32_t key)
{
    const auto it = entries.find(key);
    if (it == entries.end())
        return std::nullopt;
    const BlockFault fault = it->second.fault;
    if (it->second.left != kEveryTime && --it->second.left == 0)
        entries.erase(it);
    return fault;
}

} // namespace probesim
