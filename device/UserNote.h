// What every user note shares: a note of type 0 whose sub-type names the kind of change, built from
// the sensor's serial number, the kind's values and the name of the user who made the change, with
// the payload in big-endian fields:
//
//     u32 sensor serial number, the kind's values (u16, u32, f32 as their IEEE bits), then the
//     UserName field: u16 count n, n UTF-16 code units (each high byte first)
//
// A user-note class derives from CNVUserNote, fills the record with its Build operation, parses
// one back with Load (which never reads past the payload) and describes itself through
// GetTypeName.
#pragma once

#include <cstdint>

#include "device/StdNote.h"
#include "foundation/BufferReader.h"
#include "foundation/BufferWriter.h"
#include "foundation/VocabularyIds.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

namespace NVSystem
{

// The record's sub-type of a user note: the class that reads and describes it.
enum UserNoteSubType : uint32_t
{
    USERNOTE_CALIBRATE_TDS_FACTOR = 2,
    USERNOTE_CALIBRATE_CONDUCTIVITY = 3,
    USERNOTE_SPEC_COND_CURVE = 4,
    USERNOTE_SENSOR_MEAS_CACHE_TO = 9,
    USERNOTE_NEW_SPECIFIC_GRAV_FACTOR = 10,
    USERNOTE_NEW_SPECIFIC_GRAVITY = 11,
    USERNOTE_CALIBRATION_ZERO_PRESSURE_SENSOR = 12,
    USERNOTE_RESTORE_FACTORY_CAL_SENSOR = 14,
    USERNOTE_CALIBRATE_SET_NEW_LEVEL_REF = 15,
    USERNOTE_CALIBRATE_SET_NEW_HEAD_REF = 19,
    USERNOTE_CALIBRATE_TURBIDITY = 23,
    USERNOTE_CALIBRATE_VOX = 24,
    USERNOTE_CALIBRATE_PH = 25,
    USERNOTE_CALIBRATE_ORP = 26,
    USERNOTE_CALIBRATE_NITRATE = 27,
    USERNOTE_CALIBRATE_CHLORIDE = 28,
    USERNOTE_CALIBRATE_AMMONIUM = 29,
    USERNOTE_CALIBRATE_RHODAMINE_WT = 30,
    USERNOTE_CALIBRATE_CHLOROPHYLL_A = 31,
    USERNOTE_CALIBRATE_BGA_PE = 32,
    USERNOTE_CALIBRATE_BGA_PC = 33,
};

// The longest user name a note carries, in UTF-16 code units.
inline constexpr uint32_t NOTE_USER_NAME_MAX_UNITS = 256;

// The name written into every user note: the login name of the process's user, "Unknown" when it
// cannot be had, at most NOTE_USER_NAME_MAX_UNITS code units.
CWideString GetNoteUserName();
// Tests give the name a note is built with (null: the login name again).
using NoteUserNameSource = CWideString (*)();
void SetNoteUserNameSourceForTests(NoteUserNameSource source);

// A text for a "%s" conversion: the empty text where the string holds none.
inline const char16_t* NoteText(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? units : u"";
}

class CNVUserNote : public CNVStdNote
{
public:
    ULONG GetSerialNumber() const { return m_nSerialNumber; }
    const CWideString& GetUserName() const { return m_UserName; }

    // The record, the serial number and the user name; each class clears its own values too.
    void Reset() override;

    // The NoteBlock in at most maxBytes, the user name cut as far as that needs, never inside a
    // surrogate pair; keptUnits: the name's code units in the block. The note itself keeps its whole
    // name. E_FAIL, the block empty, when even an empty name does not fit or the note holds no name
    // field that it built or loaded.
    HRESULT SerialiseNoteBlockWithin(uint32_t maxBytes, CByteBuffer& block, uint32_t& keptUnits) const;

protected:
    CNVUserNote() = default;

    // Writes the payload of a build: big-endian, and an allocation failure throws std::bad_alloc
    // (a build reports no failure of its own).
    class CPayloadWriter
    {
    public:
        explicit CPayloadWriter(CByteBuffer& payload) : m_Payload(payload), m_Writer(&payload) {}
        void ULong(uint32_t value);
        void Float(float value);
        void UShort(uint16_t value);
        void UserName(const CWideString& name);
        void Field(uint32_t value) { ULong(value); }
        void Field(float value) { Float(value); }
        void Field(uint16_t value) { UShort(value); }
        // Each value by its type, in order.
        template <typename... Values>
        void Write(Values... values)
        {
            (Field(values), ...);
        }

    private:
        CByteBuffer& m_Payload;
        CBufferWriter m_Writer;
    };

    // Resets the note and starts the record of a user note of the sub-type and payload version at
    // the current UTC time; the payload holds the serial number. The serial number is kept.
    CPayloadWriter BeginBuild(uint32_t subType, uint16_t version, ULONG serial);
    // Takes the user's name, keeps it and appends the UserName field.
    void FinishBuild(CPayloadWriter& writer);

    // Resets the note and copies the record; LOGFILE_E_INVALID_NOTE_TYPE for a note that is not a
    // user note, LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE for another sub-type.
    HRESULT BeginLoad(const CNVLogNotesRecord& record, uint32_t subType);
    // The UserName field into the user name; E_BUFFER_EXTRACTION_OVERRUN when the count claims more
    // code units than remain.
    HRESULT ReadUserName(CBufferReader& reader);

    // The values of a payload in order, stopping at the first that does not fit: its result.
    template <typename... Fields>
    static HRESULT ReadFields(CBufferReader& reader, Fields&... fields)
    {
        HRESULT hr = S_OK;
        ((hr = Succeeded(hr) ? ReadField(reader, fields) : hr), ...);
        return hr;
    }
    // Load of the common form: the record checked and copied, the payload at least minimum bytes
    // (else E_FAIL), then the serial number, the fields and the UserName field.
    template <typename... Fields>
    HRESULT LoadFields(const CNVLogNotesRecord& record, uint32_t subType, uint32_t minimum, Fields&... fields)
    {
        if (const HRESULT hr = BeginLoad(record, subType); Failed(hr))
            return hr;
        if (m_Record.m_Payload.GetLength() < minimum)
            return E_FAIL;
        CBufferReader reader(m_Record.m_Payload);
        if (const HRESULT hr = ReadFields(reader, m_nSerialNumber, fields...); Failed(hr))
            return hr;
        return ReadUserName(reader);
    }

    // The user-name part of a description ("" when the name is empty), formatted with the label
    // "User Name" and the name.
    CWideString UserNamePart(const char16_t* format) const;

    ULONG m_nSerialNumber = 0;
    CWideString m_UserName;
    uint32_t m_nUserNameAt = 0; // payload offset of the name field; 0: none (the serial is first)

private:
    static HRESULT ReadField(CBufferReader& reader, uint32_t& value) { return reader.ReadULong(value); }
    static HRESULT ReadField(CBufferReader& reader, uint16_t& value) { return reader.ReadUShort(value); }
    static HRESULT ReadField(CBufferReader& reader, float& value) { return reader.ReadFloat(value); }
};

// The system string of an id, for a "%s" conversion of a description (kept alive by the caller's
// full expression).
CWideString NoteLabel(StringId id);

} // namespace NVSystem
