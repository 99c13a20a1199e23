// Whatever a TCP peer sends, in whatever segments, becomes Modbus ASCII messages the same way: every
// message handed to a reader starts with ':', ends at its only CR LF and holds no byte from 0x80 up,
// neither buffer passes its bound, and how the bytes were cut into segments changes nothing.
// Input: [segment seed][stream bytes]; segment n is (seed + n) % 61 + 1 bytes long. Streams of up to
// 16 KiB: enough for the longest message and past it, and quick to run; the receive buffer's own
// bound (64 KiB) is the unit tests' to reach.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/IPAsciiAssembly.h"
#include "fuzz/FuzzCheck.h"

namespace
{

template <typename Bytes>
std::string Text(const Bytes& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.GetData()), buffer.GetLength());
}

void CheckMessage(const std::string& message)
{
    Check(message.size() >= 3 && message.front() == ':');
    Check(message.compare(message.size() - 2, 2, "\r\n") == 0);
    Check(message.find('\n') == message.size() - 1);
    for (char byte : message)
        Check(static_cast<unsigned char>(byte) < 0x80);
}

class Line
{
public:
    void Feed(const uint8_t* data, size_t size)
    {
        const uint32_t before = m_received.GetLength();
        bool overflowed = false;
        const sAsciiAssembly moved =
            AssembleAsciiMessages(m_raw, data, static_cast<uint32_t>(size), m_received,
                                  [&](AsciiDiscard reason, const uint8_t*, uint32_t)
                                  { overflowed |= reason == AsciiDiscard::ReceiveOverflow; });
        if (!overflowed)
            Check(m_received.GetLength() == before + moved.Delivered);
        m_bOverflowed = m_bOverflowed || overflowed;
        Check(m_received.GetLength() <= IP_MAX_RECEIVE_BUFFER_BYTES);
        Check(m_raw.GetLength() <= IP_MAX_ASCII_MESSAGE_BYTES);
        const std::string rest = Text(m_raw);
        Check(rest.empty() || (rest.front() == ':' && rest.find('\n') == std::string::npos));
    }
    std::vector<std::string> TakeAll()
    {
        std::vector<std::string> messages;
        CByteBuffer message;
        while (ExtractAsciiMessage(m_received, message))
        {
            messages.push_back(Text(message));
            CheckMessage(messages.back());
        }
        Check(m_received.GetLength() == 0);
        return messages;
    }
    bool Overflowed() const { return m_bOverflowed; }

private:
    CByteQueue m_raw;
    CByteQueue m_received;
    bool m_bOverflowed = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 0x4000)
        return 0;
    const uint8_t seed = data[0];
    const uint8_t* stream = data + 1;
    const size_t length = size - 1;

    Line whole;
    whole.Feed(stream, length);
    const std::vector<std::string> expected = whole.TakeAll();

    Line segmented;
    Line eager; // a reader that takes every message as soon as it is there
    std::vector<std::string> eagerMessages;
    size_t offset = 0;
    for (size_t n = 0; offset < length; ++n)
    {
        const size_t segment = std::min<size_t>((seed + n) % 61 + 1, length - offset);
        segmented.Feed(stream + offset, segment);
        eager.Feed(stream + offset, segment);
        for (std::string& message : eager.TakeAll())
            eagerMessages.push_back(std::move(message));
        offset += segment;
    }
    Check(segmented.TakeAll() == expected);
    // A reader that keeps up never meets a full receive buffer: it gets every message.
    Check(!eager.Overflowed());
    if (!whole.Overflowed())
        Check(eagerMessages == expected);
    return 0;
}
