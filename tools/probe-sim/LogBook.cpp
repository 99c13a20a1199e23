#include "tools/probe-sim/LogBook.h"

#include "tools/probe-sim/WireBytes.h"

namespace probesim
{

namespace
{

constexpr size_t kNoteHeaderBytes = 4;

} // namespace

std::vector<uint8_t> LogNote::Payload() const
{
    if (block.size() <= kNoteHeaderBytes)
        return {};
    return {block.begin() + kNoteHeaderBytes, block.end()};
}

std::optional<uint32_t> LogNote::SensorSerial() const
{
    const std::vector<uint8_t> payload = Payload();
    if (payload.size() < 4)
        return std::nullopt;
    return ReadU32(payload, 0);
}

std::optional<std::u16string> LogNote::UserNameAt(size_t payloadOffset) const
{
    const std::vector<uint8_t> payload = Payload();
    if (payloadOffset > payload.size() || payload.size() - payloadOffset < 2)
        return std::nullopt;
    const size_t count = ReadU16(payload, payloadOffset);
    const size_t first = payloadOffset + 2;
    if ((payload.size() - first) / 2 < count)
        return std::nullopt;
    std::u16string name;
    for (size_t i = 0; i < count; ++i)
        name.push_back(static_cast<char16_t>(ReadU16(payload, first + 2 * i)));
    return name;
}

bool IsNoteBlock(const std::vector<uint8_t>& block)
{
    return block.size() >= kNoteHeaderBytes && block[0] == 0x00 && block[1] == 0x02;
}

void LogBook::Record(uint16_t file, DeviceTimestamp at, std::vector<uint8_t> block)
{
    std::lock_guard lock(m_mutex);
    m_notes.push_back({file, at, std::move(block)});
}

std::vector<LogNote> LogBook::Notes() const
{
    std::lock_guard lock(m_mutex);
    return m_notes;
}

std::vector<LogNote> LogBook::Notes(uint16_t file) const
{
    std::lock_guard lock(m_mutex);
    std::vector<LogNote> found;
    for (const LogNote& note : m_notes)
    {
        if (note.file == file)
            found.push_back(note);
    }
    return found;
}

void LogBook::Clear()
{
    std::lock_guard lock(m_mutex);
    m_notes.clear();
}

} // namespace probesim
