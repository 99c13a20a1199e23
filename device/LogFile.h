// The description of one data log as the device code sees it: the log's identity and type, the
// channels it records and the meta-tags that tell how it was set up. Whoever creates, loads and
// stores a log description builds this object and hands it to the device, whose accessors
// (CDeviceComm::GetLogChannels, SetMetaTagValue ... in device/DeviceComm.h) and FillLogFileMeta
// read and fill it, each under the description's own lock.
#pragma once

#include <cstdint>

#include "device/LogFileMeta.h"
#include "foundation/DynArray.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVSystem
{

// The log type whose log records on an event of one channel.
inline constexpr ULONG LOG_TYPE_EVENT = 6;
// The flag of a log set up with a new level reference.
inline constexpr USHORT LOG_FLAG_LEVEL_REFERENCE = 0x0002;

// The event definition of an event log: the channel that triggers it, and the rest of its 28 bytes
// that nothing here interprets.
struct sLogEventDefinition
{
    USHORT SensorConnection = 0;
    USHORT ParameterNumber = 0;
    uint8_t Rest[24] = {};
};

// A channel word: the sensor connection in the low 16 bits, the parameter number in the high.
constexpr USHORT ChannelConnection(ULONG word)
{
    return static_cast<USHORT>(word & 0xFFFF);
}
constexpr USHORT ChannelParameter(ULONG word)
{
    return static_cast<USHORT>(word >> 16);
}
constexpr ULONG ChannelWord(USHORT connection, USHORT parameter)
{
    return ULONG{connection} | ULONG{parameter} << 16;
}

// What the meta-tags of a channel say about it.
struct sLogChannelInfo
{
    USHORT Connection = 0;
    USHORT SensorId = 0;
    USHORT ParameterNumber = 0;
    USHORT ParameterId = 0;
    USHORT UnitsId = 0;
};

class CLogFile
{
public:
    CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    ULONG m_nLoaded = 0; // 0: not loaded
    GUID m_Guid;
    ULONG m_nLogType = 0;
    USHORT m_nVersion = 0;
    USHORT m_nFlags = 0;
    CDynArray<ULONG> m_Channels;
    CDynArray<MetaTagEntry> m_MetaTags;
    sLogEventDefinition m_EventDefinition; // of a log of LOG_TYPE_EVENT

    // Held by every accessor for its whole run.
    platform::CCriticalSection m_Lock;
};

} // namespace NVSystem
