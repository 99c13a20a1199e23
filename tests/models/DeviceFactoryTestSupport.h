// What the device-model tests share: a simulated probe of a device type on a pseudo-terminal, a
// network on it with short time-outs, the device made by the device factory, and a reading of the
// frames the probe received.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "device/DeviceComm.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace factorytest
{

struct DeviceReleaser
{
    void operator()(NVSystem::CDeviceComm* device) const
    {
        if (device != nullptr)
            device->Release();
    }
};
using DevicePtr = std::unique_ptr<NVSystem::CDeviceComm, DeviceReleaser>;

struct NetworkReleaser
{
    void operator()(CModbusComm* network) const
    {
        if (network != nullptr)
            network->Release();
    }
};
using NetworkPtr = std::unique_ptr<CModbusComm, NetworkReleaser>;

// One function-16 request as the probe received it.
struct RegisterWrite
{
    uint16_t first = 0; // five-digit register number
    std::vector<uint16_t> values;
};

// The words of an IEEE float in the network's default word order (high word first).
std::vector<uint16_t> FloatWords(float value);

class ProbeOnLine : public ::testing::Test
{
protected:
    static constexpr uint8_t kSlave = 1;

    // Quick tunables: register time-outs of 150 ms, one retry, no inter-message delay; the device
    // factory installed.
    ProbeOnLine();
    ~ProbeOnLine() override;

    // The preset probe of the configuration's device type with its sensors, the port and the
    // network. The probe does not sleep.
    void StartProbe(probesim::InstrumentConfig config,
                    probesim::ProbeSensors sensors = probesim::ProbeSensors::All);
    void StartProbe(uint16_t deviceType, uint32_t serialNumber = 4711)
    {
        StartProbe(probesim::ProbeConfig(deviceType, serialNumber));
    }
    // The device factory on the probe's address; the device, if any, is kept in m_device.
    HRESULT CreateDevice();

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    CModbusComm& Network() { return *m_network; }
    NVSystem::CDeviceComm& Device() { return *m_device; }

    // Frames the probe received since the last Mark (or the start), once the line is quiet.
    void Mark();
    size_t FramesSinceMark();
    std::vector<RegisterWrite> WritesSinceMark();
    // The registers written since the mark, in order.
    std::vector<uint16_t> RegistersWrittenSinceMark();

    // The device trace file's text so far (trace written at level 1 once "Debug Flags" asks for
    // it before the device is made).
    static std::string DeviceTraceText();

    testsupport::ScopedConfigDir m_config;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    NVTools::CSerialComm m_port;
    NetworkPtr m_network;
    DevicePtr m_device;

private:
    std::vector<probesim::LoggedFrame> ReceivedSinceMark();
    size_t m_nMark = 0;
};

// Sets a DWORD under the communication tunables key.
void SetTunable(const char16_t* name, uint32_t value);

} // namespace factorytest
