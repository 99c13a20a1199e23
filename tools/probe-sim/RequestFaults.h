// Misbehaviour that waits for a particular request rather than the next one: a write to a given
// register refused with an exception or going unheard, and the line lost (the instrument hears nothing any
// more) once a given command or register write has been carried out. FaultScript (Fault.h) serves the faults
// of the next requests; these apply whenever their request comes, and only to requests addressed to the
// instrument (a lost line hears nothing at all). Thread-safe.
//
//     sim.RequestFaults().Refuse(RequestMatch::Write(49463), ExceptionCode::IllegalFieldValue);
//     sim.RequestFaults().LoseLineAfter(RequestMatch::Write(SensorCommandRegisterOf(1), 0xE000));
//     ... the probe is in calibration mode, and nothing answers any more ...
//     sim.RequestFaults().RestoreLine();
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

// The request a fault waits for.
struct RequestMatch
{
    std::optional<uint8_t> function; // any function when not given
    // A register write (function 16) whose registers include this one ...
    std::optional<uint16_t> writtenRegister;
    // ... with this value written there (a command word).
    std::optional<uint16_t> value;
    // A holding register read (function 3) whose registers include this one.
    std::optional<uint16_t> readRegister;

    // A write that covers the register (with the value there, when given): a device or sensor
    // command is a write of its word to the command register.
    static RequestMatch Write(uint16_t registerNumber, std::optional<uint16_t> value = std::nullopt);
    static RequestMatch Function(uint8_t function) { return {.function = function}; }
    static RequestMatch Read(uint16_t registerNumber);

    bool Matches(const Adu& request) const;
};

class RequestFaults
{
public:
    static constexpr unsigned kEveryTime = 0;

    // The next `times` requests that match (kEveryTime: all of them) are refused with the exception
    // and not carried out, so nothing they would write is stored.
    void Refuse(const RequestMatch& match, ExceptionCode code, unsigned times = 1);
    // The next `times` requests that match (kEveryTime: all of them) go unheard, as a request lost
    // on the line: not carried out and not answered, so the master's request times out.
    void Drop(const RequestMatch& match, unsigned times = 1);
    // Once a request that matches has been carried out, the line is lost: no request reaches the
    // instrument any more (none is carried out, none answered) until RestoreLine, or for `duration`
    // when one is given. With `answered` the reply to the matching request still goes out;
    // without, the line is lost before it. Once: the next match only.
    void LoseLineAfter(const RequestMatch& match,
                       std::optional<std::chrono::milliseconds> duration = std::nullopt,
                       bool answered = true);
    // The line is lost now (for `duration` when given), or comes back.
    void LoseLine(std::optional<std::chrono::milliseconds> duration = std::nullopt);
    void RestoreLine();
    bool LineLost() const;
    void Clear(); // every waiting fault; a lost line comes back
    size_t Pending() const;

    // The worker's side.
    bool LostAt(Clock::time_point at) const;
    std::optional<ExceptionCode> RefusalFor(const Adu& request);
    // Whether the request goes unheard (Drop).
    bool Dropped(const Adu& request);
    enum class Aftermath
    {
        None,
        LoseAfterReply,  // the reply to this request is the last thing the master hears
        LoseBeforeReply, // the request was carried out; its reply is lost with the line
    };
    // After the request was carried out: whether it takes the line with it.
    Aftermath Handled(const Adu& request, Clock::time_point now);

private:
    struct Refusal
    {
        RequestMatch match;
        ExceptionCode code{};
        unsigned left = 1;
    };
    struct Loss
    {
        RequestMatch match;
        std::optional<std::chrono::milliseconds> duration;
        bool answered = true;
    };

    void LoseLocked(Clock::time_point from, std::optional<std::chrono::milliseconds> duration);
    // The first entry that matches, counted down; nullopt when none does. Under m_mutex.
    static std::optional<ExceptionCode> TakeMatch(std::vector<Refusal>& list, const Adu& request);

    mutable std::mutex m_mutex;
    std::vector<Refusal> m_refusals;
    std::vector<Refusal> m_drops; // the code unused
    std::vector<Loss> m_losses;
    bool m_lost = false;
    std::optional<Clock::time_point> m_lostUntil; // with m_lost: back then
};

} // namespace probesim
