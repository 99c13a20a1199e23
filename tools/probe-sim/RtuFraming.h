// RTU framing: binary bytes followed by the CRC-16 (low byte first); a frame ends at a silence on
// the line.
#pragma once

#include <string>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

std::vector<uint8_t> EncodeRtu(const Adu& adu);
// nullopt with the reason when the frame is too short or its CRC does not match.
std::optional<Adu> DecodeRtu(std::span<const uint8_t> frame, std::string& problem);
// Spoils the CRC of an encoded frame (a fault the master must notice).
void CorruptRtuChecksum(std::vector<uint8_t>& frame);
// Bytes read without a silence between them, cut into the frames a device on the wire would have
// heard: a frame with a correct CRC whole stays whole; otherwise as many frames with a correct CRC
// as the bytes hold, each stretch between them a (damaged) frame of its own. The lengths of the
// frames in order; one length, the whole, when nothing better is found.
std::vector<size_t> SplitRtuRun(std::span<const uint8_t> bytes);

class RtuReceiver final : public FrameReceiver
{
public:
    explicit RtuReceiver(std::chrono::milliseconds silence) : m_silence(silence) {}

    void Feed(std::span<const uint8_t> bytes, Clock::time_point now) override;
    std::vector<RawFrame> Take(Clock::time_point now) override;
    std::optional<Clock::time_point> Deadline() const override;
    void Reset() override;

private:
    struct Arrival
    {
        size_t offset; // of the first byte of a read in m_current
        Clock::time_point at;
    };

    void Finish();
    static Clock::time_point ArrivalOf(const std::vector<Arrival>& arrivals, size_t offset);

    std::chrono::milliseconds m_silence;
    RawFrame m_current;
    std::vector<Arrival> m_arrivals; // of m_current's bytes, oldest first
    std::vector<RawFrame> m_done;
};

} // namespace probesim
