// What the benchmark programs share: a settings store of the run's own, the simulated probe's entry
// in the port table, and a line to the probe with a device object linked as the factory links one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace benchsupport
{

// Sets a communication tunable in the settings store and makes the process read it again.
inline void SetTunable(const char16_t* name, uint32_t value)
{
    platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value);
    ResetCommTunablesForTests();
}

// The port table and the tunables go to a settings store of the run's own, removed at exit; the
// tunables given are set in it.
struct PrivateSettings
{
    explicit PrivateSettings(std::initializer_list<std::pair<const char16_t*, uint32_t>> tunables = {})
    {
        char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        dir = pattern;
        setenv("NORVANE_CONFIG_DIR", dir.c_str(), 1);
        platform::settings::ResetForTests();
        for (const auto& [name, value] : tunables)
            SetTunable(name, value);
    }
    ~PrivateSettings()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;

    std::string dir;
};

// The COM port number under which the port table lists the probe's pseudo-terminal; 0, with the
// reason on standard error, when it cannot be listed.
inline USHORT RegisterProbePort(probesim::ProbeSimulator& sim)
{
    std::string error;
    const auto port = static_cast<USHORT>(probesim::RegisterComPort(sim.SlavePath(), 0, error).value_or(0));
    if (port == 0)
        std::fprintf(stderr, "port table: %s\n", error.c_str());
    return port;
}

struct DeviceReleaser
{
    void operator()(NVSystem::CDeviceComm* device) const { device->Release(); }
};
struct NetworkReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); }
};

// A line to the probe: the port, a network object on it in RTU and, after Link, a device object
// linked to the instrument at the address. What could not be made stays null.
struct DeviceLine
{
    DeviceLine() = default;
    DeviceLine(const DeviceLine&) = delete;
    DeviceLine& operator=(const DeviceLine&) = delete;
    ~DeviceLine()
    {
        device.reset();
        network.reset();
        port.Close();
    }

    // The port and the network; false when either fails.
    bool Connect(USHORT comPort)
    {
        if (comPort == 0 || port.Open(comPort) != S_OK)
            return false;
        network.reset(CModbusComm::Create());
        return network && network->ConnectCommLink(port) == S_OK && network->SetTransmissionMode(0) == S_OK;
    }
    // Connect, then the device object for the instrument that answers at the address.
    bool Link(USHORT comPort, uint8_t address)
    {
        if (!Connect(comPort))
            return false;
        SlaveIdInfo slaveId;
        if (network->ReportSlaveId(address, slaveId, 1000, 1) != S_OK)
            return false;
        device.reset(new NVSystem::CDeviceComm(slaveId));
        if (device->AttachCommLink(address, slaveId, network.get()) != S_OK)
            device.reset();
        return device != nullptr;
    }

    NVTools::CSerialComm port;
    std::unique_ptr<CModbusComm, NetworkReleaser> network;
    std::unique_ptr<NVSystem::CDeviceComm, DeviceReleaser> device;
};

} // namespace benchsupport
