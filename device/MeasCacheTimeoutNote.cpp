#include "device/MeasCacheTimeoutNote.h"

namespace NVSystem
{

namespace
{

constexpr StringId IDS_SENSOR_SN = 10603;
constexpr StringId IDS_CACHE_TIMEOUT = 10547;

} // namespace

HRESULT CNVUserNote_SensorMeasCacheTO::Build(ULONG serial, USHORT timeoutMs)
{
    CPayloadWriter writer = BeginBuild(kSubType, kVersion, serial);
    writer.Write(timeoutMs);
    FinishBuild(writer);
    m_nTimeout = timeoutMs;
    return S_OK;
}

HRESULT CNVUserNote_SensorMeasCacheTO::Load(const CNVLogNotesRecord& record)
{
    if (const HRESULT hr = BeginLoad(record, kSubType); Failed(hr))
        return hr;
    const uint32_t length = m_Record.m_Payload.GetLength();
    const uint16_t version = m_Record.m_nFlags;
    if ((version == 0 && length != 6) || (version == 1 && length < 8))
        return E_FAIL;
    CBufferReader reader(m_Record.m_Payload);
    if (const HRESULT hr = ReadFields(reader, m_nSerialNumber, m_nTimeout); Failed(hr))
        return hr;
    return version == 1 ? ReadUserName(reader) : S_OK;
}

void CNVUserNote_SensorMeasCacheTO::Reset()
{
    CNVUserNote::Reset();
    m_nTimeout = 0;
}

CWideString CNVUserNote_SensorMeasCacheTO::GetTypeName() const
{
    CWideString text;
    text.Format(u"%s: %u  %s: %u", NoteText(NoteLabel(IDS_SENSOR_SN)), m_nSerialNumber,
                NoteText(NoteLabel(IDS_CACHE_TIMEOUT)), unsigned{m_nTimeout});
    return text + UserNamePart(u"   %s: %s");
}

} // namespace NVSystem
