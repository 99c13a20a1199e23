// The instrument's measurement-cache time-out: how long it answers repeated reads of a measured
// value from its own cache.
#include "device/DeviceComm.h"

namespace NVSystem
{

HRESULT CDeviceComm::GetMeasurementCacheTimeout(USHORT& timeoutMs)
{
    return Guarded(
        GUARD_LINK,
        [&]
        {
            if (m_RegisterMap.MeasurementCacheTimeout == 0)
                return MODBUSCOMM_E_NOT_SUPPORTED;
            Trace(TRACE_LEVEL1) << u" - reading parameter measurement cache TO" << TRACE_END;
            USHORT value = 0;
            const HRESULT hr = Network().ReadUShort(Address(), m_RegisterMap.MeasurementCacheTimeout, value,
                                                    m_nReadTimeout, m_nRetryCount);
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - failed to read measurement cache TO, EC: " << TraceHr(hr)
                                    << TRACE_END;
                return hr;
            }
            timeoutMs = value;
            Trace(TRACE_LEVEL1) << u" - success, Parameter measurement cache TO(ms): " << value << TRACE_END;
            return hr;
        },
        MODBUSCOMM_E_EXCEPTION_CDC);
}

} // namespace NVSystem
