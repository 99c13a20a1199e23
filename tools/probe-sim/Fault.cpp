#include "tools/probe-sim/Fault.h"

namespace probesim
{

Fault operator|(Fault a, const Fault& b)
{
    if (b.delay.count() != 0)
        a.delay = b.delay;
    a.noReply = a.noReply || b.noReply;
    if (b.keepBytes)
        a.keepBytes = b.keepBytes;
    if (b.gapAfter)
    {
        a.gapAfter = b.gapAfter;
        a.gap = b.gap;
    }
    a.badChecksum = a.badChecksum || b.badChecksum;
    if (b.replyAddress)
        a.replyAddress = b.replyAddress;
    if (b.replyFunction)
        a.replyFunction = b.replyFunction;
    a.busy = a.busy || b.busy;
    if (b.refusal)
        a.refusal = b.refusal;
    a.echoRequest = a.echoRequest || b.echoRequest;
    if (b.shortBy)
        a.shortBy = b.shortBy;
    return a;
}

void FaultScript::Queue(const Fault& fault, unsigned times)
{
    std::lock_guard lock(m_mutex);
    m_queue.insert(m_queue.end(), times, fault);
}

void FaultScript::SetPersistent(const Fault& fault)
{
    std::lock_guard lock(m_mutex);
    m_persistent = fault;
}

void FaultScript::ClearPersistent()
{
    std::lock_guard lock(m_mutex);
    m_persistent = {};
}

void FaultScript::Clear()
{
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_persistent = {};
}

size_t FaultScript::Pending() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

Fault FaultScript::Next()
{
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return m_persistent;
    Fault fault = m_queue.front();
    m_queue.pop_front();
    return fault;
}

} // namespace probesim
