// Frames waiting to be written to the line: each at its due time, after the frames before it,
// optionally with a pause inside. Used by the worker thread only.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "tools/probe-sim/FrameLog.h"

namespace probesim
{

struct OutgoingFrame
{
    std::vector<uint8_t> bytes;
    Clock::time_point due;            // earliest time of the first byte
    std::optional<size_t> pauseAfter; // bytes written before the pause
    std::chrono::milliseconds pause{0};
    // What the log says of the frame once it has been written.
    bool wellFormed = true;
    std::optional<Adu> adu;
    std::string note;
};

class OutputQueue
{
public:
    void Push(OutgoingFrame frame);
    // Writes what is due to the non-blocking descriptor fd; every frame written completely goes to
    // the log. A frame that cannot be written (the line is gone) is logged with the error and
    // dropped. The end of the last frame written completely, if any.
    std::optional<Clock::time_point> Flush(int fd, FrameLog& log);
    // The time at which Flush has work next; nullopt when nothing is queued or the line is full.
    std::optional<Clock::time_point> NextDue() const;
    // The line refused more bytes: wait until the descriptor is writable.
    bool WaitingForWritable() const { return m_blocked; }

private:
    std::deque<OutgoingFrame> m_frames;
    size_t m_written = 0;      // of the front frame
    bool m_pauseTaken = false; // of the front frame
    Clock::time_point m_resumeAt;
    Clock::time_point m_firstByteAt;
    bool m_blocked = false;
};

} // namespace probesim
