// The instrument's identity and state: from the identity record, from the caches while they are
// valid (the status registers refreshed once per refresh interval), else from the registers.
#include <algorithm>

#include "device/DeviceComm.h"
#include "foundation/NameLookups.h"

namespace NVSystem
{

namespace
{

// The log states in which notes may be written into the log.
bool IsActiveLogStatus(ULONG status)
{
    return status >= 10 && status <= 13;
}

} // namespace

HRESULT CDeviceComm::GetRegisterMapVersion(USHORT& version)
{
    version = 0;
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       version = m_SlaveId.RegisterMapVersion;
                       Trace(TRACE_LEVEL3)
                           << u" - read device register map version: " << version << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetSlaveId(SlaveIdInfo& slaveId)
{
    slaveId.Clear();
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       slaveId = m_SlaveId;
                       Trace(TRACE_LEVEL3) << u" - read device slave id" << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetDeviceTypeId(USHORT& deviceTypeId)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       deviceTypeId = m_SlaveId.DeviceTypeId;
                       Trace(TRACE_LEVEL3) << u" - read device id from cache: "
                                           << GetDeviceModelName(deviceTypeId) << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetDeviceName(CWideString& name)
{
    return ReadCachedTraced(GUARDS_ALL, CACHED_FIXED, &CCacheSettings::m_DeviceName,
                            &sRegisterMap::DeviceName, name, u" - read device name from cache: ",
                            u" - failed to read device name - ", u" - read device name: ");
}

HRESULT CDeviceComm::GetSiteName(CWideString& name)
{
    return ReadCachedTraced(GUARDS_ALL, CACHED_FIXED, &CCacheSettings::m_SiteName, &sRegisterMap::SiteName,
                            name, u" - read device site name from cache: ",
                            u" - failed to read device site name - ", u" - read device site name: ");
}

HRESULT CDeviceComm::GetDeviceTime(CDeviceTimestamp& time)
{
    return Guarded(
        GUARDS_ALL,
        [&]
        {
            time.Clear();
            const CCacheSettings& cache = *m_pCacheSettings;
            if (cache.m_bValid != 0)
            {
                // The instrument's clock runs on since the reference was read.
                const uint64_t age = cache.m_TimeReferenceStopwatch.GetElapsedMs();
                cache.m_DeviceTimeReference.Add(static_cast<int64_t>(age), time);
                SYSTEMTIME now;
                SYSTEMTIME reference;
                time.GetSystemTime(now);
                cache.m_DeviceTimeReference.GetSystemTime(reference);
                Trace(TRACE_LEVEL3) << u" - read device time from cache: " << now << u" Ref: " << reference
                                    << u" Offset: " << static_cast<ULONG>(age) << TRACE_END;
                return S_OK;
            }
            const HRESULT hr =
                Network().ReadTime(Address(), m_RegisterMap.DeviceTime, time, m_nReadTimeout, m_nRetryCount);
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to read device time - " << TraceHr(hr) << TRACE_END;
                return hr;
            }
            SYSTEMTIME now;
            time.GetSystemTime(now);
            Trace(TRACE_LEVEL3) << u" - read device time: " << now << TRACE_END;
            return hr;
        });
}

HRESULT CDeviceComm::GetDeviceStatus(ULONG& status)
{
    return ReadCachedTraced(GUARDS_ALL, CACHED_STATUS, &CCacheSettings::m_nDeviceStatus,
                            &sRegisterMap::DeviceStatus, status, u" - get device status from cache: ",
                            u" - failed to get device status - ", u" - get device status: ");
}

HRESULT CDeviceComm::GetTotalBatteryTicks(ULONG& ticks)
{
    return ReadCachedTraced(GUARDS_ALL, CACHED_FIXED, &CCacheSettings::m_nTotalBatteryTicks,
                            &sRegisterMap::TotalBatteryTicks, ticks,
                            u" - read total battery ticks from cache: ",
                            u" - failed to get total battery ticks - ", u" - read total battery ticks: ");
}

HRESULT CDeviceComm::GetUsedBatteryTicks(ULONG& ticks)
{
    return ReadCachedTraced(GUARDS_ALL, CACHED_STATUS, &CCacheSettings::m_nBatteryUsed,
                            &sRegisterMap::BatteryUsed, ticks, u" - read used battery ticks from cache: ",
                            u" - failed to get used battery ticks - ", u" - read used battery ticks: ");
}

HRESULT CDeviceComm::GetTotalLogMemory(ULONG& size)
{
    return ReadCachedTraced(
        GUARDS_ALL, CACHED_FIXED, &CCacheSettings::m_nTotalLogMemory, &sRegisterMap::TotalLogMemory, size,
        u" - read total data log memory size from cache: ", u" - failed to get total data log memory size - ",
        u" - read total data log memory size: ");
}

HRESULT CDeviceComm::GetUsedLogMemory(ULONG& size)
{
    return ReadCachedTraced(
        GUARDS_ALL, CACHED_STATUS, &CCacheSettings::m_nMemoryUsed, &sRegisterMap::MemoryUsed, size,
        u" - read used data log memory size from cache: ", u" - failed to get used data log memory size - ",
        u" - read used data log memory size: ");
}

HRESULT CDeviceComm::GetUsedPercent(USHORT& percent, HRESULT (CDeviceComm::*total)(ULONG&),
                                    HRESULT (CDeviceComm::*used)(ULONG&), const char16_t* first,
                                    const char16_t* second)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       percent = 0;
                       Trace(TRACE_LEVEL3) << first << TRACE_END;
                       ULONG totalValue = 0;
                       ULONG usedValue = 0;
                       HRESULT hr = (this->*total)(totalValue);
                       if (Failed(hr))
                           return hr;
                       hr = (this->*used)(usedValue);
                       if (Failed(hr))
                           return hr;
                       // An instrument may report more used than it has: the share stays a percentage.
                       if (totalValue != 0)
                       {
                           const double share =
                               static_cast<double>(usedValue) / static_cast<double>(totalValue);
                           percent = static_cast<USHORT>(std::min(share * 100.0, 100.0));
                       }
                       Trace(TRACE_LEVEL3) << second << percent << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::GetBatteryUsedPercent(USHORT& percent)
{
    return GetUsedPercent(percent, &CDeviceComm::GetTotalBatteryTicks, &CDeviceComm::GetUsedBatteryTicks,
                          u" - read pct battery used", u" - pct battery used: ");
}

HRESULT CDeviceComm::GetMemoryUsedPercent(USHORT& percent)
{
    return GetUsedPercent(percent, &CDeviceComm::GetTotalLogMemory, &CDeviceComm::GetUsedLogMemory,
                          u" - read pct memory used", u" - pct memory used: ");
}

HRESULT CDeviceComm::GetActiveLogFileNumber(USHORT& file)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       file = 0;
                       if (m_pCacheSettings->m_bValid != 0)
                       {
                           if (const HRESULT hr = UpdateStatusCache(); Failed(hr))
                               return hr;
                           file = m_pCacheSettings->m_nActiveLogFileNumber;
                           Trace(TRACE_LEVEL3)
                               << u" - read active log file#: " << file << u" from cache" << TRACE_END;
                       }
                       else
                       {
                           const HRESULT hr =
                               Network().ReadUShort(Address(), m_RegisterMap.ActiveLogFileNumber, file,
                                                    m_nReadTimeout, m_nRetryCount);
                           if (Failed(hr))
                           {
                               Trace(TRACE_LEVEL1)
                                   << u" - failed to get active log file# - " << TraceHr(hr) << TRACE_END;
                               return hr;
                           }
                           Trace(TRACE_LEVEL3) << u" - read active log file#: " << file << TRACE_END;
                       }
                       return file == 0 ? MODBUSCOMM_E_NO_ACTIVE_LOG : S_OK;
                   });
}

HRESULT CDeviceComm::GetActiveLogStatus(ULONG& status)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       status = 0;
                       if (m_pCacheSettings->m_bValid != 0)
                       {
                           if (const HRESULT hr = UpdateStatusCache(); Failed(hr))
                               return hr;
                           status = m_pCacheSettings->m_nActiveLogStatus;
                           Trace(TRACE_LEVEL3) << u" - read active log status: " << GetLogStatusName(status)
                                               << u" from cache" << TRACE_END;
                       }
                       else
                       {
                           USHORT value = 0;
                           const HRESULT hr = Network().ReadUShort(Address(), m_RegisterMap.ActiveLogStatus,
                                                                   value, m_nReadTimeout, m_nRetryCount);
                           if (Failed(hr))
                           {
                               Trace(TRACE_LEVEL1) << u" - failed to get active log file status - "
                                                   << TraceHr(hr) << TRACE_END;
                               return hr;
                           }
                           status = ValidLogStatus(value);
                           Trace(TRACE_LEVEL3) << u" - read active log file status: "
                                               << GetLogStatusName(status) << TRACE_END;
                       }
                       return status == 0 ? MODBUSCOMM_E_NO_ACTIVE_LOG : S_OK;
                   });
}

BOOL CDeviceComm::HasActiveLog()
{
    ULONG status = 0;
    const HRESULT hr = Guarded(GUARD_LINK | GUARD_FIRMWARE, [&] { return GetActiveLogStatus(status); });
    return Succeeded(hr) && IsActiveLogStatus(status) ? TRUE : FALSE;
}

HRESULT CDeviceComm::GetMaxPacketSize(USHORT& size)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       size = m_SlaveId.MaxPacketSize;
                       Trace(TRACE_LEVEL3) << u" - read max packet size from cache: " << size << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetGoodMsgCounter(ULONG& count)
{
    return ReadTraced(GUARDS_LINK_CHANGED, &sRegisterMap::GoodMsgCounter, count,
                      u" - failed to read good msg counter - ", u" - read good msg counter: ");
}

HRESULT CDeviceComm::GetBadMsgCounter(USHORT& count)
{
    return ReadTraced(GUARDS_LINK_CHANGED, &sRegisterMap::BadMsgCounter, count,
                      u" - failed to read bad msg counter - ", u" - read bad msg counter: ");
}

HRESULT CDeviceComm::GetExceptionMsgCounter(USHORT& count)
{
    return ReadTraced(GUARDS_LINK_CHANGED, &sRegisterMap::ExceptionMsgCounter, count,
                      u" - failed to read exception msg counter - ", u" - read exception msg counter: ");
}

HRESULT CDeviceComm::GetRegisterMapTemplateVersion(USHORT& version)
{
    return ReadPlaced(&sRegisterMap::TemplateVersion, version, u" - reading register map template ver",
                      u" - failed to get registry map ver, EC: ");
}

HRESULT CDeviceComm::GetExternalVoltage(USHORT& voltage)
{
    return ReadPlaced(&sRegisterMap::ExternalVoltage, voltage, u" - reading external voltage",
                      u" - failed to get external power voltage, EC: ");
}

HRESULT CDeviceComm::GetInternalBatteryVoltage(USHORT& voltage)
{
    return ReadPlaced(&sRegisterMap::InternalBatteryVoltage, voltage, u" - reading internal battery voltage",
                      u" - failed to get internal battery voltage, EC: ");
}

HRESULT CDeviceComm::GetTotalMeasurementCounter(ULONG& count)
{
    return ReadPlaced(&sRegisterMap::TotalMeasurementCounter, count, u" - reading total measurement counter",
                      u" - failed to get total measurement counter, EC: ");
}

HRESULT CDeviceComm::GetTotalBatteryCounter(ULONG& count)
{
    return ReadPlaced(&sRegisterMap::TotalBatteryCounter, count, u" - reading total battery counter",
                      u" - failed to get total battery counter, EC: ");
}

} // namespace NVSystem
