// What the simulated probe costs the tests that stand on it: starting a preset instrument (every
// test of a probe does, many more than once), a read of all sensor values as the device's poll asks
// for them (measured afresh by the water's formulas each time), and the water itself in and out of
// a calibration standard. The whole suite's time rests on these staying small.
//
//   SimulatorBench --benchmark_filter=. [--benchmark_repetitions=5]
//
// BM_StartPresetProbe: the simulator with its worker and pseudo-terminal, the instrument and the
// sensors of the device type (the argument), and their teardown. BM_MeasureAllSensors: every
// parameter block of every sensor of the multi-sensor probe read through the register model without
// the measurement cache (the line is not involved); the counter is the cost per parameter.
// BM_Water: one sample of the water, in the river (0) or settling in a standard (1).
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/Water.h"

namespace
{

void BM_StartPresetProbe(benchmark::State& state)
{
    const auto type = static_cast<uint16_t>(state.range(0));
    for (auto _ : state)
    {
        probesim::ProbeSimulator sim;
        probesim::InstrumentConfig config = probesim::ProbeConfig(type, 4711);
        config.sleeps = false;
        config.quickSensors = true;
        const auto probe = probesim::MakeProbe(sim, config);
        benchmark::DoNotOptimize(probe->Sensors().ConnectionCount());
    }
}
BENCHMARK(BM_StartPresetProbe)->Arg(12)->Arg(18)->Arg(39)->Arg(33)->Unit(benchmark::kMicrosecond);

void BM_MeasureAllSensors(benchmark::State& state)
{
    probesim::ProbeSimulator sim;
    probesim::InstrumentConfig config = probesim::ProbeConfig(probesim::kMultiSensorProbeType, 4711);
    config.sleeps = false;
    config.quickSensors = true;
    config.measurementCacheTimeout = 0;
    const auto probe = probesim::MakeProbe(sim, config);
    probesim::RegisterModel& registers = probe->Registers();
    registers.SetU16(probesim::reg::kMeasurementCacheTimeout, 0);
    struct Window
    {
        uint16_t first;
        uint16_t count;
    };
    std::vector<Window> windows;
    int64_t parameters = 0;
    for (uint16_t connection = 1; connection <= probe->Sensors().ConnectionCount(); ++connection)
    {
        const uint16_t base = probe->Sensors().Base(connection);
        const uint16_t count = registers.GetU16(base + probesim::header::kParameterCount).value_or(0);
        windows.push_back({static_cast<uint16_t>(base + probesim::kFirstParameterOffset),
                           static_cast<uint16_t>(probesim::kParameterBlockRegisters * count)});
        parameters += count;
    }
    for (auto _ : state)
    {
        for (const Window& window : windows)
        {
            auto values = registers.Read(window.first, window.count);
            benchmark::DoNotOptimize(values);
        }
    }
    state.counters["per parameter"] =
        benchmark::Counter(static_cast<double>(parameters),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MeasureAllSensors)->Unit(benchmark::kMicrosecond);

void BM_Water(benchmark::State& state)
{
    const probesim::Water water;
    const std::optional<double> since =
        state.range(0) != 0 ? std::optional<double>(10.0) : std::optional<double>();
    double seconds = 20.0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(water.At(seconds, since));
        seconds += 0.001;
    }
}
BENCHMARK(BM_Water)->Arg(0)->Arg(1);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::RunBenchmarks(argc, argv);
}
