// Chooses the framing unit for the line's mode.
#pragma once

#include <memory>
#include <string>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

std::vector<uint8_t> EncodeFrame(FramingMode mode, const Adu& adu);
std::optional<Adu> DecodeFrame(FramingMode mode, std::span<const uint8_t> frame, std::string& problem);
void CorruptChecksum(FramingMode mode, std::vector<uint8_t>& frame);
// Bytes on the line of a frame whose address, function code and data are aduBytes long.
size_t EncodedLength(FramingMode mode, size_t aduBytes);
// silence: the RTU end-of-frame silence, and the time after which ASCII line noise is reported.
std::unique_ptr<FrameReceiver> MakeReceiver(FramingMode mode, std::chrono::milliseconds silence);

} // namespace probesim
