// What reaches a probe whose line is lost, as the line's silence check leaves it: the tries of the
// first exchange that went unanswered (with the wake-ups of a probe that may be asleep among them),
// then the check, woken, with its two tries, and nothing after it. For the binaries that link the
// simulated probe.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/probe-sim/FrameLog.h"

namespace testsupport
{

// A read of one register at 49001, the device type: the line's check (and the keep-alive's read).
inline bool IsSilenceCheck(const probesim::LoggedFrame& frame)
{
    constexpr unsigned kCheckOffset = 9000;
    return frame.adu && frame.adu->function == 3 && frame.adu->data.size() == 4 &&
           unsigned((frame.adu->data[0] << 8) | frame.adu->data[1]) == kCheckOffset &&
           ((frame.adu->data[2] << 8) | frame.adu->data[3]) == 1;
}

inline bool IsWakeUp(const probesim::LoggedFrame& frame)
{
    return frame.adu && frame.adu->address == 200;
}

// "" when the frames the probe received while its line was lost are one exchange and then the check;
// otherwise what is wrong, followed by those frames.
inline std::string OneExchangeThenTheCheck(const std::vector<probesim::LoggedFrame>& received)
{
    std::vector<probesim::LoggedFrame> unheard;
    for (const probesim::LoggedFrame& frame : received)
    {
        // A request that took the line with it was heard, and answered unless its reply went too.
        const bool answeredThenLost = frame.note.find("line lost after it") != std::string::npos &&
                                      frame.note.find("no reply") == std::string::npos;
        if (frame.note.find("line lost") != std::string::npos && !answeredThenLost)
            unheard.push_back(frame);
    }
    std::string log;
    for (const probesim::LoggedFrame& frame : unheard)
        log += "\n" + probesim::Describe(frame);

    std::vector<probesim::LoggedFrame> requests;
    for (const probesim::LoggedFrame& frame : unheard)
        if (!IsWakeUp(frame))
            requests.push_back(frame);
    const size_t n = requests.size();
    if (n < 3 || !IsSilenceCheck(requests[n - 1]) || !IsSilenceCheck(requests[n - 2]))
        return "not an exchange followed by the check's two tries:" + log;
    // The exchange may be a read of the same register (the keep-alive's): its tries are alike.
    for (size_t i = 0; i + 2 < n; ++i)
        if (requests[i].bytes != requests.front().bytes)
            return "more than one exchange before the check:" + log;
    // The wake-up comes right before the check's first try, and nothing after its second.
    const size_t all = unheard.size();
    if (!IsSilenceCheck(unheard[all - 1]) || !IsSilenceCheck(unheard[all - 2]) || !IsWakeUp(unheard[all - 3]))
        return "the check was not woken, or something followed it:" + log;
    return "";
}

} // namespace testsupport
