#include "comm/IPAsciiAssembly.h"

#include <cstring>
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

void DropFront(CByteBuffer& buffer, uint32_t count)
{
    if (count == 0)
        return;
    if (count >= buffer.GetLength())
    {
        buffer.Allocate(0);
        return;
    }
    CByteBuffer rest;
    rest.Append(buffer.GetLength() - count, buffer.GetData() + count);
    buffer = rest;
}

sAsciiAssembly AssembleAsciiMessages(CByteBuffer& raw, CByteBuffer& received,
                                     const AsciiDiscardSink& onDiscard)
{
    sAsciiAssembly result;
    const uint8_t* data = raw.GetData();
    const uint32_t length = raw.GetLength();
    const auto discard = [&](AsciiDiscard reason, const uint8_t* bytes, uint32_t count)
    {
        if (onDiscard)
            onDiscard(reason, bytes, count);
    };

    uint32_t start = 0; // the first byte not dealt with
    while (start < length)
    {
        const auto* found = static_cast<const uint8_t*>(std::memchr(data + start, kLf, length - start));
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
                received.Allocate(0);
            }
            if (received.Append(size, message.data()))
            {
                ++result.Messages;
                result.Delivered += size;
            }
        }
        start = lf + 1;
    }

    // Without an LF, only the bytes from the last ':' on can still become a message.
    uint32_t keep = length;
    for (uint32_t i = length; i > start; --i)
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
    DropFront(raw, keep);
    return result;
}

BOOL ExtractAsciiMessage(CByteBuffer& received, CByteBuffer& message)
{
    const uint8_t* data = received.GetData();
    uint32_t length = received.GetLength();
    uint32_t start = 0;
    while (start < length && data[start] != kStart)
        ++start;
    DropFront(received, start);
    data = received.GetData();
    length = received.GetLength();
    if (length < 3)
        return FALSE;
    for (uint32_t i = 1; i + 1 < length; ++i)
    {
        if (data[i] == kCr && data[i + 1] == kLf)
        {
            CByteBuffer taken;
            if (!taken.Append(i + 2, data))
                return FALSE;
            message = taken;
            DropFront(received, i + 2);
            return TRUE;
        }
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
