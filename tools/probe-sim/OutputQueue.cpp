#include "tools/probe-sim/OutputQueue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace probesim
{

void OutputQueue::Push(OutgoingFrame frame)
{
    m_frames.push_back(std::move(frame));
}

std::optional<Clock::time_point> OutputQueue::NextDue() const
{
    if (m_frames.empty() || m_blocked)
        return std::nullopt;
    return std::max(m_frames.front().due, m_resumeAt);
}

std::optional<Clock::time_point> OutputQueue::Flush(int fd, FrameLog& log)
{
    std::optional<Clock::time_point> sent;
    m_blocked = false;
    while (!m_frames.empty())
    {
        OutgoingFrame& frame = m_frames.front();
        const auto now = Clock::now();
        if (now < std::max(frame.due, m_resumeAt))
            return sent;
        size_t end = frame.bytes.size();
        if (frame.pauseAfter && !m_pauseTaken && *frame.pauseAfter < end)
            end = *frame.pauseAfter;
        if (m_written == 0)
            m_firstByteAt = now;
        while (m_written < end)
        {
            const ssize_t n = write(fd, frame.bytes.data() + m_written, end - m_written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            {
                m_blocked = true;
                return sent;
            }
            if (n <= 0)
            {
                LoggedFrame entry{Direction::Sent,
                                  now,
                                  now,
                                  frame.bytes,
                                  false,
                                  frame.adu,
                                  std::string("write failed: ") + std::strerror(errno)};
                log.Append(std::move(entry));
                m_frames.pop_front();
                m_written = 0;
                m_pauseTaken = false;
                m_resumeAt = {};
                return sent;
            }
            m_written += static_cast<size_t>(n);
        }
        if (m_written < frame.bytes.size())
        {
            // The pause inside the frame.
            m_pauseTaken = true;
            m_resumeAt = Clock::now() + frame.pause;
            continue;
        }
        sent = Clock::now();
        log.Append(LoggedFrame{Direction::Sent, m_firstByteAt, *sent, std::move(frame.bytes),
                               frame.wellFormed, std::move(frame.adu), std::move(frame.note)});
        m_frames.pop_front();
        m_written = 0;
        m_pauseTaken = false;
        m_resumeAt = {};
    }
    return sent;
}

} // namespace probesim
