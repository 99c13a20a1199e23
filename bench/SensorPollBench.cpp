// What one live-data poll of the DO sensor costs: a fresh read of the four parameters of connection 1
// of the simulated probe over a pseudo-terminal, through the device's sensor operations.
//
//   SensorPollBench --benchmark_filter=. [--benchmark_repetitions=5]
//
// BM_PollPerParameter reads each parameter as the live road does (ReadParameterValue without the
// cache, one block each); BM_PollMerged reads all four blocks fresh in one request list
// (GetSensorParameters without cached readings). The argument is the inter-message delay in
// milliseconds. Counters: transactions per poll (requests written by the network) and the wall
// time per poll; CPU is the benchmark thread's own (the simulator runs on a thread of its own).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace
{

constexpr uint8_t kSlave = 1;
constexpr USHORT kConnection = 1;
constexpr USHORT kParameters = 4;

// The port table and the tunables go to a settings store of the run's own, removed at exit.
struct PrivateSettings
{
    PrivateSettings()
    {
        char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        dir = pattern;
        setenv("NORVANE_CONFIG_DIR", dir.c_str(), 1);
        platform::settings::ResetForTests();
    }
    ~PrivateSettings()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

// The probe with the DO sensor on connection 1 and its entry in the port table, for the whole run.
struct Probe
{
    Probe()
    {
        probe.Sensors().Add(kConnection, probesim::OpticalDoSensor(5150));
        std::string error;
        port = static_cast<USHORT>(probesim::RegisterComPort(sim.SlavePath(), 0, error).value_or(0));
        if (port == 0)
            std::fprintf(stderr, "port table: %s\n", error.c_str());
    }
    probesim::ProbeSimulator sim{
        {.mode = probesim::FramingMode::Rtu, .address = kSlave, .rtuSilence = std::chrono::milliseconds(2)}};
    probesim::Instrument probe{sim, {.deviceType = 12, .registerMapVersion = 3, .sleeps = false}};
    USHORT port = 0;
};

Probe& TheProbe()
{
    static PrivateSettings settings;
    static Probe probe;
    return probe;
}

class BenchDevice : public NVSystem::CDeviceComm
{
public:
    using CDeviceComm::CDeviceComm;
};

// A device linked to the probe as the device factory links one, with its sensor descriptions read.
class LinkedDevice
{
public:
    explicit LinkedDevice(uint32_t interMessageDelay)
    {
        platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, u"InterMsgDelay TO",
                                     interMessageDelay);
        ResetCommTunablesForTests();
        if (TheProbe().port == 0 || m_port.Open(TheProbe().port) != S_OK)
            return;
        m_network = CModbusComm::Create();
        if (m_network == nullptr || m_network->ConnectCommLink(m_port) != S_OK ||
            m_network->SetTransmissionMode(0) != S_OK)
            return;
        SlaveIdInfo slaveId;
        if (m_network->ReportSlaveId(kSlave, slaveId, 1000, 1) != S_OK)
            return;
        m_device = new BenchDevice(slaveId);
        m_device->AddRef();
        if (m_device->AttachCommLink(kSlave, slaveId, m_network) != S_OK)
            return;
        USHORT unit = 0;
        m_ready = m_device->GetParameterUnitId(kConnection, 1, unit) == S_OK;
    }
    ~LinkedDevice()
    {
        if (m_device != nullptr)
            m_device->Release();
        if (m_network != nullptr)
            m_network->Release();
        m_port.Close();
    }
    LinkedDevice(const LinkedDevice&) = delete;
    LinkedDevice& operator=(const LinkedDevice&) = delete;

    bool Ready() const { return m_ready; }
    NVSystem::CDeviceComm& Device() { return *m_device; }
    ULONG RequestsWritten() const
    {
        ULONG counters[MODBUS_STAT_COUNT] = {};
        m_network->GetStatistics(counters);
        return counters[MODBUS_STAT_REQUESTS_WRITTEN];
    }

private:
    NVTools::CSerialComm m_port;
    CModbusComm* m_network = nullptr;
    BenchDevice* m_device = nullptr;
    bool m_ready = false;
};

void Report(benchmark::State& state, ULONG requests)
{
    const auto polls = static_cast<double>(state.iterations());
    state.counters["txn/poll"] = polls > 0 ? static_cast<double>(requests) / polls : 0.0;
}

void BM_PollPerParameter(benchmark::State& state)
{
    LinkedDevice line(static_cast<uint32_t>(state.range(0)));
    if (!line.Ready())
    {
        state.SkipWithError("cannot link the device");
        return;
    }
    const ULONG before = line.RequestsWritten();
    for (auto _ : state)
    {
        for (USHORT n = 1; n <= kParameters; ++n)
        {
            float value = 0.0f;
            USHORT quality = 0, unit = 0;
            if (line.Device().ReadParameterValue(kConnection, n, value, quality, unit, FALSE) != S_OK)
            {
                state.SkipWithError("read failed");
                return;
            }
            benchmark::DoNotOptimize(value);
        }
    }
    Report(state, line.RequestsWritten() - before);
}
BENCHMARK(BM_PollPerParameter)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PollMerged(benchmark::State& state)
{
    LinkedDevice line(static_cast<uint32_t>(state.range(0)));
    if (!line.Ready())
    {
        state.SkipWithError("cannot link the device");
        return;
    }
    const ULONG before = line.RequestsWritten();
    CDynArray<sParameterReading> readings;
    for (auto _ : state)
    {
        if (line.Device().GetSensorParameters(kConnection, readings, FALSE) != S_OK ||
            readings.GetCount() != kParameters)
        {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(readings.GetData());
    }
    Report(state, line.RequestsWritten() - before);
}
BENCHMARK(BM_PollMerged)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
