#include "models/RestoreFactoryCalNote.h"

namespace NVSystem
{

namespace
{

constexpr StringId IDS_USER_NAME = 10009;
constexpr StringId IDS_SENSOR_SN = 10603;
constexpr StringId IDS_LEVEL_REFERENCE_RESTORED = 10605;

// By kind 0..15; kind 12 and anything from 16 on read as a level reference.
constexpr StringId kKindTexts[RESTORE_KIND_NONE] = {10604, 10605, 10606, 10614, 10676, 10677, 10678, 10679,
                                                    10680, 10742, 10743, 10744, 10605, 10798, 10799, 10800};

StringId KindText(ULONG kind)
{
    return kind < RESTORE_KIND_NONE ? kKindTexts[kind] : IDS_LEVEL_REFERENCE_RESTORED;
}

} // namespace

HRESULT CNVUserNote_RestoreFactoryCal_Sensor::Build(ULONG serial, USHORT kind)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    FinishBuild(writer);
    writer.Write(kind);
    m_nKind = kind;
    return S_OK;
}

HRESULT CNVUserNote_RestoreFactoryCal_Sensor::Load(const CNVLogNotesRecord& record)
{
    if (const HRESULT hr = BeginLoad(record, kSubType); Failed(hr))
        return hr;
    if (m_Record.m_Payload.GetLength() < kMinimumPayload)
        return E_FAIL;
    CBufferReader reader(m_Record.m_Payload);
    if (const HRESULT hr = ReadFields(reader, m_nSerialNumber); Failed(hr))
        return hr;
    if (const HRESULT hr = ReadUserName(reader); Failed(hr))
        return hr;
    m_nKind = RESTORE_KIND_LEVEL_REFERENCE;
    if (m_Record.m_nFlags == 0)
        return S_OK;
    USHORT kind = 0;
    if (const HRESULT hr = ReadFields(reader, kind); Failed(hr))
        return hr;
    m_nKind = kind;
    return kind >= RESTORE_KIND_NONE ? E_FAIL : S_OK;
}

void CNVUserNote_RestoreFactoryCal_Sensor::Reset()
{
    CNVUserNote::Reset();
    m_nKind = RESTORE_KIND_NONE;
}

CWideString CNVUserNote_RestoreFactoryCal_Sensor::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s: %u", NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber);
    if (m_UserName.IsEmpty())
        return text;
    CWideString part;
    part.Format(u"   %s  %s: %s", NoteText(NoteLabel(KindText(m_nKind))), NoteText(NoteLabel(IDS_USER_NAME)),
                NoteText(m_UserName));
    return text + part;
}

} // namespace NVSystem
