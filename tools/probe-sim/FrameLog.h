// Every frame the simulator received or sent, with steady-clock times, for tests to read and
// wait on. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

enum class Direction
{
    Received,
    Sent,
};

struct LoggedFrame
{
    Direction direction = Direction::Received;
    Clock::time_point start; // first byte read or written
    Clock::time_point end;   // last byte read or written
    std::vector<uint8_t> bytes;
    // A complete frame of the line's framing with a correct checksum. Sent frames spoiled by a
    // fault (partial, bad checksum) are not.
    bool wellFormed = false;
    std::optional<Adu> adu; // decoded (received) or encoded (sent) when there was one
    std::string note;       // why a frame was not answered, which fault was applied, ...
};

class FrameLog
{
public:
    // The log keeps the newest frames only; the counts go on counting.
    static constexpr size_t kCapacity = 10000;

    void Append(LoggedFrame frame);
    void Clear(); // frames and counts

    std::vector<LoggedFrame> Frames() const;
    std::vector<LoggedFrame> Received() const;
    std::vector<LoggedFrame> Sent() const;
    size_t ReceivedCount() const; // since construction or Clear
    size_t SentCount() const;

    // Wait until at least count frames have been received (sent) since construction or Clear; false
    // on time-out. A received frame is logged after the device has acted on it.
    bool WaitForReceived(size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForSent(size_t count, std::chrono::milliseconds timeout) const;

private:
    std::vector<LoggedFrame> Select(Direction direction) const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<LoggedFrame> m_frames;
    size_t m_received = 0;
    size_t m_sent = 0;
};

// One line per frame ("<- 01 03 00 00 00 01 84 0A ok"), for failure messages and the program's
// verbose output.
std::string Describe(const LoggedFrame& frame);

} // namespace probesim
