// What reading a setting costs: the inter-message delay as a transaction reads it before every
// attempt, and a value read straight from the settings store, which looks at the hive file each time.
//
//   SettingsBench
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"

namespace
{

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
