#include "device/CacheSettings.h"

#include <atomic>

#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

std::atomic<CStopwatch::TickSource> g_pTicks{nullptr};

} // namespace

void CCacheSettings::SetTickSourceForTests(CStopwatch::TickSource ticks)
{
    g_pTicks.store(ticks);
}

CCacheSettings::CCacheSettings()
    : m_nRefreshIntervalMs(ReadCommTunable(CommTunable::CacheRefreshRate)),
      m_RefreshStopwatch(g_pTicks.load()), m_TimeReferenceStopwatch(g_pTicks.load()),
      m_nLogDirRefreshIntervalMs(ReadCommTunable(CommTunable::LogDirCacheRefreshRate)),
      m_IdentityCheckStopwatch(g_pTicks.load())
{
}

void CCacheSettings::Reset()
{
    m_bValid = 0;
    m_bStale = 1;
    m_RefreshStopwatch.Reset();
    m_TimeReferenceStopwatch.Reset();
    m_IdentityCheckStopwatch.Reset();
    m_DeviceTimeReference.Clear();
    m_FirstTimestamp.Clear();
    m_SecondTimestamp.Clear();
    m_nRegister49010 = 0;
    m_nActiveLogFileNumber = 0;
    m_nActiveLogStatus = 0;
    m_nEOS = 0;
    m_nEOM = 0;
    m_nDeviceStatus = 0;
    m_nTotalBatteryTicks = 0;
    m_nTotalLogMemory = 0;
    m_nBatteryUsed = 0;
    m_nMemoryUsed = 0;
    m_nSoftwareRegister = 0;
    m_dValue49087 = 0.0;
    m_dValue49083 = 0.0;
    m_dValue49091 = 0.0;
    m_DeviceGuid = GUID();
    // After a reset the instrument is assumed at 19200 baud, 8 data bits, no parity, one stop bit.
    m_SerialConfig = sSerialConfig{0, 6, 1, 2, 0};
    m_SiteName.SetEmpty();
    m_DeviceName.SetEmpty();
    m_bLogDirStale = 1;
    m_bDeviceChanged = 0;
}

void CCacheSettings::MarkStatusRead()
{
    m_RefreshStopwatch.Start();
    m_TimeReferenceStopwatch.Start();
    m_bStale = 0;
}

} // namespace NVSystem
