#include "device/UserNote.h"

#include <atomic>
#include <new>

#include "foundation/ResultCodes.h"
#include "foundation/SystemNames.h"
#include "foundation/SystemStrings.h"
#include "foundation/SystemTime.h"

namespace NVSystem
{

namespace
{

constexpr StringId IDS_USER_NAME = 10009;

std::atomic<NoteUserNameSource> g_userNameSource{nullptr};

} // namespace

CWideString GetNoteUserName()
{
    const NoteUserNameSource source = g_userNameSource.load();
    CWideString name = source != nullptr ? source() : GetUserNameString();
    if (name.IsEmpty())
        return CWideString(u"Unknown");
    if (name.GetLength() > NOTE_USER_NAME_MAX_UNITS)
    {
        CWideString shorter;
        shorter.AssignN(name, NOTE_USER_NAME_MAX_UNITS);
        return shorter;
    }
    return name;
}

void SetNoteUserNameSourceForTests(NoteUserNameSource source)
{
    g_userNameSource.store(source);
}

CWideString NoteLabel(StringId id)
{
    return GetSystemString(id);
}

void CNVUserNote::CPayloadWriter::ULong(uint32_t value)
{
    if (!m_Writer.WriteULong(value))
        throw std::bad_alloc();
}

void CNVUserNote::CPayloadWriter::Float(float value)
{
    if (!m_Writer.WriteFloat(value))
        throw std::bad_alloc();
}

void CNVUserNote::CPayloadWriter::UShort(uint16_t value)
{
    const BYTE bytes[2] = {static_cast<BYTE>(value >> 8), static_cast<BYTE>(value)};
    if (!m_Payload.Append(2, bytes))
        throw std::bad_alloc();
}

void CNVUserNote::CPayloadWriter::UserName(const CWideString& name)
{
    const auto count = static_cast<uint16_t>(name.GetLength());
    UShort(count);
    if (count != 0 && !m_Writer.WriteString(name, count))
        throw std::bad_alloc();
}

void CNVUserNote::Reset()
{
    CNVStdNote::Reset();
    m_nSerialNumber = 0;
    m_UserName.SetEmpty();
}

CNVUserNote::CPayloadWriter CNVUserNote::BeginBuild(uint32_t subType, uint16_t version, ULONG serial)
{
    Reset();
    m_Record.m_nNoteType = NOTE_TYPE_USER;
    m_Record.m_nSubType = subType;
    SYSTEMTIME now;
    GetSystemTime(now);
    m_Record.m_Time = now;
    m_Record.m_nFlags = version;
    CPayloadWriter writer(m_Record.m_Payload);
    writer.ULong(serial);
    m_nSerialNumber = serial;
    return writer;
}

void CNVUserNote::FinishBuild(CPayloadWriter& writer)
{
    m_UserName = GetNoteUserName();
    writer.UserName(m_UserName);
}

HRESULT CNVUserNote::BeginLoad(const CNVLogNotesRecord& record, uint32_t subType)
{
    CNVStdNote::Load(record);
    if (m_Record.m_nNoteType != NOTE_TYPE_USER)
        return LOGFILE_E_INVALID_NOTE_TYPE;
    if (m_Record.m_nSubType != subType)
        return LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE;
    return S_OK;
}

HRESULT CNVUserNote::ReadUserName(CBufferReader& reader)
{
    uint16_t count = 0;
    if (const HRESULT hr = reader.ReadUShort(count); Failed(hr))
        return hr;
    if (count == 0)
        return S_OK;
    return reader.ReadString(count, m_UserName);
}

CWideString CNVUserNote::UserNamePart(const char16_t* format) const
{
    CWideString part;
    if (!m_UserName.IsEmpty())
        part.Format(format, NoteText(NoteLabel(IDS_USER_NAME)), NoteText(m_UserName));
    return part;
}

} // namespace NVSystem
