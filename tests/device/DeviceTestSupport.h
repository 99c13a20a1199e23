// What the device tests share: a simulated instrument on a pseudo-terminal, a network on it with
// short time-outs, a device object linked to it as the device factory links one, and a reading of
// the frames the instrument received.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "device/DeviceComm.h"
#include "tests/support/SimulatorWaits.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace devicetest
{

using NVSystem::CDeviceComm;

// The device object with the parts that the instrument classes and the factory reach.
class TestDevice : public NVSystem::CDeviceComm
{
public:
    using CDeviceComm::CDeviceComm;

    NVSystem::sRegisterMap& Map() { return m_RegisterMap; }
    USHORT ProbeRegisterMapVersion() const { return m_nProbeRegisterMapVersion; }
    USHORT HeldPacketSize() const { return m_SlaveId.MaxPacketSize; }
    void SetTransferActive(bool active) { SetFileTransferActive(active); }
    void Untag() { ClearTag(); }

    // Devices destroyed since the process started.
    static std::atomic<int> s_nDestroyed;

protected:
    ~TestDevice() override { ++s_nDestroyed; }
};

struct DeviceReleaser
{
    void operator()(TestDevice* device) const
    {
        if (device != nullptr)
            device->Release();
    }
};
using DevicePtr = std::unique_ptr<TestDevice, DeviceReleaser>;

struct NetworkReleaser
{
    void operator()(CModbusComm* network) const
    {
        if (network != nullptr)
            network->Release();
    }
};
using NetworkPtr = std::unique_ptr<CModbusComm, NetworkReleaser>;

// One function-16 request as the instrument received it.
struct RegisterWrite
{
    uint8_t address = 0;
    uint16_t first = 0; // five-digit register number
    std::vector<uint16_t> values;

    friend bool operator==(const RegisterWrite&, const RegisterWrite&) = default;
};

// One function-3 request.
struct RegisterRead
{
    uint8_t address = 0;
    uint16_t first = 0;
    uint16_t count = 0;

    friend bool operator==(const RegisterRead&, const RegisterRead&) = default;
};

void PrintTo(const RegisterWrite& write, std::ostream* os);
void PrintTo(const RegisterRead& read, std::ostream* os);

// The function-16 request a frame the instrument received carries, if it carries one.
std::optional<RegisterWrite> RegisterWriteOf(const probesim::LoggedFrame& frame);

// Sets a DWORD under the communication tunables key.
void SetTunable(const char16_t* name, uint32_t value);

// A counter for the stopwatches of the device caches, moved by the test.
class FakeClock
{
public:
    FakeClock();  // installs itself for the devices constructed from now on
    ~FakeClock(); // the platform clock again
    void Advance(uint64_t ms);
};

class DeviceOnSimulator : public ::testing::Test
{
protected:
    static constexpr uint8_t kSlave = 1;
    // Long enough for a reply on a busy machine, where the simulator may get to a request late.
    static constexpr uint16_t kRegisterTimeoutMs = 500;

    // Quick tunables: the register time-outs, one retry, no inter-message delay.
    DeviceOnSimulator();
    ~DeviceOnSimulator() override;

    // The simulator at slave address 1 with the instrument, the port and the network in the
    // instrument's framing, in place of any line started before. The instrument sleeps only while
    // m_bInstrumentSleeps is set.
    void StartLine(probesim::InstrumentConfig config);
    // The device, the network, the port, the instrument and the simulator gone, in that order.
    void StopLine();
    // A device for the identity that the instrument reports, with the registers the factory would
    // place for its family, linked as the factory links it. Asserts success.
    void AttachDevice();
    // The same steps, returning AttachCommLink's result.
    HRESULT CreateAndAttach(const SlaveIdInfo& slaveId);
    SlaveIdInfo ReportedIdentity();
    // StartLine, then AttachDevice.
    void StartAttached(probesim::InstrumentConfig config)
    {
        StartLine(std::move(config));
        if (!HasFatalFailure())
            AttachDevice();
    }
    // What a getter of the device answers; the getter must succeed.
    template <typename T>
    T Got(HRESULT (CDeviceComm::*getter)(T&))
    {
        T value{};
        EXPECT_EQ((m_device.get()->*getter)(value), S_OK);
        return value;
    }

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    CModbusComm& Network() { return *m_network; }
    TestDevice& Device() { return *m_device; }

    // Frames the instrument received since the last Mark (or the start), once it has taken in
    // everything the port wrote.
    void Mark();
    size_t FramesSinceMark();
    std::vector<RegisterWrite> WritesSinceMark();
    std::vector<RegisterRead> ReadsSinceMark();
    // The values written to one register since the last Mark, in order.
    std::vector<uint16_t> WordsWrittenTo(uint16_t reg)
    {
        std::vector<uint16_t> words;
        for (const RegisterWrite& write : WritesSinceMark())
            if (write.first == reg)
                words.insert(words.end(), write.values.begin(), write.values.end());
        return words;
    }

    testsupport::ScopedConfigDir m_config;
    bool m_bInstrumentSleeps = false;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    NVTools::CSerialComm m_port;
    NetworkPtr m_network;
    DevicePtr m_device;

private:
    std::vector<probesim::LoggedFrame> ReceivedSinceMark();
    size_t m_nMark = 0;
    testsupport::WrittenTakenIn m_takenIn;
};

} // namespace devicetest
