#include "tools/probe-sim/FrameLog.h"

namespace probesim
{

void FrameLog::Append(LoggedFrame frame)
{
    {
        std::lock_guard lock(m_mutex);
        (frame.direction == Direction::Received ? m_received : m_sent) += 1;
        m_frames.push_back(std::move(frame));
        if (m_frames.size() > kCapacity)
            m_frames.pop_front();
    }
    m_changed.notify_all();
}

void FrameLog::Clear()
{
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_received = 0;
    m_sent = 0;
}

std::vector<LoggedFrame> FrameLog::Frames() const
{
    std::lock_guard lock(m_mutex);
    return {m_frames.begin(), m_frames.end()};
}

std::vector<LoggedFrame> FrameLog::Received() const
{
    return Select(Direction::Received);
}

std::vector<LoggedFrame> FrameLog::Sent() const
{
    return Select(Direction::Sent);
}

size_t FrameLog::ReceivedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

size_t FrameLog::SentCount() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

bool FrameLog::WaitForReceived(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_received >= count; });
}

bool FrameLog::WaitForSent(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_sent >= count; });
}

std::vector<LoggedFrame> FrameLog::Select(Direction direction) const
{
    std::lock_guard lock(m_mutex);
    std::vector<LoggedFrame> selected;
    for (const LoggedFrame& frame : m_frames)
    {
        if (frame.direction == direction)
            selected.push_back(frame);
    }
    return selected;
}

std::string Describe(const LoggedFrame& frame)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = frame.direction == Direction::Received ? "<-" : "->";
    for (uint8_t byte : frame.bytes)
    {
        line += ' ';
        line += kHex[byte >> 4];
        line += kHex[byte & 0x0F];
    }
    line += frame.wellFormed ? " ok" : " malformed";
    if (!frame.note.empty())
        line += " (" + frame.note + ")";
    return line;
}

} // namespace probesim
