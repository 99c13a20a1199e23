// The instrument's 20-byte scratch pad, where the log-file meta-tag filler leaves the log's GUID.
#include <algorithm>

#include "device/DeviceComm.h"

namespace NVSystem
{

BOOL CDeviceComm::HasScratchPadRegister()
{
    BOOL present = FALSE;
    Guarded(GUARD_LINK,
            [&]
            {
                present = m_RegisterMap.ScratchPad != 0 ? TRUE : FALSE;
                return S_OK;
            });
    return present;
}

HRESULT CDeviceComm::WriteScratchPad(const CByteBuffer& data)
{
    return Guarded(GUARD_LINK,
                   [&]
                   {
                       if (m_RegisterMap.ScratchPad == 0)
                           return MODBUSCOMM_E_NOT_SUPPORTED;
                       // Always the whole pad: a shorter text leaves no rest of an older one behind.
                       CByteBuffer pad(SCRATCH_PAD_BYTES);
                       if (!pad.Append(std::min(data.GetLength(), SCRATCH_PAD_BYTES), data.GetData()))
                           return E_OUTOFMEMORY;
                       const uint8_t zeros[SCRATCH_PAD_BYTES] = {};
                       if (!pad.Append(SCRATCH_PAD_BYTES - pad.GetLength(), zeros))
                           return E_OUTOFMEMORY;
                       const HRESULT hr = Network().WriteRegisters(Address(), m_RegisterMap.ScratchPad,
                                                                   SCRATCH_PAD_REGISTERS, pad, m_nReadTimeout,
                                                                   m_nRetryCount);
                       if (Failed(hr))
                           Trace(TRACE_LEVEL1)
                               << u" - failed to write scratch pad register - " << TraceHr(hr) << TRACE_END;
                       return hr;
                   });
}

} // namespace NVSystem
