// The instrument's data logs as far as the PC deals with them: which log is active (its file number
// in register 49106, its status in 49107) and the note blocks written into logs with the file
// command 0xF006, each kept whole as it arrived, so that a test can read back what the device code
// wrote. A log file in the file store grows by the same bytes. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/probe-sim/DeviceTime.h"

namespace probesim
{

// Log states of register 49107; 10 to 13 count as an active log.
inline constexpr uint16_t kLogReady = 10;
inline constexpr uint16_t kLogPending = 11;
inline constexpr uint16_t kLogRunning = 12;
inline constexpr uint16_t kLogSuspended = 13;
inline constexpr uint16_t kLogStopped = 14;
inline constexpr uint16_t kLogDeleted = 15;

// A user note block: 0x00 0x02, sub-type, flags, payload (u32 sensor serial first; all fields
// big-endian).
struct LogNote
{
    uint16_t file = 0;
    DeviceTimestamp at; // the device clock when the note was stored
    std::vector<uint8_t> block;

    uint8_t SubType() const { return block.size() > 2 ? block[2] : 0; }
    uint8_t Flags() const { return block.size() > 3 ? block[3] : 0; }
    std::vector<uint8_t> Payload() const;
    std::optional<uint32_t> SensorSerial() const;
    // The user name field (u16 count, then the UTF-16 code units) at a payload offset; nullopt when
    // the payload ends before it does.
    std::optional<std::u16string> UserNameAt(size_t payloadOffset) const;
};

// Whether a received block has the form of a user note block.
bool IsNoteBlock(const std::vector<uint8_t>& block);

class LogBook
{
public:
    void Record(uint16_t file, DeviceTimestamp at, std::vector<uint8_t> block);
    std::vector<LogNote> Notes() const; // every note, in arrival order
    std::vector<LogNote> Notes(uint16_t file) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<LogNote> m_notes;
};

} // namespace probesim
