// Modbus ASCII messages out of a TCP byte stream. The receive thread appends whatever the socket
// gives to a raw buffer and moves each complete message (':' up to CR LF) into the receive buffer;
// a reader takes the messages from there one at a time. Nothing that arrives can make either
// buffer grow without bound.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/ByteBuffer.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// The longest message kept: the largest frame of the instruments (a 1024-byte file block) is about
// half of it. Longer lines, and unfinished ones once they pass it, are dropped.
inline constexpr uint32_t IP_MAX_ASCII_MESSAGE_BYTES = 4096;
// A message that would take the receive buffer past this pushes out the unread messages before it.
inline constexpr uint32_t IP_MAX_RECEIVE_BUFFER_BYTES = 65536;

enum class AsciiDiscard
{
    CorruptLine,    // an LF that ends no message (no ':' before it, or no CR right before it)
    MessageTooLong, // a line or an unfinished message longer than IP_MAX_ASCII_MESSAGE_BYTES
    ReceiveOverflow // unread messages pushed out of the full receive buffer
};

// Told about every run of bytes that is dropped for a reason worth tracing. Bytes before the ':'
// that starts a message are noise and dropped silently.
using AsciiDiscardSink = std::function<void(AsciiDiscard reason, const uint8_t* bytes, uint32_t count)>;

// Bytes appended at the back and taken from the front, each byte copied a bounded number of times:
// a stream cut into many small segments, or many small messages taken one at a time, costs time in
// proportion to its length.
class CByteQueue
{
public:
    const uint8_t* GetData() const { return m_Bytes.data() + m_nHead; }
    uint32_t GetLength() const { return static_cast<uint32_t>(m_Bytes.size() - m_nHead); }
    // FALSE, the queue unchanged, when memory runs out.
    BOOL Append(uint32_t count, const void* bytes);
    // Removes the first count bytes (all of them when count reaches the length).
    void DropFront(uint32_t count);
    void Clear();

private:
    std::vector<uint8_t> m_Bytes;
    size_t m_nHead = 0; // bytes before it are taken
};

struct sAsciiAssembly
{
    uint32_t Messages = 0;  // messages moved into the receive buffer
    uint32_t Delivered = 0; // bytes appended to the receive buffer
};

// Appends the bytes that arrived to raw and moves every complete message of raw, in order, into
// received: a message runs from the last ':' before an LF to that LF, which must follow a CR. A byte
// below 0x80 is copied, a byte from 0x80 up becomes the two characters "%02X" of its low seven
// bits. What remains in raw is the start of a message still arriving (from its ':' on), nothing
// else; the time taken is in proportion to the bytes that arrived and the messages moved. raw is
// emptied when memory runs out.
sAsciiAssembly AssembleAsciiMessages(CByteQueue& raw, const uint8_t* bytes, uint32_t count,
                                     CByteQueue& received, const AsciiDiscardSink& onDiscard);

// Drops bytes before the first ':' of received, then moves its first message (up to the first CR LF
// from index 1 on) into message. FALSE, message untouched, when no complete message is waiting.
BOOL ExtractAsciiMessage(CByteQueue& received, CByteBuffer& message);

// Every byte as "%02X " with "\n" after the last byte and after each byte whose index is a nonzero
// multiple of 80.
CWideString FormatIPHexLayout(const uint8_t* bytes, uint32_t count);
