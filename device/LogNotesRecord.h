// A note inside one of the instrument's data logs, in memory: what kind of note, when, and its data
// bytes. The program builds user notes (type 0) and appends them to the active log; it can describe
// a note of any type. The record lives with the device layer because the device writes notes into
// its log; the user-note classes that fill it live with the device models.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "foundation/DeviceTimestamp.h"
#include "platform/Types.h"

namespace NVSystem
{

// Note types.
inline constexpr uint32_t NOTE_TYPE_USER = 0;
inline constexpr uint32_t NOTE_TYPE_USER_TIME_ADJUST = 1;
inline constexpr uint32_t NOTE_TYPE_FAULT_TIME_ADJUST = 2;
inline constexpr uint32_t NOTE_TYPE_DEVICE_RESET = 3;
inline constexpr uint32_t NOTE_TYPE_DEVICE_OFFLINE = 4;
inline constexpr uint32_t NOTE_TYPE_DEVICE_ONLINE = 5;
inline constexpr uint32_t NOTE_TYPE_SENSOR_DISABLED = 6;
inline constexpr uint32_t NOTE_TYPE_SENSOR_ENABLED = 7;
inline constexpr uint32_t NOTE_TYPE_DATA_LOG_COMMAND = 8;
inline constexpr uint32_t NOTE_TYPE_LOG_AUTO_STARTED = 9;

// Sub-codes of a data-log command note.
inline constexpr uint32_t LOG_COMMAND_MANUAL_START = 17;
inline constexpr uint32_t LOG_COMMAND_RESTART = 18;
inline constexpr uint32_t LOG_COMMAND_SUSPEND = 19;
inline constexpr uint32_t LOG_COMMAND_RESUME = 20;
inline constexpr uint32_t LOG_COMMAND_MANUAL_STOP = 21;

// Type, sub-type and sub-code of a record that holds no note.
inline constexpr uint32_t NOTE_CODE_NONE = 255;

// The NoteBlock of a user note, as the device stores it in its log: 0x00, 0x02, the low byte of
// the sub-type, the low byte of the flags, then the payload bytes. No length, checksum or
// terminator: the length travels with the file command.
inline constexpr BYTE NOTE_BLOCK_MARKER_0 = 0x00;
inline constexpr BYTE NOTE_BLOCK_MARKER_1 = 0x02;
inline constexpr uint32_t NOTE_BLOCK_HEADER_LENGTH = 4;

class CNVLogNotesRecord
{
public:
    static constexpr uint32_t kTag = 0x434E4F54; // 'CNOT'

    CNVLogNotesRecord() = default;
    CNVLogNotesRecord(const CNVLogNotesRecord& other);
    // Copies everything but the tag; a buffer that cannot be copied throws std::bad_alloc and
    // leaves the target partly copied.
    CNVLogNotesRecord& operator=(const CNVLogNotesRecord& other);
    virtual ~CNVLogNotesRecord();

    // Codes back to NOTE_CODE_NONE, flags 0, time cleared, both buffers freed. The tag stays.
    void Reset();
    uint32_t GetTag() const { return m_nTag; }

    uint32_t m_nNoteType = NOTE_CODE_NONE;
    uint32_t m_nSubType = NOTE_CODE_NONE; // of a user note: UserNoteSubType
    uint32_t m_nSubCode = NOTE_CODE_NONE; // of a data-log command note: LOG_COMMAND_*
    uint16_t m_nFlags = 0;                // of a user note: the payload version
    CDeviceTimestamp m_Time;              // UTC
    CByteBuffer m_Payload;                // big-endian fields, laid out by type and sub-type
    // Kept, copied and freed with the record; nothing fills or reads it.
    CByteBuffer m_Extra;

private:
    uint32_t m_nTag = kTag;
};

} // namespace NVSystem
