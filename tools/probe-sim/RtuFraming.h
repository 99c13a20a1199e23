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

class RtuReceiver final : public FrameReceiver
{
public:
    explicit RtuReceiver(std::chrono::milliseconds silence) : m_silence(silence) {}

    void Feed(std::span<const uint8_t> bytes, Clock::time_point now) override;
    std::vector<RawFrame> Take(Clock::time_point now) override;
    std::optional<Clock::time_point> Deadline() const override;
    void Reset() override;

private:
    void Finish();

    std::chrono::milliseconds m_silence;
    RawFrame m_current;
    std::vector<RawFrame> m_done;
};

} // namespace probesim
