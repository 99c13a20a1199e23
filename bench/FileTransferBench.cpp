// What a device file transfer achieves: a whole file read and written through the device object
// over a pseudo-terminal from the simulated probe, for both register map generations and two packet
// sizes. Beside the measured rate each run reports the payload rate that the packet size leaves on
// a real serial line at 19200 and 115200 baud (11 bits a character, RTU), counting the request and
// reply bytes of every block and nothing else (no turnaround, no inter-frame silence): the ceiling
// that the block size sets. A pseudo-terminal has no baud rate, so the measured rate shows the cost
// of the transactions themselves; the CPU time per transaction (one block each, but for the
// commands that open and close the file) is what each block costs the host.
//
//   FileTransferBench --benchmark_filter=. [--benchmark_repetitions=3]
//
// Arguments: register map version, maximum packet size, file size in bytes.
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "comm/ModbusLengthRules.h"
#include "tools/probe-sim/Instrument.h"

namespace
{

constexpr uint8_t kSlave = 1;
constexpr USHORT kFile = 7;
constexpr double kCharacterBits = 11.0; // start, 8 data, parity, stop

// A probe on its own pseudo-terminal with a device object linked to it as the factory links one.
struct Line
{
    Line(USHORT version, USHORT packet)
        : sim({.mode = probesim::FramingMode::Rtu,
               .address = kSlave,
               .rtuSilence = std::chrono::milliseconds(2)}),
          probe(sim,
                {.deviceType = 12, .registerMapVersion = version, .maxPacketSize = packet, .sleeps = false})
    {
        link.Link(benchsupport::RegisterProbePort(sim), kSlave);
    }

    probesim::ProbeSimulator sim;
    probesim::Instrument probe;
    benchsupport::DeviceLine link;
};

// Payload bytes per second that blocks of the largest size leave at the baud rate: the block's file
// bytes over all bytes of its request and reply frames.
double CeilingRate(double baud, USHORT version, USHORT packet, bool read)
{
    const bool extended = version >= 3;
    const double block = read ? GetMaxPayloadSize(packet, 0, 100, extended ? 2 : 1)
                              : GetMaxPayloadSize(packet, 0, 101, extended ? 0 : 1);
    // Read: request 10 bytes, reply block + 6 (+ 5 in the extended form). Write: request block + 10,
    // reply 10.
    const double frames = read ? 10.0 + block + (extended ? 11.0 : 6.0) : block + 20.0;
    return baud / kCharacterBits * block / frames;
}

void Transfer(benchmark::State& state, bool read)
{
    const auto version = static_cast<USHORT>(state.range(0));
    const auto packet = static_cast<USHORT>(state.range(1));
    const auto size = static_cast<size_t>(state.range(2));
    Line line(version, packet);
    if (!line.link.device)
    {
        state.SkipWithError("cannot link the device");
        return;
    }
    std::vector<uint8_t> content(size);
    for (size_t i = 0; i < size; ++i)
        content[i] = static_cast<uint8_t>(i * 31);
    line.probe.Files().Put(kFile, content);
    CByteBuffer data;
    data.Append(static_cast<uint32_t>(size), content.data());

    const benchsupport::TransactionMeter meter(line.link);
    for (auto _ : state)
    {
        const HRESULT hr = read ? line.link.device->ReadDeviceFile(kFile, data)
                                : line.link.device->WriteDeviceFile(kFile, data);
        if (hr != S_OK || data.GetLength() != size)
        {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    meter.Report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["ceiling_19200"] = CeilingRate(19200, version, packet, read);
    state.counters["ceiling_115200"] = CeilingRate(115200, version, packet, read);
}

void BM_ReadDeviceFile(benchmark::State& state)
{
    Transfer(state, true);
}
void BM_WriteDeviceFile(benchmark::State& state)
{
    Transfer(state, false);
}

// 64 KiB through both register map generations (3 and 2), with a large and a small packet.
void TransferCases(benchmark::internal::Benchmark* run)
{
    run->Args({3, 1024, 65536})
        ->Args({3, 256, 65536})
        ->Args({2, 1024, 65536})
        ->Args({2, 256, 65536})
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ReadDeviceFile)->Apply(TransferCases);
BENCHMARK(BM_WriteDeviceFile)->Apply(TransferCases);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::RunBenchmarks(argc, argv, {{u"InterMsgDelay TO", 0}});
}
