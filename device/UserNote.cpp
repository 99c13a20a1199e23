#include "device/UserNote.h"

#include <algorithm>
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
    m_nUserNameAt = 0;
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
    m_nUserNameAt = m_Record.m_Payload.GetLength();
    writer.UserName(m_UserName);
}

HRESULT CNVUserNote::SerialiseNoteBlockWithin(uint32_t maxBytes, CByteBuffer& block,
                                              uint32_t& keptUnits) const
{
    keptUnits = 0;
    if (const HRESULT hr = SerialiseNoteBlock(block); Failed(hr))
        return hr;
    const uint32_t units = m_UserName.GetLength();
    const uint32_t length = block.GetLength();
    const BYTE* data = block.GetData();
    auto wordAt = [data](uint32_t at) { return static_cast<uint32_t>(data[at] << 8 | data[at + 1]); };
    // The name field where the build or the load found it: the count, then the code units high
    // byte first; the fields after it (a restore note's kind) follow it unchanged.
    const uint32_t nameAt = NOTE_BLOCK_HEADER_LENGTH + m_nUserNameAt;
    const uint32_t afterName = nameAt + 2 + 2 * units;
    const uint32_t fixed = length - 2 * units;
    if (m_nUserNameAt == 0 || afterName > length || wordAt(nameAt) != units || fixed > maxBytes)
    {
        block.Allocate(0);
        return E_FAIL;
    }
    uint32_t kept = std::min(units, (maxBytes - fixed) / 2);
    constexpr uint32_t kHighSurrogates = 0xD800, kLowSurrogates = 0xDC00;
    // A high surrogate without the low one after it would be no character.
    if (kept < units && kept > 0 && wordAt(nameAt + 2 * kept) >= kHighSurrogates &&
        wordAt(nameAt + 2 * kept) < kLowSurrogates)
        --kept;
    if (kept < units)
    {
        CByteBuffer shortened;
        const BYTE count[2] = {static_cast<BYTE>(kept >> 8), static_cast<BYTE>(kept)};
        if (!shortened.Allocate(fixed + 2 * kept) || !shortened.Append(nameAt, data) ||
            !shortened.Append(2, count) || !shortened.Append(2 * kept, data + nameAt + 2) ||
            !shortened.Append(length - afterName, data + afterName))
        {
            block.Allocate(0);
            return E_OUTOFMEMORY;
        }
        block = shortened;
    }
    keptUnits = kept;
    return S_OK;
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
    m_nUserNameAt = reader.GetPosition();
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
