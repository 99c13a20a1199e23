#include "tools/probe-sim/RtuFraming.h"

#include <utility>

#include "tools/probe-sim/Checksums.h"

namespace probesim
{

namespace
{

constexpr size_t kMinRtuFrame = 4; // address, function, CRC

} // namespace

std::vector<uint8_t> EncodeRtu(const Adu& adu)
{
    std::vector<uint8_t> frame;
    frame.reserve(adu.data.size() + 4);
    frame.push_back(adu.address);
    frame.push_back(adu.function);
    frame.insert(frame.end(), adu.data.begin(), adu.data.end());
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

std::optional<Adu> DecodeRtu(std::span<const uint8_t> frame, std::string& problem)
{
    if (frame.size() < kMinRtuFrame)
    {
        problem = "short frame (" + std::to_string(frame.size()) + " bytes)";
        return std::nullopt;
    }
    const auto body = frame.first(frame.size() - 2);
    const uint16_t crc = Crc16(body);
    const uint16_t received = static_cast<uint16_t>(frame[frame.size() - 2] | (frame[frame.size() - 1] << 8));
    if (crc != received)
    {
        problem = "bad CRC";
        return std::nullopt;
    }
    return Adu{body[0], body[1], std::vector<uint8_t>(body.begin() + 2, body.end())};
}

void CorruptRtuChecksum(std::vector<uint8_t>& frame)
{
    if (!frame.empty())
        frame.back() ^= 0xFF;
}

void RtuReceiver::Feed(std::span<const uint8_t> bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    // Bytes that come after the silence belong to a new frame even when the worker was late to
    // look at the clock.
    if (!m_current.bytes.empty() && now - m_current.lastByte >= m_silence)
        Finish();
    for (uint8_t byte : bytes)
    {
        if (m_current.bytes.empty())
            m_current.firstByte = now;
        m_current.bytes.push_back(byte);
        if (m_current.bytes.size() >= kMaxFrameBytes)
        {
            m_current.lastByte = now;
            Finish();
        }
    }
    if (!m_current.bytes.empty())
        m_current.lastByte = now;
}

std::vector<RawFrame> RtuReceiver::Take(Clock::time_point now)
{
    if (!m_current.bytes.empty() && now - m_current.lastByte >= m_silence)
        Finish();
    return std::exchange(m_done, {});
}

std::optional<Clock::time_point> RtuReceiver::Deadline() const
{
    if (m_current.bytes.empty())
        return std::nullopt;
    return m_current.lastByte + m_silence;
}

void RtuReceiver::Reset()
{
    m_current = {};
    m_done.clear();
}

void RtuReceiver::Finish()
{
    m_done.push_back(std::move(m_current));
    m_current = {};
}

} // namespace probesim
