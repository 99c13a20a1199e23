// What a device model sees of the line beyond the requests it answers: every frame before it is
// decoded (a sleeping or restarting instrument hears nothing), what became of each frame, and the
// replies. The simulator calls it on its worker thread, without any of its locks held.
#pragma once

#include <optional>
#include <string>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FrameReceiver.h"
#include "tools/probe-sim/Reply.h"

namespace probesim
{

enum class FrameFate
{
    Damaged,      // not a well-formed frame of the line's framing
    OtherAddress, // well formed, for another slave
    Broadcast,    // well formed, address 0
    Addressed,    // well formed, for this device
};

class LineObserver
{
public:
    virtual ~LineObserver() = default;

    // Runs first for every frame cut from the line. A note means the device did not hear the
    // frame: it is logged with the note and goes no further (no decoding, no fault, no reply).
    virtual std::optional<std::string> Intercept(const RawFrame& frame, FramingMode mode)
    {
        (void)frame;
        (void)mode;
        return std::nullopt;
    }
    // Runs for every frame the device heard, before it acts on it.
    virtual void Received(FrameFate fate) { (void)fate; }
    // Runs for what the device made of every addressed request (a silent reply included), before
    // faults spoil or swallow it.
    virtual void Answered(const Reply& reply) { (void)reply; }
    // Runs when a reply has gone out whole, with the time of its last byte (a late reply goes out
    // long after it was made).
    virtual void Sent(Clock::time_point end) { (void)end; }
};

} // namespace probesim
