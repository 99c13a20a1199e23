// What one Modbus transaction costs: a read of 125 holding registers over a pseudo-terminal from the
// simulated probe, through our network object and, for comparison, through libmodbus, with the same
// pause before each request. Time is wall time per transaction, CPU the benchmark thread's own (the
// simulator runs on a thread of its own and is not counted).
//
//   ModbusTransactionBench [--benchmark_repetitions=15]
//
// The two run in random order, repetition by repetition, so that a busy moment of the machine
// falls on either; compare the medians of CPU. The argument is the inter-message delay in
// milliseconds: our "InterMsgDelay TO", and a sleep of the same length before each libmodbus
// request.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "tools/probe-sim/ProbeSimulator.h"

// Last: it defines TRUE and FALSE as macros, which our headers declare as constants.
#include <modbus.h>
#undef TRUE
#undef FALSE

namespace
{

constexpr uint8_t kSlave = 1;
constexpr uint16_t kFirstRegister = 40001;
constexpr int kRegisters = 125;
constexpr ULONG kTimeoutMs = 1000;

// The probe and its entry in the port table, for the whole run.
struct Probe
{
    Probe()
    {
        for (int i = 0; i < kRegisters; ++i)
            sim.Registers().SetU16(static_cast<uint16_t>(kFirstRegister + i), static_cast<uint16_t>(i * 257));
        port = benchsupport::RegisterProbePort(sim);
    }
    probesim::ProbeSimulator sim{
        {.mode = probesim::FramingMode::Rtu, .address = kSlave, .rtuSilence = std::chrono::milliseconds(2)}};
    USHORT port = 0;
};

Probe& TheProbe()
{
    static Probe probe;
    return probe;
}

void BM_OurStack(benchmark::State& state)
{
    benchsupport::SetTunable(u"InterMsgDelay TO", static_cast<uint32_t>(state.range(0)));
    if (TheProbe().port == 0)
    {
        state.SkipWithError("no port");
        return;
    }
    benchsupport::DeviceLine line;
    if (!line.Connect(TheProbe().port))
    {
        state.SkipWithError("cannot open the line");
        return;
    }
    CByteBuffer data;
    for (auto _ : state)
    {
        if (line.network->ReadRegisters(kSlave, kFirstRegister, kRegisters, data, kTimeoutMs, 0) != S_OK ||
            data.GetLength() != 2 * kRegisters)
        {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(data.GetData());
    }
}
BENCHMARK(BM_OurStack)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Libmodbus(benchmark::State& state)
{
    const auto delayUs = static_cast<useconds_t>(state.range(0) * 1000);
    // A pseudo-terminal refuses parity: libmodbus sets the termios itself.
    modbus_t* context = modbus_new_rtu(TheProbe().sim.SlavePath().c_str(), 19200, 'N', 8, 1);
    if (context == nullptr || modbus_set_slave(context, kSlave) != 0 || modbus_connect(context) != 0)
    {
        state.SkipWithError("cannot open the line");
        if (context != nullptr)
            modbus_free(context);
        return;
    }
    modbus_set_response_timeout(context, kTimeoutMs / 1000, 0);
    uint16_t registers[kRegisters];
    for (auto _ : state)
    {
        if (delayUs > 0)
            usleep(delayUs);
        if (modbus_read_registers(context, kFirstRegister - 40001, kRegisters, registers) != kRegisters)
        {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(registers);
    }
    modbus_close(context);
    modbus_free(context);
}
BENCHMARK(BM_Libmodbus)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::RunBenchmarks(argc, argv, {},
                                       {"--benchmark_enable_random_interleaving=true",
                                        "--benchmark_repetitions=9",
                                        "--benchmark_report_aggregates_only=true"});
}
