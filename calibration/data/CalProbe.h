// What a calibration data object needs of the application's probe connection. The application
// implements it over its connection object; tests implement it over a device they linked
// themselves.
#pragma once

#include "device/DeviceComm.h"
#include "foundation/WideString.h"

class ICalProbeConnection
{
public:
    // The connected device, without a reference; null when nothing is connected. Asked afresh for
    // every operation: a worker takes its own reference on what it gets.
    virtual NVSystem::CDeviceComm* GetCalDevice() = 0;
    // The three probe lines of a report, as the connection formats them (empty texts when not
    // connected).
    virtual CWideString GetDeviceTypeName() = 0;
    virtual CWideString GetSerialNumberText() = 0;
    virtual CWideString GetManufactureDateText() = 0;

protected:
    ~ICalProbeConnection() = default;
};
