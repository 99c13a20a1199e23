// The instrument's 32-bit software register, whose bits the instrument classes switch.
#include "device/DeviceComm.h"

namespace NVSystem
{

namespace
{

constexpr ULONG kHighestBit = 31;

} // namespace

HRESULT CDeviceComm::ReadSoftwareRegisterValue(ULONG& value)
{
    if (m_pCacheSettings->m_bValid != 0)
    {
        value = m_pCacheSettings->m_nSoftwareRegister;
        return S_OK;
    }
    const HRESULT hr =
        Network().ReadULong(Address(), m_RegisterMap.SoftwareRegister, value, m_nReadTimeout, m_nRetryCount);
    if (Failed(hr))
        Trace(TRACE_LEVEL1) << u" - failed to read software register - " << TraceHr(hr) << TRACE_END;
    return hr;
}

HRESULT CDeviceComm::GetSoftwareRegister(ULONG& value)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       value = 0;
                       const bool cached = m_pCacheSettings->m_bValid != 0;
                       const HRESULT hr = ReadSoftwareRegisterValue(value);
                       if (Succeeded(hr))
                       {
                           Trace(TRACE_LEVEL3) << (cached ? u" - read software register from cache: "
                                                          : u" - read software register: ")
                                               << value << TRACE_END;
                       }
                       return hr;
                   });
}

HRESULT CDeviceComm::SetSoftwareRegister(ULONG value)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       Trace(TRACE_LEVEL1)
                           << u" - attempting to set software register value: " << value << TRACE_END;
                       const HRESULT hr = Network().WriteULong(Address(), m_RegisterMap.SoftwareRegister,
                                                               value, m_nWriteTimeout, m_nRetryCount);
                       if (Failed(hr))
                       {
                           Trace(TRACE_LEVEL1)
                               << u" - failed to write software register - " << TraceHr(hr) << TRACE_END;
                           return hr;
                       }
                       m_pCacheSettings->m_nSoftwareRegister = value;
                       return hr;
                   });
}

HRESULT CDeviceComm::ChangeSoftwareRegisterBit(ULONG bit, bool enable)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       if (bit > kHighestBit)
                           return MODBUSCOMM_E_INVALID_BIT_NUMBER;
                       Trace(TRACE_LEVEL1) << (enable ? u" - attempting to enable software register bit: "
                                                      : u" - attempting to disable software register bit: ")
                                           << bit << TRACE_END;
                       ULONG value = 0;
                       HRESULT hr = ReadSoftwareRegisterValue(value);
                       if (Failed(hr))
                           return hr;
                       const ULONG mask = 1u << bit;
                       hr = SetSoftwareRegister(enable ? (value | mask) : (value & ~mask));
                       if (Failed(hr))
                           return hr;
                       Trace(TRACE_LEVEL1) << (enable ? u" - software register bit enabled: "
                                                      : u" - software register bit disabled: ")
                                           << bit << TRACE_END;
                       return hr;
                   });
}

HRESULT CDeviceComm::EnableSoftwareRegisterBit(ULONG bit)
{
    return ChangeSoftwareRegisterBit(bit, true);
}

HRESULT CDeviceComm::DisableSoftwareRegisterBit(ULONG bit)
{
    return ChangeSoftwareRegisterBit(bit, false);
}

HRESULT CDeviceComm::GetSoftwareRegisterBit(ULONG bit, BOOL& set)
{
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       set = FALSE;
                       if (bit > kHighestBit)
                           return MODBUSCOMM_E_INVALID_BIT_NUMBER;
                       const bool cached = m_pCacheSettings->m_bValid != 0;
                       ULONG value = 0;
                       const HRESULT hr = ReadSoftwareRegisterValue(value);
                       if (Failed(hr))
                           return hr;
                       set = (value >> bit) & 1u ? TRUE : FALSE;
                       Trace(TRACE_LEVEL3)
                           << (cached ? u" - read software bit from cache: " : u" - read software bit: ")
                           << bit << (set ? u" - Enabled" : u" - Disabled") << TRACE_END;
                       return hr;
                   });
}

} // namespace NVSystem
