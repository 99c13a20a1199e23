// Cuts the byte stream of the line into frames by the end-of-frame rule of a framing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tools/probe-sim/MasterLine.h"

namespace probesim
{

using Clock = std::chrono::steady_clock;

struct RawFrame
{
    std::vector<uint8_t> bytes;
    Clock::time_point firstByte;
    Clock::time_point lastByte;
    // What the master's port was set to when the first byte came; nullopt when nobody said.
    std::optional<MasterLine> masterLine;
};

class FrameReceiver
{
public:
    virtual ~FrameReceiver() = default;

    // Takes bytes as they are read from the line at time now.
    virtual void Feed(std::span<const uint8_t> bytes, Clock::time_point now) = 0;
    // Frames that are complete at time now, oldest first.
    virtual std::vector<RawFrame> Take(Clock::time_point now) = 0;
    // The time at which a frame in progress ends by silence alone; nullopt when none does.
    virtual std::optional<Clock::time_point> Deadline() const = 0;
    // Drops everything received so far (a change of framing mode).
    virtual void Reset() = 0;
};

// Upper bound of one frame on the line, far above the largest packet a device announces, so that
// a stream without an end cannot grow without bound.
inline constexpr size_t kMaxFrameBytes = 8192;

} // namespace probesim
