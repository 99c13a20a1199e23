// The calibration's view of the application's probe connection: the device that a calibration
// worker takes its reference on, and the probe lines of the report.
#pragma once

#include "calibration/data/CalProbe.h"
#include "connection/ProbeConnection.h"

class CProbeCalConnection : public ICalProbeConnection
{
public:
    explicit CProbeCalConnection(CProbeConnection& connection) : m_connection(connection) {}
    virtual ~CProbeCalConnection() = default;

    // Read without the connection lock: a worker asks while it may hold locks of its own, and the
    // connection lock comes before every one of them.
    NVSystem::CDeviceComm* GetCalDevice() override { return m_connection.GetDevice(); }
    CWideString GetDeviceTypeName() override { return m_connection.GetDeviceTypeName(); }
    CWideString GetSerialNumberText() override { return m_connection.GetSerialNumberText(); }
    CWideString GetManufactureDateText() override { return m_connection.GetManufactureDateText(); }

    CProbeConnection& Connection() { return m_connection; }

private:
    CProbeConnection& m_connection;
};

// The one over theProbeConnection.
CProbeCalConnection& TheProbeCalConnection();
