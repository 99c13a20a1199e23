// The register reads of the device getters: one frame for every getter that reads a register of
// the map, from the caches while they are valid, and traces what it got.
#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

HRESULT ReadValue(CModbusComm& network, USHORT address, USHORT registerNumber, USHORT& value, ULONG timeoutMs,
                  USHORT retries)
{
    return network.ReadUShort(address, registerNumber, value, timeoutMs, retries);
}

HRESULT ReadValue(CModbusComm& network, USHORT address, USHORT registerNumber, ULONG& value, ULONG timeoutMs,
                  USHORT retries)
{
    return network.ReadULong(address, registerNumber, value, timeoutMs, retries);
}

HRESULT ReadValue(CModbusComm& network, USHORT address, USHORT registerNumber, CWideString& value,
                  ULONG timeoutMs, USHORT retries)
{
    return network.ReadString(address, registerNumber, value, timeoutMs, retries);
}

} // namespace

template <typename Value>
HRESULT CDeviceComm::ReadCachedTraced(uint32_t guards, CachedAs cachedAs, Value CCacheSettings::*field,
                                      USHORT sRegisterMap::*entry, Value& value, const char16_t* fromCache,
                                      const char16_t* failure, const char16_t* success)
{
    return Guarded(guards,
                   [&]
                   {
                       value = Value{};
                       if (field != nullptr && m_pCacheSettings->m_bValid != 0)
                       {
                           if (cachedAs == CACHED_STATUS)
                           {
                               if (const HRESULT hr = UpdateStatusCache(); Failed(hr))
                                   return hr;
                           }
                           value = (*m_pCacheSettings).*field;
                           Trace(TRACE_LEVEL3) << fromCache << value << TRACE_END;
                           return S_OK;
                       }
                       const HRESULT hr = ReadValue(Network(), Address(), m_RegisterMap.*entry, value,
                                                    m_nReadTimeout, m_nRetryCount);
                       if (Failed(hr))
                           Trace(TRACE_LEVEL1) << failure << TraceHr(hr) << TRACE_END;
                       else
                           Trace(TRACE_LEVEL3) << success << value << TRACE_END;
                       return hr;
                   });
}

template <typename Value>
HRESULT CDeviceComm::ReadTraced(uint32_t guards, USHORT sRegisterMap::*entry, Value& value,
                                const char16_t* failure, const char16_t* success)
{
    return ReadCachedTraced<Value>(guards, CACHED_FIXED, nullptr, entry, value, nullptr, failure, success);
}

template <typename Value>
HRESULT CDeviceComm::ReadPlaced(USHORT sRegisterMap::*entry, Value& value, const char16_t* reading,
                                const char16_t* failure)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       value = Value{};
                       const USHORT registerNumber = m_RegisterMap.*entry;
                       if (registerNumber == 0)
                           return MODBUSCOMM_E_NOT_SUPPORTED;
                       Trace(TRACE_LEVEL1) << reading << TRACE_END;
                       const HRESULT hr = ReadValue(Network(), Address(), registerNumber, value,
                                                    GetReadRegisterTimeout(), m_nRetryCount);
                       if (Failed(hr))
                           Trace(TRACE_LEVEL1) << failure << TraceHr(hr) << TRACE_END;
                       else
                           Trace(TRACE_LEVEL1) << u" - success" << TRACE_END;
                       return hr;
                   });
}

// The value types the getters read.
template HRESULT CDeviceComm::ReadTraced(uint32_t, USHORT sRegisterMap::*, USHORT&, const char16_t*,
                                         const char16_t*);
template HRESULT CDeviceComm::ReadTraced(uint32_t, USHORT sRegisterMap::*, ULONG&, const char16_t*,
                                         const char16_t*);
template HRESULT CDeviceComm::ReadCachedTraced(uint32_t, CachedAs, USHORT CCacheSettings::*,
                                               USHORT sRegisterMap::*, USHORT&, const char16_t*,
                                               const char16_t*, const char16_t*);
template HRESULT CDeviceComm::ReadCachedTraced(uint32_t, CachedAs, ULONG CCacheSettings::*,
                                               USHORT sRegisterMap::*, ULONG&, const char16_t*,
                                               const char16_t*, const char16_t*);
template HRESULT CDeviceComm::ReadCachedTraced(uint32_t, CachedAs, CWideString CCacheSettings::*,
                                               USHORT sRegisterMap::*, CWideString&, const char16_t*,
                                               const char16_t*, const char16_t*);
template HRESULT CDeviceComm::ReadPlaced(USHORT sRegisterMap::*, USHORT&, const char16_t*, const char16_t*);
template HRESULT CDeviceComm::ReadPlaced(USHORT sRegisterMap::*, ULONG&, const char16_t*, const char16_t*);

} // namespace NVSystem
