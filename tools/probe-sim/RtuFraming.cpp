#include "tools/probe-sim/RtuFraming.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "tools/probe-sim/Checksums.h"

namespace probesim
{

namespace
{

constexpr size_t kMinRtuFrame = 4; // address, function, CRC
// Several of the master's longest frames; a longer run is line noise, and the search for the frames
// in a run grows with the square of its length.
constexpr size_t kMaxSplitBytes = 4096;

// The CRC a frame carries in its two bytes from `at` on, low byte first.
uint16_t CarriedCrc(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

bool HasGoodCrc(std::span<const uint8_t> frame)
{
    return frame.size() >= kMinRtuFrame && Crc16(frame.first(frame.size() - 2)) == CarriedCrc(frame, frame.size() - 2);
}

// For each byte, the lengths of the frames with a correct CRC that start there.
std::vector<std::vector<size_t>> FramesByStart(std::span<const uint8_t> bytes)
{
    const size_t n = bytes.size();
    std::vector<std::vector<size_t>> frames(n);
    for (size_t start = 0; start + kMinRtuFrame <= n; ++start)
    {
        uint16_t crc = 0xFFFF;
        // The body is bytes[start..last], its CRC the two bytes after it.
        for (size_t last = start; last + 2 < n; ++last)
        {
            crc = Crc16Step(crc, bytes[last]);
            const size_t length = last - start + 3;
            if (length >= kMinRtuFrame && crc == CarriedCrc(bytes, last + 1))
                frames[start].push_back(length);
        }
    }
    return frames;
}

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
    if (!HasGoodCrc(frame))
    {
        problem = "bad CRC";
        return std::nullopt;
    }
    const auto body = frame.first(frame.size() - 2);
    return Adu{body[0], body[1], std::vector<uint8_t>(body.begin() + 2, body.end())};
}

void CorruptRtuChecksum(std::vector<uint8_t>& frame)
{
    if (!frame.empty())
        frame.back() ^= 0xFF;
}

std::vector<size_t> SplitRtuRun(std::span<const uint8_t> bytes)
{
    const size_t n = bytes.size();
    if (n <= kMinRtuFrame || n > kMaxSplitBytes || HasGoodCrc(bytes))
        return {n};
    const std::vector<std::vector<size_t>> frames = FramesByStart(bytes);

    // The best cut of the bytes from i on: the most good frames, then the fewest frames in all (a
    // good frame is not cut where its body happens to hold a correct CRC). Two states: at a frame
    // boundary, or within a damaged stretch, which the next damaged byte only lengthens.
    struct Cut
    {
        size_t good = 0;
        size_t frames = 0;
        size_t goodLength = 0; // of the good frame that starts here; 0: a damaged byte
    };
    std::vector<Cut> atBoundary(n + 1);
    std::vector<Cut> inStretch(n + 1);
    for (size_t i = n; i-- > 0;)
    {
        for (const bool stretch : {false, true})
        {
            Cut best{inStretch[i + 1].good, inStretch[i + 1].frames + (stretch ? 0 : 1), 0};
            for (const size_t length : frames[i])
            {
                const Cut& after = atBoundary[i + length];
                if (after.good + 1 > best.good || (after.good + 1 == best.good && after.frames + 1 < best.frames))
                    best = {after.good + 1, after.frames + 1, length};
            }
            (stretch ? inStretch : atBoundary)[i] = best;
        }
    }

    std::vector<size_t> lengths;
    std::optional<size_t> stretchStart;
    for (size_t i = 0; i < n;)
    {
        const Cut& cut = stretchStart ? inStretch[i] : atBoundary[i];
        if (cut.goodLength == 0)
        {
            if (!stretchStart)
                stretchStart = i;
            ++i;
            continue;
        }
        if (stretchStart)
            lengths.push_back(i - *std::exchange(stretchStart, std::nullopt));
        lengths.push_back(cut.goodLength);
        i += cut.goodLength;
    }
    if (stretchStart)
        lengths.push_back(n - *stretchStart);
    return lengths;
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
        if (m_arrivals.empty() || m_arrivals.back().at != now)
            m_arrivals.push_back({m_current.bytes.size(), now});
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
    m_arrivals.clear();
    m_done.clear();
}

Clock::time_point RtuReceiver::ArrivalOf(const std::vector<Arrival>& arrivals, size_t offset)
{
    const auto later = std::upper_bound(arrivals.begin(), arrivals.end(), offset,
                                        [](size_t at, const Arrival& arrival) { return at < arrival.offset; });
    return later == arrivals.begin() ? Clock::time_point() : std::prev(later)->at;
}

void RtuReceiver::Finish()
{
    RawFrame run = std::exchange(m_current, {});
    const std::vector<Arrival> arrivals = std::exchange(m_arrivals, {});
    // Frames that came while nobody read the line arrive in one read, with no silence between
    // them to tell them apart.
    const std::vector<size_t> lengths = SplitRtuRun(run.bytes);
    if (lengths.size() <= 1)
    {
        m_done.push_back(std::move(run));
        return;
    }
    size_t offset = 0;
    for (const size_t length : lengths)
    {
        RawFrame frame;
        frame.bytes.assign(run.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                           run.bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
        frame.firstByte = ArrivalOf(arrivals, offset);
        frame.lastByte = ArrivalOf(arrivals, offset + length - 1);
        frame.masterLine = run.masterLine;
        m_done.push_back(std::move(frame));
        offset += length;
    }
}

} // namespace probesim
