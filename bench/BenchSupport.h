// What the benchmark programs share: a main that puts a settings store of the run's own in place
// before anything is written, the simulated probe's entry in the port table, a line to the probe
// with a device object linked as the factory links one, and the CPU time each transaction costs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "device/DeviceComm.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace benchsupport
{

using Tunables = std::initializer_list<std::pair<const char16_t*, uint32_t>>;

// Sets a communication tunable in the settings store; the process sees a value it wrote at once.
inline void SetTunable(const char16_t* name, uint32_t value)
{
    if (!platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, name, value))
    {
        std::fprintf(stderr, "settings: %s\n",
                     platform::settings::LastProblem(platform::Hive::LocalMachine).c_str());
        std::abort();
    }
}

// The port table and the tunables go to a settings store of the run's own, removed at exit; the
// tunables given are set in it. The folder also takes the run's other files: the working folder
// that the device code makes in the documents folder, and trace files.
class PrivateSettings
{
public:
    explicit PrivateSettings(Tunables tunables)
    {
        char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        s_dir = pattern;
        setenv("NORVANE_CONFIG_DIR", s_dir.c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", s_dir.c_str(), 1);
        setenv("XDG_STATE_HOME", s_dir.c_str(), 1);
        platform::settings::ResetForTests();
        for (const auto& [name, value] : tunables)
            SetTunable(name, value);
    }
    ~PrivateSettings()
    {
        std::error_code ec;
        std::filesystem::remove_all(s_dir, ec);
    }
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;

    static const std::string& Dir() { return s_dir; }

private:
    inline static std::string s_dir;
};

// The main of every benchmark program: the private settings store first, so that nothing the
// benchmarks write reaches the user's, then the benchmarks with `defaultFlags` in front of the
// command line (whose own flags win).
inline int RunBenchmarks(int argc, char** argv, Tunables tunables = {},
                         std::initializer_list<const char*> defaultFlags = {})
{
    PrivateSettings settings(tunables);
    std::vector<char*> args{argv[0]};
    for (const char* flag : defaultFlags)
        args.push_back(const_cast<char*>(flag));
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// CPU time of the calling thread: the simulator runs on threads of its own and is not counted.
inline double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

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

    // Requests the network has written so far.
    ULONG RequestsWritten() const
    {
        ULONG counters[MODBUS_STAT_COUNT] = {};
        if (network)
            network->GetStatistics(counters);
        return counters[MODBUS_STAT_REQUESTS_WRITTEN];
    }

    NVTools::CSerialComm port;
    std::unique_ptr<CModbusComm, NetworkReleaser> network;
    std::unique_ptr<NVSystem::CDeviceComm, DeviceReleaser> device;
};

// Counts the transactions of a benchmark's loop and the CPU time they take, and reports both per
// iteration and the microseconds of CPU per transaction.
class TransactionMeter
{
public:
    explicit TransactionMeter(const DeviceLine& line)
        : m_line(line), m_requests(line.RequestsWritten()), m_cpu(ThreadCpuSeconds())
    {
    }
    void Report(benchmark::State& state) const
    {
        const double cpu = ThreadCpuSeconds() - m_cpu;
        const auto requests = static_cast<double>(m_line.RequestsWritten() - m_requests);
        const auto iterations = static_cast<double>(state.iterations());
        state.counters["txn/iter"] = iterations > 0 ? requests / iterations : 0.0;
        state.counters["cpu_us/txn"] = requests > 0 ? cpu * 1e6 / requests : 0.0;
    }

private:
    const DeviceLine& m_line;
    ULONG m_requests;
    double m_cpu;
};

} // namespace benchsupport
