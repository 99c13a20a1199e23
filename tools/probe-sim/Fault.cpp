#include "tools/probe-sim/Fault.h"

namespace probesim
{

Fault Fault::Late(std::chrono::milliseconds ms)
{
    Fault f;
    f.delay = ms;
    return f;
}

Fault Fault::NoReply()
{
    Fault f;
    f.noReply = true;
    return f;
}

Fault Fault::Partial(size_t bytes)
{
    Fault f;
    f.keepBytes = bytes;
    return f;
}

Fault Fault::Gap(size_t afterBytes, std::chrono::milliseconds pause)
{
    Fault f;
    f.gapAfter = afterBytes;
    f.gap = pause;
    return f;
}

Fault Fault::BadChecksum()
{
    Fault f;
    f.badChecksum = true;
    return f;
}

Fault Fault::WrongAddress(uint8_t address)
{
    Fault f;
    f.replyAddress = address;
    return f;
}

Fault Fault::WrongFunction(uint8_t function)
{
    Fault f;
    f.replyFunction = function;
    return f;
}

Fault Fault::Busy()
{
    Fault f;
    f.busy = true;
    return f;
}

Fault Fault::Echo()
{
    Fault f;
    f.echoRequest = true;
    return f;
}

bool Fault::IsNone() const
{
    return delay.count() == 0 && !noReply && !keepBytes && !gapAfter && !badChecksum && !replyAddress &&
           !replyFunction && !busy && !echoRequest;
}

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
    a.echoRequest = a.echoRequest || b.echoRequest;
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
