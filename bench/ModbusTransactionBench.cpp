// What one Modbus transaction costs: a read of 125 holding registers over a pseudo-terminal from the
// simulated probe, through our network object and, for comparison, through libmodbus, with the same
// pause before each request. CPU is the benchmark thread's own (the simulator runs on a thread of
// its own and is not counted).
//
//   ModbusTransactionBench [--benchmark_repetitions=21]
//
// BM_OurStack and BM_Libmodbus each run on their own, in random order repetition by repetition, so
// that a busy moment of the machine falls on either; they give wall and CPU time per transaction.
// BM_Alternating opens both on the same pseudo-terminal and takes turns transaction by transaction,
// so that both see the same load: its counters are the CPU microseconds of each per transaction and
// their ratio (ours over libmodbus), whose median over the repetitions is the comparison to quote.
// The argument is the inter-message delay in milliseconds: our "InterMsgDelay TO", and a sleep of
// the same length before each libmodbus request.
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

// Our network on the probe's line, with the delay set; the error to skip with, or null.
const char* OpenOurs(benchsupport::DeviceLine& line, int64_t delayMs)
{
    benchsupport::SetTunable(u"InterMsgDelay TO", static_cast<uint32_t>(delayMs));
    if (TheProbe().port == 0)
        return "no port";
    return line.Connect(TheProbe().port) ? nullptr : "cannot open our line";
}

bool ReadOurs(benchsupport::DeviceLine& line, CByteBuffer& data)
{
    const bool ok =
        line.network->ReadRegisters(kSlave, kFirstRegister, kRegisters, data, kTimeoutMs, 0) == S_OK &&
        data.GetLength() == 2 * kRegisters;
    benchmark::DoNotOptimize(data.GetData());
    return ok;
}

// A libmodbus context on the probe's line, connected.
class Libmodbus
{
public:
    explicit Libmodbus(int64_t delayMs) : m_delayUs(static_cast<useconds_t>(delayMs * 1000))
    {
        // A pseudo-terminal refuses parity: libmodbus sets the termios itself.
        m_context = modbus_new_rtu(TheProbe().sim.SlavePath().c_str(), 19200, 'N', 8, 1);
        if (m_context == nullptr || modbus_set_slave(m_context, kSlave) != 0 ||
            modbus_connect(m_context) != 0)
        {
            if (m_context != nullptr)
                modbus_free(m_context);
            m_context = nullptr;
            return;
        }
        modbus_set_response_timeout(m_context, kTimeoutMs / 1000, 0);
    }
    ~Libmodbus()
    {
        if (m_context == nullptr)
            return;
        modbus_close(m_context);
        modbus_free(m_context);
    }
    Libmodbus(const Libmodbus&) = delete;
    Libmodbus& operator=(const Libmodbus&) = delete;

    bool Connected() const { return m_context != nullptr; }
    // The pause, then the read, as our network does it.
    bool Read()
    {
        if (m_delayUs > 0)
            usleep(m_delayUs);
        const bool ok =
            modbus_read_registers(m_context, kFirstRegister - 40001, kRegisters, m_registers) == kRegisters;
        benchmark::DoNotOptimize(m_registers);
        return ok;
    }

private:
    useconds_t m_delayUs;
    modbus_t* m_context = nullptr;
    uint16_t m_registers[kRegisters] = {};
};

void BM_OurStack(benchmark::State& state)
{
    benchsupport::DeviceLine line;
    if (const char* error = OpenOurs(line, state.range(0)))
    {
        state.SkipWithError(error);
        return;
    }
    CByteBuffer data;
    for (auto _ : state)
    {
        if (!ReadOurs(line, data))
        {
            state.SkipWithError("read failed");
            break;
        }
    }
}
BENCHMARK(BM_OurStack)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Libmodbus(benchmark::State& state)
{
    Libmodbus libmodbus(state.range(0));
    if (!libmodbus.Connected())
    {
        state.SkipWithError("cannot open the libmodbus line");
        return;
    }
    for (auto _ : state)
    {
        if (!libmodbus.Read())
        {
            state.SkipWithError("read failed");
            break;
        }
    }
}
BENCHMARK(BM_Libmodbus)->Arg(0)->Arg(30)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Alternating(benchmark::State& state)
{
    // libmodbus first: our port takes the line for itself against later opens.
    Libmodbus libmodbus(state.range(0));
    benchsupport::DeviceLine line;
    const char* error =
        libmodbus.Connected() ? OpenOurs(line, state.range(0)) : "cannot open the libmodbus line";
    if (error != nullptr)
    {
        state.SkipWithError(error);
        return;
    }
    CByteBuffer data;
    double ours = 0.0;
    double theirs = 0.0;
    for (auto _ : state)
    {
        // Each measured read follows one of its own, so that our network's idle clock, which
        // decides its pause, sees what it would see alone.
        bool ok = ReadOurs(line, data);
        double start = benchsupport::ThreadCpuSeconds();
        ok = ReadOurs(line, data) && ok;
        ours += benchsupport::ThreadCpuSeconds() - start;
        ok = libmodbus.Read() && ok;
        start = benchsupport::ThreadCpuSeconds();
        ok = libmodbus.Read() && ok;
        theirs += benchsupport::ThreadCpuSeconds() - start;
        if (!ok)
        {
            state.SkipWithError("read failed");
            break;
        }
    }
    const auto reads = static_cast<double>(state.iterations());
    if (reads > 0 && theirs > 0.0)
    {
        state.counters["ours_cpu_us"] = ours * 1e6 / reads;
        state.counters["libmodbus_cpu_us"] = theirs * 1e6 / reads;
        state.counters["ratio"] = ours / theirs;
    }
}
// Two seconds a repetition: at 30 ms an iteration (two reads of each) takes about 100 ms, and the
// default half second would give each repetition's ratio only five iterations.
BENCHMARK(BM_Alternating)->Arg(0)->Arg(30)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::RunBenchmarks(argc, argv, {},
                                       {"--benchmark_enable_random_interleaving=true",
                                        "--benchmark_repetitions=9",
                                        "--benchmark_display_aggregates_only=true"});
}
