// The serial port and the Modbus network on it, opened the way the connection, the reset broadcast
// and the port search all open them: port opened by number, its settings, RTS and DTR, the read
// framing of the mode, a new network with the port attached.
#pragma once

#include <memory>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "connection/CommSettings.h"

// The step at which OpenSerialLink failed.
enum class SerialLinkStep
{
    None,
    OpenPort,
    ConfigurePort, // no serial implementation, or the settings refused
    CreateNetwork,
    AttachPort,
};

struct SerialLink
{
    std::unique_ptr<NVTools::CSerialComm> port;
    CModbusComm* network = nullptr; // one reference held
};

// Opens settings.Port. On failure nothing stays open: the code and the failed step are returned
// and the link is empty.
HRESULT OpenSerialLink(const sCommSettings& settings, SerialLink& link, SerialLinkStep& failed);
// Detaches the port from the network, releases the network, closes the port and deletes its object;
// an empty link is left alone.
void CloseSerialLink(SerialLink& link);
