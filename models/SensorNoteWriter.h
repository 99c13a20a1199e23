// A user note that a sensor operation writes on request: only into an active log of the device (E_FAIL
// without one, before anything is read), built from what the caller gathers, and written with the
// device lock given up, because the note write waits for the device's file transfers.
#pragma once

#include "device/DeviceComm.h"

namespace NVSystem
{

// build(note) gathers the values and builds the note; its failure is the result, else the write's.
template <typename Note, typename Build>
HRESULT WriteNoteToActiveLog(CDeviceComm& device, Build&& build) noexcept
{
    try
    {
        if (!device.HasActiveLog())
            return E_FAIL;
        Note note;
        HRESULT hr = build(note);
        if (Succeeded(hr))
            hr = device.WriteLogNote(note);
        return hr;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDC;
    }
}

} // namespace NVSystem
