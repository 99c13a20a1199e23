// The base of every note: one log-note record, the NoteBlock that the device stores for a user note,
// and a one-line description of a note of any type for the trace. The user-note classes derive from
// it; a note is a local object of the code that writes it (built, handed to
// CDeviceComm::WriteLogNote, destroyed).
#pragma once

#include "device/LogNotesRecord.h"
#include "foundation/ByteBuffer.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

namespace NVSystem
{

class CNVStdNote
{
public:
    CNVStdNote() = default;
    virtual ~CNVStdNote();
    CNVStdNote(const CNVStdNote&) = delete;
    CNVStdNote& operator=(const CNVStdNote&) = delete;

    // Resets the note and copies the record into it; the base takes any record and returns 0.
    virtual HRESULT Load(const CNVLogNotesRecord& record);
    virtual void Reset();
    // "User Note" for the base; a user note describes itself.
    virtual CWideString GetTypeName() const;

    // The NoteBlock of a user note. The block is emptied first; E_FAIL, the block left empty, for
    // any other note type.
    HRESULT SerialiseNoteBlock(CByteBuffer& block) const;
    // Never fails: an unknown type or command has its own text, a payload that cannot be read gives
    // the empty text.
    CWideString DescribeNote() const;

    const CNVLogNotesRecord& GetRecord() const { return m_Record; }

protected:
    CNVLogNotesRecord m_Record;
};

} // namespace NVSystem
