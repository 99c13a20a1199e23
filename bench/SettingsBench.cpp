// What reading a setting costs: the inter-message delay as a transaction reads it before every
// attempt, and a value read straight from the settings store, which looks at the hive file each time.
// And what a start costs with a large user hive: the file read and one default written, as the
// program's start-up does, for a file with one very deep key, with many keys 500 levels deep, with
// many ordinary keys, and with many keys and values that later lines delete. The counters give the
// size of the file read and of the file written, and the peak resident memory of the start.
//
//   SettingsBench [--benchmark_filter=Start]
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"

namespace
{

namespace fs = std::filesystem;

void BM_ReadCommTunable(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadCommTunable(CommTunable::InterMsgDelayTO));
}
BENCHMARK(BM_ReadCommTunable);

void BM_SettingsGetDword(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::settings::GetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY,
                                                              u"InterMsgDelay TO"));
}
BENCHMARK(BM_SettingsGetDword);

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n\n";
constexpr const char16_t* kCommunication = u"Software\\Norvane\\Tarnwick Software\\Communication";

// The peak resident memory since the last ResetPeakMemory, in MiB; 0 where the system does not say.
double PeakMemoryMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// One start on the user hive `text`: the hive file is put in place (untimed), then read and one
// default written, as the start-up does.
void StartWith(benchmark::State& state, const std::string& text)
{
    const fs::path dir = benchsupport::PrivateSettings::Dir();
    const fs::path hive = dir / "user.reg";
    double peak = 0;
    uintmax_t written = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().rfind("user.reg.broken-", 0) == 0)
                fs::remove(entry.path());
        std::ofstream(hive, std::ios::binary | std::ios::trunc) << text;
        platform::settings::ResetForTests();
        ResetPeakMemory();
        state.ResumeTiming();

        benchmark::DoNotOptimize(
            platform::settings::GetDword(platform::Hive::CurrentUser, kCommunication, u"MaxParams"));
        platform::settings::SetDword(platform::Hive::CurrentUser, kCommunication, u"MaxParams", 5);

        state.PauseTiming();
        peak = std::max(peak, PeakMemoryMiB());
        std::error_code ec;
        written = fs::file_size(hive, ec);
        platform::settings::TakeSetAsideFile(platform::Hive::CurrentUser);
        state.ResumeTiming();
    }
    state.counters["read_KiB"] = static_cast<double>(text.size()) / 1024.0;
    state.counters["written_KiB"] = static_cast<double>(written) / 1024.0;
    state.counters["peak_MiB"] = peak;
}

// One key `levels` deep (two bytes a level), with a value.
void BM_StartWithOneDeepKey(benchmark::State& state)
{
    std::string text = std::string(kHeader) + "[HKEY_CURRENT_USER";
    for (int64_t i = 0; i < state.range(0); ++i)
        text += "\\k";
    text += "]\n\"x\"=dword:00000001\n";
    StartWith(state, text);
}
BENCHMARK(BM_StartWithOneDeepKey)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// `levels` levels in keys of 500 levels each.
void BM_StartWithKeys500Deep(benchmark::State& state)
{
    std::string text = kHeader;
    for (int64_t done = 0; done < state.range(0); done += 500)
    {
        text += "[HKEY_CURRENT_USER\\c" + std::to_string(done);
        for (int i = 1; i < 500; ++i)
            text += "\\k";
        text += "]\n\"x\"=dword:00000001\n\n";
    }
    StartWith(state, text);
}
BENCHMARK(BM_StartWithKeys500Deep)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// `keys` keys beside each other, each with a value.
void BM_StartWithManyKeys(benchmark::State& state)
{
    std::string text = kHeader;
    for (int64_t i = 0; i < state.range(0); ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Norvane\\Tarnwick Software\\Key" + std::to_string(i) +
                "]\n\"Value\"=dword:00000001\n\n";
    StartWith(state, text);
}
BENCHMARK(BM_StartWithManyKeys)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// `count` keys and `count` values, each deleted again by a later line.
void BM_StartWithDeletions(benchmark::State& state)
{
    std::string keys;
    std::string deletions;
    std::string values = "[HKEY_CURRENT_USER\\Values]\n";
    std::string valueDeletions = "[HKEY_CURRENT_USER\\Values]\n";
    for (int64_t i = 0; i < state.range(0); ++i)
    {
        const std::string name = "Key" + std::to_string(i);
        keys += "[HKEY_CURRENT_USER\\Software\\" + name + "]\n";
        deletions += "[-HKEY_CURRENT_USER\\Software\\" + name + "]\n";
        values += "\"" + name + "\"=dword:00000001\n";
        valueDeletions += "\"" + name + "\"=-\n";
    }
    StartWith(state, kHeader + keys + deletions + values + valueDeletions);
}
BENCHMARK(BM_StartWithDeletions)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // A hive with the tunables a tuned machine might hold.
    return benchsupport::RunBenchmarks(argc, argv,
                                       {{u"Read Register TO", 3500},
                                        {u"Write Register TO", 1500},
                                        {u"Retry Count", 3},
                                        {u"File Read Blk TO", 2000},
                                        {u"File Write Blk TO", 3000},
                                        {u"InterMsgDelay TO", 30},
                                        {u"Debug Flags", 0},
                                        {u"RTUInterCharacter TO", 250}});
}
