// Misbehaviour of the simulated instrument for one request, and the script that decides which
// request gets which.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "tools/probe-sim/Adu.h"

namespace probesim
{

// The fields combine: Fault::Late(50) | Fault::BadChecksum() answers late with a bad checksum.
struct Fault
{
    std::chrono::milliseconds delay{0}; // extra time before the reply starts
    bool noReply = false;               // the request is carried out, nothing is sent
    std::optional<size_t> keepBytes;    // only the first bytes of the reply frame are sent
    std::optional<size_t> gapAfter;     // a pause of `gap` after this many bytes of the reply
    std::chrono::milliseconds gap{0};
    bool badChecksum = false;             // CRC (RTU) or LRC (ASCII) spoiled
    std::optional<uint8_t> replyAddress;  // the reply carries this slave address
    std::optional<uint8_t> replyFunction; // the reply carries this function code
    bool busy = false;                    // exception 6 instead of carrying out the request
    std::optional<ExceptionCode> refusal; // this exception instead of carrying out the request
    bool echoRequest = false;             // the request comes back before the reply
    // A register read (3, 4) or identity (17) answered with this many data bytes fewer than it
    // would have, its byte count and checksum made to match: well formed, but short.
    std::optional<size_t> shortBy;

    static Fault None() { return {}; }
    static Fault Late(std::chrono::milliseconds ms) { return {.delay = ms}; }
    static Fault NoReply() { return {.noReply = true}; }
    static Fault Partial(size_t bytes) { return {.keepBytes = bytes}; }
    static Fault Gap(size_t afterBytes, std::chrono::milliseconds pause)
    {
        return {.gapAfter = afterBytes, .gap = pause};
    }
    static Fault BadChecksum() { return {.badChecksum = true}; }
    static Fault WrongAddress(uint8_t address) { return {.replyAddress = address}; }
    static Fault WrongFunction(uint8_t function) { return {.replyFunction = function}; }
    static Fault Busy() { return {.busy = true}; }
    static Fault Refused(ExceptionCode code) { return {.refusal = code}; }
    static Fault Echo() { return {.echoRequest = true}; }
    static Fault Short(size_t bytes) { return {.shortBy = bytes}; }

    friend Fault operator|(Fault a, const Fault& b);
};

// Requests addressed to the device take faults in order: one-shot faults first, then the
// persistent one. Broadcasts and frames for other addresses take none. Thread-safe.
class FaultScript
{
public:
    void Queue(const Fault& fault, unsigned times = 1);
    void SetPersistent(const Fault& fault);
    void ClearPersistent();
    void Clear(); // queue and persistent fault
    size_t Pending() const;

    // The worker's side: the fault for the next request addressed to the device.
    Fault Next();

private:
    mutable std::mutex m_mutex;
    std::deque<Fault> m_queue;
    Fault m_persistent;
};

} // namespace probesim
