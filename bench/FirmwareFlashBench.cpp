// What a firmware flash takes: a whole 256 KiB image flashed through the device object into the
// simulated probe's boot code over a pseudo-terminal, switch, wait, transfer, restart and the fresh
// reading of the device included. The probe restarts at once (no switch or reboot silence, no
// erase or block time) and "Reboot To App Delay" is cut to 20 ms, so what remains is the flash's
// own work and its one fixed pause, the wake-up before an extended transfer (250 ms).
//
// Beside the measured rate each run reports the payload rate that the boot code's packet size
// leaves on a real serial line at 19200 and 115200 baud (11 bits a character, RTU), counting the
// request and reply bytes of every function-101 block and nothing else, and the measured rate as a
// share of it. A pseudo-terminal has no baud rate: the measured rate shows the cost of the
// transactions themselves. The CPU time per transaction is what each block costs the host, the
// reading and checking of the image spread over the blocks.
//
//   FirmwareFlashBench [--benchmark_repetitions=3]
//
// Arguments: the boot code's register map version, its packet size, binary (1) or text (0) image.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "comm/ModbusLengthRules.h"
#include "platform/Utf.h"
#include "tools/probe-sim/Instrument.h"

namespace
{

constexpr uint8_t kSlave = 1;
constexpr uint16_t kDeviceType = 12;
constexpr size_t kImageBytes = 256 * 1024;
constexpr double kCharacterBits = 11.0;   // start, 8 data, parity, stop
constexpr uint32_t kRecordLineBytes = 45; // a record of 16 data bytes with CR LF
constexpr uint32_t kHeaderLineBytes = 37;

// A probe on its own pseudo-terminal with a device object linked to it as the factory links one.
struct Line
{
    Line(USHORT bootVersion, USHORT packet)
        : sim({.mode = probesim::FramingMode::Rtu,
               .address = kSlave,
               .rtuSilence = std::chrono::milliseconds(2)}),
          probe(sim, {.deviceType = kDeviceType,
                      .sleeps = false,
                      .boot = {.registerMapVersion = bootVersion,
                               .maxPacketSize = packet,
                               .switchSilence = std::chrono::milliseconds(0),
                               .rebootSilence = std::chrono::milliseconds(0)}})
    {
        link.Link(benchsupport::RegisterProbePort(sim), kSlave);
    }

    probesim::ProbeSimulator sim;
    probesim::Instrument probe;
    benchsupport::DeviceLine link;
};

// Payload bytes per second that the largest function-101 blocks leave at the baud rate: the block's
// bytes over the bytes of its request (block + 10) and its reply (10).
double CeilingRate(double baud, USHORT packet)
{
    const double block = GetMaxPayloadSize(packet, 0, 101, 0);
    return baud / kCharacterBits * block / (block + 20.0);
}

void Flash(benchmark::State& state)
{
    const auto bootVersion = static_cast<USHORT>(state.range(0));
    const auto packet = static_cast<USHORT>(state.range(1));
    const bool binary = state.range(2) != 0;
    Line line(bootVersion, packet);
    if (!line.link.device)
    {
        state.SkipWithError("cannot link the device");
        return;
    }
    const std::vector<uint8_t> image = probesim::BuildFirmwareImage(
        {.deviceType = kDeviceType,
         .firmwareVersion = 200,
         .binary = binary,
         .records = static_cast<unsigned>((kImageBytes - kHeaderLineBytes) / kRecordLineBytes + 1),
         .recordBytes = 16,
         .blocks = static_cast<unsigned>((kImageBytes - kHeaderLineBytes) / 48 + 1)});
    const std::filesystem::path path = benchsupport::PrivateSettings::Dir() + "/image.hex";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    const std::u16string widePath = platform::Utf8ToUtf16(path.string());

    const benchsupport::TransactionMeter meter(line.link);
    for (auto _ : state)
    {
        if (line.link.device->UpdateFirmware(widePath.c_str()) != S_OK)
        {
            state.SkipWithError("flash failed");
            break;
        }
    }
    meter.Report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
    state.counters["image_bytes"] = static_cast<double>(image.size());
    state.counters["ceiling_19200"] = CeilingRate(19200, packet);
    state.counters["ceiling_115200"] = CeilingRate(115200, packet);
    // The measured rate as a share of the ceiling at 115200 baud.
    state.counters["rate_over_ceiling_115200"] =
        benchmark::Counter(static_cast<double>(image.size()) / CeilingRate(115200, packet),
                           benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(Flash)
    ->ArgNames({"boot_version", "packet", "binary"})
    ->Args({3, 1024, 1})
    ->Args({3, 1024, 0})
    ->Args({3, 256, 1})
    ->Args({2, 1024, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::RunBenchmarks(argc, argv,
                                       {{u"InterMsgDelay TO", 0},
                                        {u"Reboot To App Delay", 20},
                                        {u"Reboot To Boot Delay", 2000},
                                        {u"RTUInterCharacter TO", 20}});
}
