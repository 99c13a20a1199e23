// A change of the instrument's measurement-cache time-out; while a log runs, the log is told of it
// by a note, so that it shows when and by whom the sampling behaviour changed.
#include "device/DeviceComm.h"
#include "device/MeasCacheTimeoutNote.h"

namespace NVSystem
{

HRESULT CDeviceComm::SetMeasurementCacheTimeout(USHORT timeoutMs)
{
    ULONG serial = 0;
    const HRESULT hr = Guarded(
        GUARD_LINK,
        [&]
        {
            if (m_RegisterMap.MeasurementCacheTimeout == 0)
                return MODBUSCOMM_E_NOT_SUPPORTED;
            Trace(TRACE_LEVEL1) << u" - setting measurement cache TO (ms): " << timeoutMs << TRACE_END;
            const HRESULT written = Network().WriteUShort(Address(), m_RegisterMap.MeasurementCacheTimeout,
                                                          timeoutMs, m_nWriteTimeout, m_nRetryCount);
            if (Failed(written))
                Trace(TRACE_LEVEL1) << u" - failed to set measurement cache TO, EC: " << TraceHr(written)
                                    << TRACE_END;
            serial = m_SlaveId.SerialNumber;
            return written;
        },
        MODBUSCOMM_E_EXCEPTION_CDC);
    if (Failed(hr))
        return hr;

    // The device lock is free again here: the note waits for the file-transfer lock, which a
    // transfer on another thread holds while it takes the device lock for its own steps.
    try
    {
        if (HasActiveLog())
        {
            CNVUserNote_SensorMeasCacheTO note;
            note.Build(serial, timeoutMs);
            WriteLogNote(note);
        }
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
    Trace(TRACE_LEVEL1) << u" - success" << TRACE_END;
    return hr;
}

} // namespace NVSystem
