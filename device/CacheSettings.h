// What a device object remembers of its instrument between reads: the reserved register block, the
// status registers with the age of the last read, the communication settings, and whether another
// instrument has been found at the address. Owned by the device object and touched only under its
// lock, so it has no lock of its own.
#pragma once

#include <cstdint>

#include "foundation/DeviceTimestamp.h"
#include "foundation/Stopwatch.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

namespace NVSystem
{

// The five ids of the communication settings word.
struct sSerialConfig
{
    ULONG Mode = 0; // 0 RTU, 1 ASCII
    ULONG BaudId = 6;
    ULONG DataBitsId = 1;
    ULONG ParityId = 0;
    ULONG StopBitsId = 0;

    friend bool operator==(const sSerialConfig&, const sSerialConfig&) = default;
};

// Values of the active log status register outside 1..15 mean nothing and are kept as 0.
inline constexpr ULONG ValidLogStatus(ULONG status)
{
    return status >= 1 && status <= 15 ? status : 0;
}

class CCacheSettings
{
public:
    // Every stopwatch of the caches of devices constructed from now on counts with this tick source;
    // null restores the platform clock (tests).
    static void SetTickSourceForTests(CStopwatch::TickSource ticks);

    // Reads "Cache Refresh Rate" and "LogDir Cache Refresh Rate".
    CCacheSettings();
    CCacheSettings(const CCacheSettings&) = delete;
    CCacheSettings& operator=(const CCacheSettings&) = delete;

    // Forgets everything read (the intervals stay), clears the device-changed latch and stops
    // every stopwatch.
    void Reset();
    // Restarts the refresh and time-reference stopwatches together: the status is fresh now.
    void MarkStatusRead();

    ULONG m_bValid = 0;
    ULONG m_bStale = 1;
    ULONG m_nRefreshIntervalMs = 0;
    CStopwatch m_RefreshStopwatch;
    CStopwatch m_TimeReferenceStopwatch;
    CDeviceTimestamp m_DeviceTimeReference;
    CDeviceTimestamp m_FirstTimestamp;
    CDeviceTimestamp m_SecondTimestamp;
    USHORT m_nRegister49010 = 0;
    USHORT m_nActiveLogFileNumber = 0;
    ULONG m_nActiveLogStatus = 0;
    USHORT m_nEOS = 0;
    USHORT m_nEOM = 0;
    ULONG m_nDeviceStatus = 0;
    ULONG m_nTotalBatteryTicks = 0;
    ULONG m_nTotalLogMemory = 0;
    ULONG m_nBatteryUsed = 0;
    ULONG m_nMemoryUsed = 0;
    ULONG m_nSoftwareRegister = 0;
    double m_dValue49087 = 0.0;
    double m_dValue49083 = 0.0;
    double m_dValue49091 = 0.0;
    GUID m_DeviceGuid;
    sSerialConfig m_SerialConfig;
    CWideString m_SiteName;
    CWideString m_DeviceName;
    ULONG m_nLogDirRefreshIntervalMs = 0;
    ULONG m_bLogDirStale = 1;
    ULONG m_bDeviceChanged = 0;
    CStopwatch m_IdentityCheckStopwatch;
};

} // namespace NVSystem
