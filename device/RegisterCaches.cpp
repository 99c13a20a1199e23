// The register caches: the reserved register block, the status registers, the communication
// registers, and the checks that the instrument at the address is still the one the device was
// created for.
#include <array>
#include <new>

#include "device/CommSettingsWord.h"
#include "device/DeviceComm.h"
#include "foundation/BufferReader.h"
#include "foundation/NameLookups.h"
#include "platform/Format.h"

namespace NVSystem
{

namespace
{

// The reserved register block as the instrument lays it out; fixed numbers, whatever the map says.
constexpr std::array<sRegisterBlock, 24> kReservedRegisterBlocks{{
    {49000, 1}, {49001, 1}, {49002, 2}, {49004, 3}, {49007, 1},  {49008, 1},  {49009, 1}, {49010, 1},
    {49011, 2}, {49013, 2}, {49015, 3}, {49018, 1}, {49019, 32}, {49051, 32}, {49083, 4}, {49087, 4},
    {49091, 4}, {49095, 2}, {49097, 3}, {49100, 2}, {49102, 2},  {49104, 2},  {49106, 1}, {49107, 1},
}};
constexpr sRegisterBlock kGuidBlock{49108, 8};
constexpr std::array<sRegisterBlock, 3> kCommControlRegisterBlocks{{{49201, 1}, {49202, 1}, {49203, 1}}};

constexpr USHORT kStatusBlockRegisters = 11;
constexpr uint32_t kStatusBlockBytes = 2 * kStatusBlockRegisters;
constexpr uint64_t kIdentityCheckPeriodMs = 5000;

template <size_t N>
CDynArray<sRegisterBlock> BlockList(const std::array<sRegisterBlock, N>& blocks)
{
    CDynArray<sRegisterBlock> list;
    for (const sRegisterBlock& block : blocks)
    {
        if (list.Add(block) < 0)
            throw std::bad_alloc();
    }
    return list;
}

// Keeps the first failure of a run of reads; the values read after it are not used.
class FirstFailure
{
public:
    void operator()(HRESULT hr)
    {
        if (Succeeded(m_hr) && Failed(hr))
            m_hr = hr;
    }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr = S_OK;
};

// The status registers, read with the reserved block and again, on their own, once per refresh
// interval.
struct sStatusRegisters
{
    CDeviceTimestamp DeviceTime;
    ULONG DeviceStatus = 0;
    ULONG BatteryUsed = 0;
    ULONG MemoryUsed = 0;
    USHORT ActiveLogFileNumber = 0;
    USHORT ActiveLogStatus = 0;
};

void DecodeStatusRegisters(CBufferReader& reader, FirstFailure& result, sStatusRegisters& status)
{
    result(ReadDeviceTimestamp(reader, status.DeviceTime));
    result(reader.ReadULong(status.DeviceStatus));
    result(reader.ReadULong(status.BatteryUsed));
    result(reader.ReadULong(status.MemoryUsed));
    result(reader.ReadUShort(status.ActiveLogFileNumber));
    result(reader.ReadUShort(status.ActiveLogStatus));
}

void StoreStatusRegisters(const sStatusRegisters& status, CCacheSettings& cache)
{
    cache.m_DeviceTimeReference = status.DeviceTime;
    cache.m_nDeviceStatus = status.DeviceStatus;
    cache.m_nBatteryUsed = status.BatteryUsed;
    cache.m_nMemoryUsed = status.MemoryUsed;
    cache.m_nActiveLogFileNumber = status.ActiveLogFileNumber;
    cache.m_nActiveLogStatus = ValidLogStatus(status.ActiveLogStatus);
}

struct sReservedBlock
{
    USHORT DeviceTypeId = 0;
    ULONG SerialNumber = 0;
    CDeviceTimestamp FirstTimestamp;
    USHORT Register49010 = 0;
    ULONG TotalLogMemory = 0;
    ULONG TotalBatteryTicks = 0;
    CDeviceTimestamp SecondTimestamp;
    CWideString DeviceName;
    CWideString SiteName;
    double Value49083 = 0.0;
    double Value49087 = 0.0;
    double Value49091 = 0.0;
    ULONG SoftwareRegister = 0;
    sStatusRegisters Status;
    GUID DeviceGuid;
};

// identity: the result of the identity fields alone, which are compared before anything else.
HRESULT DecodeReservedBlock(const CByteBuffer& data, bool withGuid, sReservedBlock& block, HRESULT& identity)
{
    CBufferReader reader(data);
    FirstFailure result;
    USHORT ignored = 0;
    result(reader.ReadUShort(ignored));
    result(reader.ReadUShort(block.DeviceTypeId));
    result(reader.ReadULong(block.SerialNumber));
    identity = result.Result();
    result(ReadDeviceTimestamp(reader, block.FirstTimestamp));
    for (int i = 0; i < 3; ++i)
        result(reader.ReadUShort(ignored));
    result(reader.ReadUShort(block.Register49010));
    result(reader.ReadULong(block.TotalLogMemory));
    result(reader.ReadULong(block.TotalBatteryTicks));
    result(ReadDeviceTimestamp(reader, block.SecondTimestamp));
    result(reader.ReadUShort(ignored));
    result(reader.ReadString(32, block.DeviceName));
    result(reader.ReadString(32, block.SiteName));
    result(reader.ReadDouble(block.Value49083));
    result(reader.ReadDouble(block.Value49087));
    result(reader.ReadDouble(block.Value49091));
    result(reader.ReadULong(block.SoftwareRegister));
    DecodeStatusRegisters(reader, result, block.Status);
    if (withGuid)
        result(reader.ReadGuid(block.DeviceGuid));
    return result.Result();
}

std::string StatusTimeText(const CDeviceTimestamp& time)
{
    SYSTEMTIME t;
    time.GetSystemTime(t);
    return platform::Format("%04d/%02d/%02d %02d:%02d:%02d:%0d", t.wYear, t.wMonth, t.wDay, t.wHour,
                            t.wMinute, t.wSecond, t.wMilliseconds);
}

} // namespace

HRESULT CDeviceComm::UpdateCache()
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       CCacheSettings& cache = *m_pCacheSettings;
                       Trace(TRACE_LEVEL1) << u" Starting cache update" << TRACE_END;
                       cache.m_bValid = 0;
                       cache.m_bLogDirStale = 1;
                       cache.m_bStale = 1;
                       if (!RunsApplication())
                           return MODBUSCOMM_E_NO_APP_FIRMWARE;

                       const bool withGuid = m_SlaveId.RegisterMapVersion >= 3;
                       CDynArray<sRegisterBlock> blocks = BlockList(kReservedRegisterBlocks);
                       if (withGuid && blocks.Add(kGuidBlock) < 0)
                           return E_OUTOFMEMORY;
                       CByteBuffer data;
                       HRESULT hr = Network().ReadRegisterBlocks(
                           Address(), data, m_nReadTimeout, m_nRetryCount, m_SlaveId.MaxPacketSize, blocks);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u" - failed to read the reserved register block - "
                                               << TraceHr(hr) << TRACE_END;
                           return hr;
                       }

                       sReservedBlock block;
                       HRESULT identity = S_OK;
                       const HRESULT decoded = DecodeReservedBlock(data, withGuid, block, identity);
                       if (Succeeded(identity) && (block.DeviceTypeId != m_SlaveId.DeviceTypeId ||
                                                   block.SerialNumber != m_SlaveId.SerialNumber))
                       {
                           cache.m_bDeviceChanged = 1;
                           return MODBUSCOMM_E_DEVICE_CHANGED;
                       }
                       if (Failed(decoded))
                           return decoded;

                       cache.m_FirstTimestamp = block.FirstTimestamp;
                       cache.m_nRegister49010 = block.Register49010;
                       cache.m_nTotalLogMemory = block.TotalLogMemory;
                       cache.m_nTotalBatteryTicks = block.TotalBatteryTicks;
                       cache.m_SecondTimestamp = block.SecondTimestamp;
                       cache.m_DeviceName = block.DeviceName;
                       cache.m_SiteName = block.SiteName;
                       cache.m_dValue49083 = block.Value49083;
                       cache.m_dValue49087 = block.Value49087;
                       cache.m_dValue49091 = block.Value49091;
                       cache.m_nSoftwareRegister = block.SoftwareRegister;
                       StoreStatusRegisters(block.Status, cache);
                       if (withGuid)
                           cache.m_DeviceGuid = block.DeviceGuid;
                       cache.MarkStatusRead();

                       hr = Network().ReadRegisterBlocks(Address(), data, m_nReadTimeout, m_nRetryCount,
                                                         m_SlaveId.MaxPacketSize,
                                                         BlockList(kCommControlRegisterBlocks));
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u" - failed to read the comm control register block - "
                                               << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       CBufferReader reader(data);
                       FirstFailure result;
                       USHORT settings = 0;
                       USHORT eom = 0;
                       USHORT eos = 0;
                       result(reader.ReadUShort(settings));
                       result(reader.ReadUShort(eom));
                       result(reader.ReadUShort(eos));
                       if (Failed(result.Result()))
                           return result.Result();
                       cache.m_SerialConfig = DecodeCommSettings(settings);
                       cache.m_nEOM = eom;
                       cache.m_nEOS = eos;
                       // The instrument sleeps after EOS of silence: the network wakes it up after that long.
                       Network().SetDeviceEOS(Address(), eos);

                       Trace(TRACE_LEVEL1) << u" Cache Initialized" << TRACE_END;
                       cache.m_bValid = 1;
                       return result.Result();
                   });
}

HRESULT CDeviceComm::SetCacheRefreshInterval(ULONG ms)
{
    return Guarded(0,
                   [&]
                   {
                       Trace(TRACE_LEVEL1)
                           << u" cache refresh interval changed from "
                           << m_pCacheSettings->m_nRefreshIntervalMs << u" to " << ms << u"(ms)" << TRACE_END;
                       m_pCacheSettings->m_nRefreshIntervalMs = ms;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::SetLogDirCacheRefreshInterval(ULONG ms)
{
    return Guarded(0,
                   [&]
                   {
                       Trace(TRACE_LEVEL1) << u" log dir cache refresh interval changed from "
                                           << m_pCacheSettings->m_nLogDirRefreshIntervalMs << u" to " << ms
                                           << u"(ms)" << TRACE_END;
                       m_pCacheSettings->m_nLogDirRefreshIntervalMs = ms;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::UpdateSlaveId()
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       Trace(TRACE_LEVEL1) << u" Starting slave id update" << TRACE_END;
                       // Read aside: a failed read clears its record, and the held one must survive it.
                       SlaveIdInfo slaveId;
                       const HRESULT hr =
                           Network().ReportSlaveId(Address(), slaveId, m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to read the device slave id - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       StoreSlaveId(slaveId);
                       m_pCacheSettings->m_IdentityCheckStopwatch.Start();
                       const HRESULT init = InitRegisterMap();
                       Trace(TRACE_LEVEL1) << (Succeeded(init) ? u" Slave id updated successfully"
                                                               : u" Slave id update failed")
                                           << TRACE_END;
                       return init;
                   });
}

HRESULT CDeviceComm::UpdateStatusCache()
{
    return Guarded(
        GUARDS_ALL,
        [&]
        {
            CCacheSettings& cache = *m_pCacheSettings;
            if (cache.m_bStale == 0 && cache.m_RefreshStopwatch.GetElapsedMs() < cache.m_nRefreshIntervalMs)
                return S_OK;
            CByteBuffer data;
            ULONG replyBytes = 0;
            const HRESULT hr =
                Network().ReadRegisters(Address(), m_RegisterMap.DeviceTime, kStatusBlockRegisters, data,
                                        m_nReadTimeout, m_nRetryCount, replyBytes);
            // The network refuses a reply of the wrong length; a short one is named as a status
            // block that cannot be decoded, and the cache stays as it was.
            if (hr == MODBUSCOMM_E_INVALID_RESPONSE_LENGTH && replyBytes < kStatusBlockBytes)
                return E_BUFFER_EXTRACTION_OVERRUN;
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to read register block - " << TraceHr(hr) << TRACE_END;
                return hr;
            }

            CBufferReader reader(data);
            FirstFailure result;
            sStatusRegisters status;
            DecodeStatusRegisters(reader, result, status);
            if (Failed(result.Result()))
                return result.Result();
            StoreStatusRegisters(status, cache);

            Trace(TRACE_LEVEL3) << u" - cached status info updated:\n"
                                << u"\tDevice Time: " << StatusTimeText(status.DeviceTime).c_str() << u"\n"
                                << u"\tDevice Status: " << status.DeviceStatus << u"\n"
                                << u"\tBatt Used: " << status.BatteryUsed << u"\n"
                                << u"\tMem Used: " << status.MemoryUsed << u"\n"
                                << u"\tActive File#: " << status.ActiveLogFileNumber << u"\n"
                                << u"\tActive File Status: " << GetLogStatusName(cache.m_nActiveLogStatus)
                                << TRACE_END;
            cache.MarkStatusRead();
            return result.Result();
        });
}

HRESULT CDeviceComm::GetSerialNumber()
{
    return Guarded(GUARD_LINK,
                   [&]
                   {
                       CCacheSettings& cache = *m_pCacheSettings;
                       if (cache.m_bDeviceChanged != 0)
                           return MODBUSCOMM_E_DEVICE_CHANGED;
                       if (cache.m_IdentityCheckStopwatch.GetElapsedMs() < kIdentityCheckPeriodMs)
                           return S_OK;
                       SlaveIdInfo reported;
                       const HRESULT hr =
                           Network().ReportSlaveId(Address(), reported, m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to read serial # - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       if (reported.SerialNumber != m_SlaveId.SerialNumber)
                       {
                           cache.m_bDeviceChanged = 1;
                           return MODBUSCOMM_E_DEVICE_CHANGED;
                       }
                       cache.m_IdentityCheckStopwatch.Start();
                       return hr;
                   });
}

} // namespace NVSystem
