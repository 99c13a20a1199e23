// What one live-data poll of the DO sensor costs: a fresh read of the four parameters of connection 1
// of the simulated probe over a pseudo-terminal, through the device's sensor operations.
//
//   SensorPollBench --benchmark_filter=. [--benchmark_repetitions=5]
//
// BM_PollPerParameter reads each parameter as the live road does (ReadParameterValue without the
// cache, one block each); BM_PollMerged reads all four blocks fresh in one request list
// (GetSensorParameters without cached readings). The argument is the inter-message delay in
// milliseconds. Counters: transactions per poll (requests written by the network) and the CPU time
// per transaction; CPU is the benchmark thread's own (the simulator runs on a thread of its own).
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace
{

constexpr uint8_t kSlave = 1;
constexpr USHORT kConnection = 1;
constexpr USHORT kParameters = 4;

// The probe with the DO sensor on connection 1 and its entry in the port table, for the whole run.
struct Probe
{
    Probe()
    {
        probe.Sensors().Add(kConnection, probesim::OpticalDoSensor(5150));
        port = benchsupport::RegisterProbePort(sim);
    }
    probesim::ProbeSimulator sim{
        {.mode = probesim::FramingMode::Rtu, .address = kSlave, .rtuSilence = std::chrono::milliseconds(2)}};
    probesim::Instrument probe{sim, {.deviceType = 12, .registerMapVersion = 3, .sleeps = false}};
    USHORT port = 0;
};

Probe& TheProbe()
{
    static Probe probe;
    return probe;
}

// A device linked to the probe as the device factory links one, with its sensor descriptions read.
class LinkedDevice
{
public:
    explicit LinkedDevice(uint32_t interMessageDelay)
    {
        benchsupport::SetTunable(u"InterMsgDelay TO", interMessageDelay);
        if (!m_line.Link(TheProbe().port, kSlave))
            return;
        USHORT unit = 0;
        m_ready = m_line.device->GetParameterUnitId(kConnection, 1, unit) == S_OK;
    }

    bool Ready() const { return m_ready; }
    NVSystem::CDeviceComm& Device() { return *m_line.device; }
    const benchsupport::DeviceLine& Line() const { return m_line; }

private:
    benchsupport::DeviceLine m_line;
    bool m_ready = false;
};

void BM_PollPerParameter(benchmark::State& state)
{
    LinkedDevice line(static_cast<uint32_t>(state.range(0)));
    if (!line.Ready())
    {
        state.SkipWithError("cannot link the device");
        return;
    }
    const benchsupport::TransactionMeter meter(line.Line());
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
    meter.Report(state);
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
    const benchsupport::TransactionMeter meter(line.Line());
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
    meter.Report(state);
}
BENCHMARK(BM_PollMerged)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::RunBenchmarks(argc, argv);
}
