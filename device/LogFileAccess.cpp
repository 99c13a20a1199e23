// The accessors of a log file description: its channels, its flags and event definition, and the
// meta-tag list, in which one name appears at most once.
#include <iterator>

#include "device/DeviceComm.h"
#include "device/LogFile.h"

namespace NVSystem
{

namespace
{

// The position of the first tag with the index in the list; -1 when there is none.
int FindTag(const CDynArray<MetaTagEntry>& tags, ULONG tagIndex)
{
    for (uint32_t i = 0; i < tags.GetCount(); ++i)
    {
        if (tags.GetData()[i].GetTagIndex() == tagIndex)
            return static_cast<int>(i);
    }
    return -1;
}

// Without regard to case; a missing name and an empty one are the same.
bool SameName(const CWideString& a, const CWideString& b)
{
    if (a.IsEmpty() || b.IsEmpty())
        return a.IsEmpty() && b.IsEmpty();
    return a.CompareNoCase(b) == 0;
}

} // namespace

HRESULT CDeviceComm::SetLogVersion(CLogFile& logFile, USHORT version)
{
    CScopedLock lock(logFile.m_Lock);
    logFile.m_nVersion = version;
    return S_OK;
}

ULONG CDeviceComm::GetLogType(CLogFile& logFile)
{
    CScopedLock lock(logFile.m_Lock);
    return logFile.m_nLogType;
}

HRESULT CDeviceComm::GetLogChannels(CLogFile& logFile, CDynArray<ULONG>& channels)
{
    CScopedLock lock(logFile.m_Lock);
    channels.RemoveAll();
    if (!channels.SetSize(logFile.m_Channels.GetCount()))
        return E_OUTOFMEMORY;
    channels.CopyElements(channels.GetData(), logFile.m_Channels.GetData(), channels.GetCount());
    return S_OK;
}

USHORT CDeviceComm::GetLogChannelCount(CLogFile& logFile)
{
    CScopedLock lock(logFile.m_Lock);
    const uint32_t count = logFile.m_Channels.GetCount();
    return count > UINT16_MAX ? UINT16_MAX : static_cast<USHORT>(count);
}

HRESULT CDeviceComm::GetLogChannel(CLogFile& logFile, USHORT n, ULONG& word)
{
    CScopedLock lock(logFile.m_Lock);
    if (n >= logFile.m_Channels.GetCount())
        return LOGFILE_E_INVALID_INDEX;
    word = logFile.m_Channels.GetData()[n];
    return S_OK;
}

HRESULT CDeviceComm::GetMetaTag(CLogFile& logFile, ULONG tagIndex, MetaTagEntry& entry)
{
    CScopedLock lock(logFile.m_Lock);
    const int at = FindTag(logFile.m_MetaTags, tagIndex);
    if (at < 0)
        return LOGFILE_E_META_NOT_FOUND;
    entry = logFile.m_MetaTags.GetData()[at];
    return S_OK;
}

HRESULT CDeviceComm::SetMetaTagValue(CLogFile& logFile, ULONG tagIndex, MetaTagValue value)
{
    return SetMetaTag(logFile, tagIndex, value);
}

HRESULT CDeviceComm::SetMetaTag(CLogFile& logFile, ULONG tagIndex, const MetaTagValue& value)
{
    // Index 0 names no fact: its entry keeps an empty name and value.
    const MetaTagEntry entry =
        tagIndex == METATAG_UNKNOWN ? MetaTagEntry() : MetaTagEntry(MetaTagName(tagIndex), value);
    return InsertOrReplaceMetaTag(logFile, entry);
}

HRESULT CDeviceComm::InsertOrReplaceMetaTag(CLogFile& logFile, const MetaTagEntry& entry)
{
    CScopedLock lock(logFile.m_Lock);
    CDynArray<MetaTagEntry>& tags = logFile.m_MetaTags;
    for (uint32_t i = 0; i < tags.GetCount(); ++i)
    {
        MetaTagEntry& tag = tags.GetData()[i];
        if (SameName(tag.m_Name, entry.m_Name))
        {
            tag = entry;
            return S_OK;
        }
    }
    return tags.Add(entry) >= 0 ? S_OK : E_OUTOFMEMORY;
}

HRESULT CDeviceComm::RemoveMetaTag(CLogFile& logFile, ULONG tagIndex)
{
    CScopedLock lock(logFile.m_Lock);
    if (const int at = FindTag(logFile.m_MetaTags, tagIndex); at >= 0)
    {
        if (!logFile.m_MetaTags.RemoveAt(static_cast<uint32_t>(at)))
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

BOOL CDeviceComm::GetLogFileFlag(CLogFile& logFile)
{
    CScopedLock lock(logFile.m_Lock);
    return (logFile.m_nFlags & LOG_FLAG_LEVEL_REFERENCE) != 0 ? TRUE : FALSE;
}

HRESULT CDeviceComm::GetLogType6Block(CLogFile& logFile, sLogEventDefinition& definition)
{
    CScopedLock lock(logFile.m_Lock);
    if (logFile.m_nLogType != LOG_TYPE_EVENT)
        return LOGFILE_E_INVALID_TYPE;
    definition = logFile.m_EventDefinition;
    return S_OK;
}

HRESULT CDeviceComm::GetLogChannelInfo(CLogFile& logFile, USHORT n, sLogChannelInfo& info)
{
    CScopedLock lock(logFile.m_Lock);
    if (logFile.m_nLoaded == 0)
        return LOGFILE_E_NOT_LOADED;
    ULONG word = 0;
    if (const HRESULT hr = GetLogChannel(logFile, n, word); Failed(hr))
        return hr;
    // The table names the tags of the first 32 channels only; the indices of a later channel
    // belong to other facts.
    if (n >= METATAG_CHANNEL_GROUPS)
        return LOGFILE_E_META_NOT_FOUND;
    USHORT* ids[] = {&info.SensorId, &info.ParameterId, &info.UnitsId};
    const MetaTagChannelField fields[] = {METATAG_CHANNEL_SENSOR_ID, METATAG_CHANNEL_PARAMETER_ID,
                                          METATAG_CHANNEL_UNITS_ID};
    for (size_t i = 0; i < std::size(ids); ++i)
    {
        MetaTagEntry tag;
        if (const HRESULT hr = GetMetaTag(logFile, MetaTagOfChannel(n, fields[i]), tag); Failed(hr))
            return hr;
        *ids[i] = tag.m_Value.ReadAsUShort();
    }
    info.Connection = ChannelConnection(word);
    info.ParameterNumber = ChannelParameter(word);
    return S_OK;
}

} // namespace NVSystem
