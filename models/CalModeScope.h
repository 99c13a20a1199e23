// Calibration mode of one sensor connection, on while this lives. A calibration sequence turns the
// mode off itself so that it can report the outcome; a way out that did not (an exception) turns it
// off here, so that a failed calibration never leaves the sensor, or a logger, in calibration mode.
#pragma once

#include "device/DeviceComm.h"

namespace NVSystem
{

class CCalModeScope
{
public:
    // For a connection whose calibration mode was turned on.
    CCalModeScope(CDeviceComm& device, USHORT connection) : m_Device(device), m_nConnection(connection) {}
    CCalModeScope(const CCalModeScope&) = delete;
    CCalModeScope& operator=(const CCalModeScope&) = delete;
    ~CCalModeScope()
    {
        if (m_bOn)
            m_Device.SetSensorCalModeOff(m_nConnection);
    }

    HRESULT Off()
    {
        m_bOn = false;
        return m_Device.SetSensorCalModeOff(m_nConnection);
    }

private:
    CDeviceComm& m_Device;
    const USHORT m_nConnection;
    bool m_bOn = true;
};

} // namespace NVSystem
