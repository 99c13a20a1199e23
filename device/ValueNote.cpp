#include "device/ValueNote.h"

#include <type_traits>

namespace NVSystem
{

namespace
{

constexpr StringId IDS_SENSOR_SN = 10603;

} // namespace

template <typename Value>
HRESULT CNVValueNote<Value>::Build(ULONG serial, Value value)
{
    CPayloadWriter writer = BeginBuild(m_nSubType, m_nVersion, serial);
    writer.Write(value);
    FinishBuild(writer);
    m_Value = value;
    return S_OK;
}

template <typename Value>
HRESULT CNVValueNote<Value>::Load(const CNVLogNotesRecord& record)
{
    return LoadFields(record, m_nSubType, kMinimumPayload, m_Value);
}

template <typename Value>
HRESULT CNVValueNote<Value>::LoadVersioned(const CNVLogNotesRecord& record, uint16_t lastWithUserName)
{
    if (const HRESULT hr = BeginLoad(record, m_nSubType); Failed(hr))
        return hr;
    const uint32_t length = m_Record.m_Payload.GetLength();
    const uint16_t version = m_Record.m_nFlags;
    const bool withUserName = version != 0 && version <= lastWithUserName;
    if ((version == 0 && length != kFirstVersionPayload) || (withUserName && length < kMinimumPayload))
        return E_FAIL;
    CBufferReader reader(m_Record.m_Payload);
    if (const HRESULT hr = ReadFields(reader, m_nSerialNumber, m_Value); Failed(hr))
        return hr;
    return withUserName ? ReadUserName(reader) : S_OK;
}

template <typename Value>
void CNVValueNote<Value>::Reset()
{
    CNVUserNote::Reset();
    m_Value = Value{};
}

template <typename Value>
CWideString CNVValueNote<Value>::GetTypeName() const
{
    CWideString text;
    if constexpr (std::is_floating_point_v<Value>)
        text.Format(u"%s: %u  %s: %g", NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber,
                    NoteText(NoteLabel(m_nLabel)), double{m_Value});
    else
        text.Format(u"%s: %u  %s: %u", NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber,
                    NoteText(NoteLabel(m_nLabel)), unsigned{m_Value});
    return text + UserNamePart(m_pUserNameFormat);
}

template class CNVValueNote<uint16_t>;
template class CNVValueNote<float>;

} // namespace NVSystem
