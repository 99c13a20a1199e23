#include "device/LogNotesRecord.h"

#include <new>

namespace NVSystem
{

namespace
{

void CopyBuffer(CByteBuffer& target, const CByteBuffer& source)
{
    target = source;
    if (target.GetCapacity() != source.GetCapacity())
        throw std::bad_alloc();
}

} // namespace

CNVLogNotesRecord::CNVLogNotesRecord(const CNVLogNotesRecord& other)
{
    *this = other;
}

CNVLogNotesRecord& CNVLogNotesRecord::operator=(const CNVLogNotesRecord& other)
{
    if (this == &other)
        return *this;
    m_nNoteType = other.m_nNoteType;
    m_nSubType = other.m_nSubType;
    m_nSubCode = other.m_nSubCode;
    m_nFlags = other.m_nFlags;
    m_Time = other.m_Time;
    CopyBuffer(m_Payload, other.m_Payload);
    CopyBuffer(m_Extra, other.m_Extra);
    return *this;
}

CNVLogNotesRecord::~CNVLogNotesRecord()
{
    Reset();
}

void CNVLogNotesRecord::Reset()
{
    m_nNoteType = NOTE_CODE_NONE;
    m_nSubType = NOTE_CODE_NONE;
    m_nSubCode = NOTE_CODE_NONE;
    m_nFlags = 0;
    m_Time.Clear();
    m_Payload.Allocate(0);
    m_Extra.Allocate(0);
}

} // namespace NVSystem
