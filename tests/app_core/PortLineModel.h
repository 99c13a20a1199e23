// Makes a simulated probe hear the program's serial port only as the port is set, as a real line
// would carry it: a frame sent at another baud rate, character size, parity or number of stop bits
// does not reach the probe. The port's settings are taken when the test calls HearPortAsSetNow
// (the simulator's worker must not wait for the port's lock while a read holds it), so a test calls
// it again after each change of the port, before the next frame goes out.
#pragma once

#include <memory>
#include <optional>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "comm/SerialSettingsIds.h"
#include "tools/probe-sim/LineSettings.h"
#include "tools/probe-sim/MasterLine.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace apptest
{

inline bool HearPortAsSetNow(probesim::ProbeSimulator& sim, CModbusComm& network)
{
    const std::unique_ptr<NVTools::IIOAbstract> line(network.CloneCommLink());
    NVTools::CSerialComm* port = line != nullptr ? line->AsSerial() : nullptr;
    probesim::LineSettings settings;
    if (port == nullptr || port->GetImpl() == nullptr ||
        !GetIdsFromDcb(port->GetImpl()->GetCurrentDcb(), settings.baudId, settings.dataBitsId,
                       settings.parityId, settings.stopBitsId))
        return false;
    sim.SetMasterLine(probesim::MasterLineFor(settings));
    return true;
}

} // namespace apptest
