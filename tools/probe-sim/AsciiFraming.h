// ASCII framing: ':' then two upper-case hexadecimal characters per byte and the LRC, then CR LF;
// a frame ends at the LF.
#pragma once

#include <string>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

std::vector<uint8_t> EncodeAscii(const Adu& adu);
// nullopt with the reason for anything but a well-formed frame. Lower-case hexadecimal digits are
// refused: the master must write them in upper case.
std::optional<Adu> DecodeAscii(std::span<const uint8_t> frame, std::string& problem);
// Replaces the LRC characters of an encoded frame by those of another value.
void CorruptAsciiChecksum(std::vector<uint8_t>& frame);

class AsciiReceiver final : public FrameReceiver
{
public:
    // Bytes outside a frame (line noise, a master speaking RTU) are handed on as one frame after
    // the given silence or at the next ':', so that they show up in the frame log.
    explicit AsciiReceiver(std::chrono::milliseconds noiseSilence) : m_noiseSilence(noiseSilence) {}

    void Feed(std::span<const uint8_t> bytes, Clock::time_point now) override;
    std::vector<RawFrame> Take(Clock::time_point now) override;
    std::optional<Clock::time_point> Deadline() const override;
    void Reset() override;

private:
    void Finish();

    std::chrono::milliseconds m_noiseSilence;
    bool m_inFrame = false;
    RawFrame m_current;
    std::vector<RawFrame> m_done;
};

} // namespace probesim
