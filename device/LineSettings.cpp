// The instrument's side of the line: its Modbus address, serial settings, EOM, EOS and Stay Awake,
// and which interfaces it has. The PC side of the line is left as it is; after a change of address
// or line settings the caller reconnects.
#include <algorithm>

#include "device/CommSettingsWord.h"
#include "device/DeviceComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kMinDeviceAddress = 1;
constexpr USHORT kMaxDeviceAddress = 248;

const char16_t* StateText(ULONG state)
{
    return state != 0 ? u"Enabled" : u"Disabled";
}

} // namespace

HRESULT CDeviceComm::SetDeviceAddress(USHORT address)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       if (address < kMinDeviceAddress || address > kMaxDeviceAddress)
                           return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
                       HRESULT hr = Network().WriteUShort(Address(), m_RegisterMap.DeviceAddress, address,
                                                          m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to set device address - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       Trace(TRACE_LEVEL1) << u" - changed to: " << address << TRACE_END;
                       // The instrument sleeps after the same idle time at its new address.
                       Network().SetDeviceEOS(address, Network().GetDeviceEOS(Address()));
                       USHORT confirmed = 0;
                       hr = Network().ReadUShort(address, m_RegisterMap.DeviceAddress, confirmed,
                                                 m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u"No response at :" << address
                                               << u" assume command was success full" << TRACE_END;
                           return S_OK;
                       }
                       Trace(TRACE_LEVEL1) << u"Response at :" << address << TRACE_END;
                       m_nAddress.store(address);
                       return hr;
                   });
}

HRESULT CDeviceComm::GetDeviceAddress(USHORT& address)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       address = 0;
                       const HRESULT hr = Network().ReadUShort(Address(), m_RegisterMap.DeviceAddress,
                                                               address, m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                           m_Trace << TRACE_LEVEL1 << u"Failed to get device address - " << TraceHr(hr)
                                   << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::ChangeDeviceCommunications(ULONG mode, ULONG baudId, ULONG dataBitsId, ULONG parityId,
                                                ULONG stopBitsId)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       const sSerialConfig settings{mode, baudId, dataBitsId, parityId, stopBitsId};
                       if (const HRESULT hr = CheckCommSettings(settings, m_SlaveId.MaxBaudRateId);
                           Failed(hr))
                           return hr;
                       const HRESULT hr = Network().WriteUShort(Address(), m_RegisterMap.CommSettings,
                                                                EncodeCommSettings(settings), m_nWriteTimeout,
                                                                m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to change device communications - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       m_pCacheSettings->m_SerialConfig = settings;
                       Trace(TRACE_LEVEL1) << u" - comm settings changed to:\n"
                                           << u"Transmission Mode: " << mode << u"Baud: " << baudId
                                           << u"DataBits: " << dataBitsId << u"Parity: " << parityId
                                           << u"StopBits: " << stopBitsId << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::GetSerialConfig(ULONG& mode, ULONG& baudId, ULONG& dataBitsId, ULONG& parityId,
                                     ULONG& stopBitsId)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       CCacheSettings& cache = *m_pCacheSettings;
                       if (cache.m_bValid == 0)
                       {
                           USHORT word = 0;
                           const HRESULT hr = Network().ReadUShort(Address(), m_RegisterMap.CommSettings,
                                                                   word, m_nReadTimeout, m_nRetryCount);
                           if (Failed(hr))
                           {
                               Trace(TRACE_LEVEL1) << u" - failed to read the communication register - "
                                                   << TraceHr(hr) << TRACE_END;
                               return hr;
                           }
                           cache.m_SerialConfig = DecodeCommSettings(word);
                       }
                       const sSerialConfig& settings = cache.m_SerialConfig;
                       mode = settings.Mode;
                       baudId = settings.BaudId;
                       dataBitsId = settings.DataBitsId;
                       parityId = settings.ParityId;
                       stopBitsId = settings.StopBitsId;
                       Trace(TRACE_LEVEL3) << u" - read serial cfg from cache:\n"
                                           << u"Mode: " << mode << u"\n"
                                           << u"BaudId: " << baudId << u"\n"
                                           << u"DataBitsId: " << dataBitsId << u"\n"
                                           << u"ParityBitsId: " << parityId << u"\n"
                                           << u"StopBitsId: " << stopBitsId << u"\n"
                                           << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::GetEOM(USHORT& eom)
{
    return ReadCachedTraced(GUARDS_LINK_CHANGED, CACHED_FIXED, &CCacheSettings::m_nEOM, &sRegisterMap::Eom,
                            eom, u" - read EOM from cache: ", u" - failed to read EOM - ", u" - read EOM: ");
}

HRESULT CDeviceComm::SetEOM(USHORT eom)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       const HRESULT hr = Network().WriteUShort(Address(), m_RegisterMap.Eom, eom,
                                                                m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1) << u" - failed to set EOM - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       m_pCacheSettings->m_nEOM = eom;
                       Trace(TRACE_LEVEL1) << u" - set EOM to: " << eom << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::GetEOS(USHORT& eos)
{
    return ReadCachedTraced(GUARDS_LINK_CHANGED, CACHED_FIXED, &CCacheSettings::m_nEOS, &sRegisterMap::Eos,
                            eos, u" - read EOS from cache: ", u" - failed to read EOS - ", u" - read EOS: ");
}

HRESULT CDeviceComm::SetEOS(USHORT eos)
{
    return Guarded(
        GUARDS_LINK_CHANGED,
        [&]
        {
            USHORT delay = 0;
            HRESULT hr = Network().GetTransmissionDelay(delay);
            if (Failed(hr))
                return hr;
            // An instrument that falls asleep before a reply could come back is never
            // reached again.
            const ULONG minimum = std::min(m_nReadTimeout, m_nWriteTimeout) + delay;
            const auto value = static_cast<USHORT>(std::min<ULONG>(std::max<ULONG>(eos, minimum), 0xFFFF));
            hr = Network().WriteUShort(Address(), m_RegisterMap.Eos, value, m_nWriteTimeout, m_nRetryCount);
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to set EOS - " << TraceHr(hr) << TRACE_END;
                return hr;
            }
            m_pCacheSettings->m_nEOS = value;
            // The network wakes the instrument after the idle time it now sleeps after, not the
            // one it had when the caches were last read.
            Network().SetDeviceEOS(Address(), value);
            Trace(TRACE_LEVEL1) << u" - set EOS to: " << value << TRACE_END;
            return hr;
        });
}

BOOL CDeviceComm::IsStayAwakeSupported()
{
    BOOL supported = FALSE;
    Guarded(GUARDS_LINK_CHANGED,
            [&]
            {
                Trace(TRACE_LEVEL3) << u" - checking if Stay Awake is supported" << TRACE_END;
                USHORT configuration = 0;
                const HRESULT hr = Network().ReadUShort(Address(), REG_INTERFACE_CONFIGURATION, configuration,
                                                        m_nReadTimeout, m_nRetryCount);
                if (Failed(hr))
                {
                    Trace(TRACE_LEVEL1) << u" - failed to read Interface Configuration register; error: "
                                        << TraceHr(hr) << TRACE_END;
                    return hr;
                }
                supported = (configuration & INTERFACE_STAY_AWAKE) != 0 ? TRUE : FALSE;
                Trace(TRACE_LEVEL3) << u" - Stay Awake is " << (supported ? u"supported" : u"not supported")
                                    << TRACE_END;
                return hr;
            });
    return supported;
}

HRESULT CDeviceComm::GetStayAwake(ULONG& state)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       state = 0;
                       Trace(TRACE_LEVEL3) << u" - reading Stay Awake state" << TRACE_END;
                       USHORT value = 0;
                       const HRESULT hr = Network().ReadUShort(Address(), REG_STAY_AWAKE, value,
                                                               m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to read Stay Awake state; error: " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       state = value;
                       Trace(TRACE_LEVEL3) << u" - Stay Awake state is: " << StateText(state) << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::SetStayAwake(ULONG state)
{
    return Guarded(GUARDS_LINK_CHANGED,
                   [&]
                   {
                       Trace(TRACE_LEVEL1)
                           << u" - writing Stay Awake state: " << StateText(state) << TRACE_END;
                       // A state of 0x10000 must not arrive as 0.
                       const USHORT value = state != 0 ? 1 : 0;
                       const HRESULT hr = Network().WriteUShort(Address(), REG_STAY_AWAKE, value,
                                                                m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to write Stay Awake state; error: " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       Trace(TRACE_LEVEL1) << u" - wrote Stay Awake state: " << StateText(state) << TRACE_END;
                       return S_OK;
                   });
}

BOOL CDeviceComm::HasInterface(USHORT interfaceBit, bool (*hasWithoutRegister)(const SlaveIdInfo& slaveId))
{
    BOOL supported = FALSE;
    Guarded(GUARD_LINK | GUARD_FIRMWARE,
            [&]
            {
                if (hasWithoutRegister(m_SlaveId))
                {
                    supported = TRUE;
                    return S_OK;
                }
                USHORT configuration = 0;
                const HRESULT hr = Network().ReadUShort(Address(), REG_INTERFACE_CONFIGURATION, configuration,
                                                        m_nReadTimeout, m_nRetryCount);
                if (Failed(hr))
                {
                    Trace(TRACE_LEVEL1) << u" - failed to get IO Cfg register - " << TraceHr(hr) << TRACE_END;
                    return hr;
                }
                supported = (configuration & interfaceBit) != 0 ? TRUE : FALSE;
                return hr;
            });
    return supported;
}

BOOL CDeviceComm::IsSdi12Supported()
{
    // Instruments before the Interface Configuration register all have the interface.
    return HasInterface(INTERFACE_SDI12, [](const SlaveIdInfo& slaveId)
                        { return slaveId.RegisterMapVersion < 2 || slaveId.DeviceTypeId == 9; });
}

} // namespace NVSystem
