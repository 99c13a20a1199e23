#include "tools/probe-sim/AsciiFraming.h"

#include <utility>

#include "tools/probe-sim/Checksums.h"

namespace probesim
{

namespace
{

constexpr char kHexDigits[] = "0123456789ABCDEF";
// ':' + address + function + LRC + CR LF
constexpr size_t kMinAsciiFrame = 9;

void AppendHex(std::vector<uint8_t>& out, uint8_t byte)
{
    out.push_back(static_cast<uint8_t>(kHexDigits[byte >> 4]));
    out.push_back(static_cast<uint8_t>(kHexDigits[byte & 0x0F]));
}

int HexValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::vector<uint8_t> EncodeAscii(const Adu& adu)
{
    std::vector<uint8_t> binary;
    binary.reserve(adu.data.size() + 2);
    binary.push_back(adu.address);
    binary.push_back(adu.function);
    binary.insert(binary.end(), adu.data.begin(), adu.data.end());

    std::vector<uint8_t> frame;
    frame.reserve(2 * binary.size() + 5);
    frame.push_back(':');
    for (uint8_t byte : binary)
        AppendHex(frame, byte);
    AppendHex(frame, Lrc(binary));
    frame.push_back('\r');
    frame.push_back('\n');
    return frame;
}

std::optional<Adu> DecodeAscii(std::span<const uint8_t> frame, std::string& problem)
{
    if (frame.size() < kMinAsciiFrame)
    {
        problem = "short frame (" + std::to_string(frame.size()) + " characters)";
        return std::nullopt;
    }
    if (frame.front() != ':' || frame[frame.size() - 2] != '\r' || frame.back() != '\n')
    {
        problem = "not framed by ':' and CR LF";
        return std::nullopt;
    }
    const auto hex = frame.subspan(1, frame.size() - 3);
    if (hex.size() % 2 != 0)
    {
        problem = "odd number of hexadecimal characters";
        return std::nullopt;
    }
    std::vector<uint8_t> binary;
    binary.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2)
    {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0)
        {
            problem = "invalid hexadecimal character";
            return std::nullopt;
        }
        binary.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    const uint8_t lrc = binary.back();
    binary.pop_back();
    if (Lrc(binary) != lrc)
    {
        problem = "bad LRC";
        return std::nullopt;
    }
    return Adu{binary[0], binary[1], std::vector<uint8_t>(binary.begin() + 2, binary.end())};
}

void CorruptAsciiChecksum(std::vector<uint8_t>& frame)
{
    if (frame.size() < kMinAsciiFrame)
        return;
    const size_t at = frame.size() - 4;
    const int high = HexValue(frame[at]);
    const int low = HexValue(frame[at + 1]);
    const uint8_t lrc = static_cast<uint8_t>(((high < 0 ? 0 : high) << 4 | (low < 0 ? 0 : low)) ^ 0xFF);
    frame[at] = static_cast<uint8_t>(kHexDigits[lrc >> 4]);
    frame[at + 1] = static_cast<uint8_t>(kHexDigits[lrc & 0x0F]);
}

void AsciiReceiver::Feed(std::span<const uint8_t> bytes, Clock::time_point now)
{
    for (uint8_t byte : bytes)
    {
        if (!m_inFrame && !m_current.bytes.empty() && now - m_current.lastByte >= m_noiseSilence)
            Finish();
        if (byte == ':')
        {
            // A colon always starts a frame; whatever came before it is incomplete.
            if (!m_current.bytes.empty())
                Finish();
            m_inFrame = true;
        }
        if (m_current.bytes.empty())
            m_current.firstByte = now;
        m_current.bytes.push_back(byte);
        m_current.lastByte = now;
        if ((m_inFrame && byte == '\n') || m_current.bytes.size() >= kMaxFrameBytes)
            Finish();
    }
}

std::vector<RawFrame> AsciiReceiver::Take(Clock::time_point now)
{
    if (!m_inFrame && !m_current.bytes.empty() && now - m_current.lastByte >= m_noiseSilence)
        Finish();
    return std::exchange(m_done, {});
}

std::optional<Clock::time_point> AsciiReceiver::Deadline() const
{
    if (m_inFrame || m_current.bytes.empty())
        return std::nullopt;
    return m_current.lastByte + m_noiseSilence;
}

void AsciiReceiver::Reset()
{
    m_inFrame = false;
    m_current = {};
    m_done.clear();
}

void AsciiReceiver::Finish()
{
    m_done.push_back(std::move(m_current));
    m_current = {};
    m_inFrame = false;
}

} // namespace probesim
