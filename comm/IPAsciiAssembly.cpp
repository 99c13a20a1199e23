#include "comm/IPAsciiAssembly.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace
{

constexpr uint8_t kStart = ':';
constexpr uint8_t kCr = '\r';
constexpr uint8_t kLf = '\n';

// A byte below 0x80 as itself, a byte from 0x80 up as "%02X" of its low seven bits.
std::string Converted(const uint8_t* bytes, uint32_t count)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string converted;
    converted.reserve(2 * static_cast<size_t>(count));
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint8_t byte = bytes[i];
        if (byte < 0x80)
        {
            converted.push_back(static_cast<char>(byte));
            continue;
        }
        const uint8_t low = byte & 0x7F;
        converted.push_back(kHex[low >> 4]);
        converted.push_back(kHex[low & 0x0F]);
    }
    return converted;
}

} // namespace

BOOL CByteQueue::Append(uint32_t count, const void* bytes)
{
    if (count == 0)
        return TRUE;
    try
    {
        const auto* first = static_cast<const uint8_t*>(bytes);
        m_Bytes.insert(m_Bytes.end(), first, first + count);
        return TRUE;
    }
    catch (const std::bad_alloc&)
    {
        return FALSE;
    }
}

void CByteQueue::DropFront(uint32_t count)
{
    if (count >= GetLength())
    {
        Clear();
        return;
    }
    m_nHead += count;
    // The taken bytes go once they are at least as many as those left: each byte is moved to the
    // front at most once per doubling, so the moves add up to no more than the bytes appended.
    if (m_nHead >= m_Bytes.size() - m_nHead)
    {
        m_Bytes.erase(m_Bytes.begin(), m_Bytes.begin() + static_cast<std::ptrdiff_t>(m_nHead));
        m_nHead = 0;
    }
}

void CByteQueue::Clear()
{
    m_Bytes.clear();
    m_nHead = 0;
}

sAsciiAssembly AssembleAsciiMessages(CByteQueue& raw, const uint8_t* bytes, uint32_t count,
                                     CByteQueue& received, const AsciiDiscardSink& onDiscard)
{
    sAsciiAssembly result;
    const auto discard = [&](AsciiDiscard reason, const uint8_t* from, uint32_t n)
    {
        if (onDiscard)
            onDiscard(reason, from, n);
    };
    // What raw held is the start of one message: its ':' first and no LF. Only the new bytes are
    // searched, so that a message arriving in many small pieces is not searched again for each.
    const uint32_t held = raw.GetLength();
    if (!raw.Append(count, bytes))
    {
        raw.Clear();
        return result;
    }
    const uint8_t* data = raw.GetData();
    const uint32_t length = raw.GetLength();

    uint32_t start = 0; // the first byte not dealt with
    uint32_t searched = held;
    while (start < length)
    {
        const uint32_t from = std::max(start, searched);
        const auto* found = static_cast<const uint8_t*>(std::memchr(data + from, kLf, length - from));
        if (found == nullptr)
            break;
        const auto lf = static_cast<uint32_t>(found - data);
        // A ':' starts a message afresh: one that came before it was cut short.
        uint32_t colon = lf;
        while (colon > start && data[colon - 1] != kStart)
            --colon;
        const bool hasStart = colon > start;
        if (hasStart)
            --colon;
        const uint32_t messageLength = lf + 1 - colon;
        if (!hasStart || lf <= colon + 1 || data[lf - 1] != kCr)
            discard(AsciiDiscard::CorruptLine, data + start, lf + 1 - start);
        else if (messageLength > IP_MAX_ASCII_MESSAGE_BYTES)
            discard(AsciiDiscard::MessageTooLong, data + colon, messageLength);
        else
        {
            const std::string message = Converted(data + colon, messageLength);
            const auto size = static_cast<uint32_t>(message.size());
            if (received.GetLength() + size > IP_MAX_RECEIVE_BUFFER_BYTES)
            {
                discard(AsciiDiscard::ReceiveOverflow, received.GetData(), received.GetLength());
                received.Clear();
            }
            if (received.Append(size, message.data()))
            {
                ++result.Messages;
                result.Delivered += size;
            }
        }
        start = lf + 1;
        searched = start;
    }

    // Without an LF, only the bytes from the last ':' on can still become a message: among the new
    // bytes, else the held start when it is still there.
    uint32_t keep = start == 0 && held != 0 ? 0 : length;
    for (uint32_t i = length; i > std::max(start, held); --i)
    {
        if (data[i - 1] == kStart)
        {
            keep = i - 1;
            break;
        }
    }
    if (length - keep > IP_MAX_ASCII_MESSAGE_BYTES)
    {
        discard(AsciiDiscard::MessageTooLong, data + keep, length - keep);
        keep = length;
    }
    raw.DropFront(keep);
    return result;
}

BOOL ExtractAsciiMessage(CByteQueue& received, CByteBuffer& message)
{
    const uint8_t* data = received.GetData();
    const uint32_t length = received.GetLength();
    if (length == 0)
        return FALSE;
    const auto* start = static_cast<const uint8_t*>(std::memchr(data, kStart, length));
    received.DropFront(start == nullptr ? length : static_cast<uint32_t>(start - data));
    data = received.GetData();
    const uint32_t rest = received.GetLength();
    if (rest < 3)
        return FALSE;
    // The first LF after the ':' that follows a CR ends the message.
    for (uint32_t from = 2; from < rest;)
    {
        const auto* lf = static_cast<const uint8_t*>(std::memchr(data + from, kLf, rest - from));
        if (lf == nullptr)
            return FALSE;
        const auto end = static_cast<uint32_t>(lf - data) + 1;
        if (data[end - 2] == kCr)
        {
            CByteBuffer taken;
            if (!taken.Append(end, data))
                return FALSE;
            message = taken;
            received.DropFront(end);
            return TRUE;
        }
        from = end;
    }
    return FALSE;
}

CWideString FormatIPHexLayout(const uint8_t* bytes, uint32_t count)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string text;
    text.reserve(3 * static_cast<size_t>(count) + count / 80 + 1);
    for (uint32_t i = 0; i < count; ++i)
    {
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 0x0F]);
        text.push_back(u' ');
        if (i + 1 == count || (i != 0 && i % 80 == 0))
            text.push_back(u'\n');
    }
    return CWideString(text.c_str());
}
