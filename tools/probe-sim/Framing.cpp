#include "tools/probe-sim/Framing.h"

#include "tools/probe-sim/AsciiFraming.h"
#include "tools/probe-sim/RtuFraming.h"

namespace probesim
{

std::vector<uint8_t> EncodeFrame(FramingMode mode, const Adu& adu)
{
    return mode == FramingMode::Ascii ? EncodeAscii(adu) : EncodeRtu(adu);
}

std::optional<Adu> DecodeFrame(FramingMode mode, std::span<const uint8_t> frame, std::string& problem)
{
    return mode == FramingMode::Ascii ? DecodeAscii(frame, problem) : DecodeRtu(frame, problem);
}

void CorruptChecksum(FramingMode mode, std::vector<uint8_t>& frame)
{
    if (mode == FramingMode::Ascii)
        CorruptAsciiChecksum(frame);
    else
        CorruptRtuChecksum(frame);
}

size_t EncodedLength(FramingMode mode, size_t aduBytes)
{
    // ASCII: ':', two characters per byte and for the LRC, CR LF. RTU: the bytes and the CRC.
    return mode == FramingMode::Ascii ? 2 * aduBytes + 5 : aduBytes + 2;
}

std::unique_ptr<FrameReceiver> MakeReceiver(FramingMode mode, std::chrono::milliseconds silence)
{
    if (mode == FramingMode::Ascii)
        return std::make_unique<AsciiReceiver>(silence);
    return std::make_unique<RtuReceiver>(silence);
}

} // namespace probesim
