#include "foundation/CommTimeouts.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "platform/Clock.h"
#include "platform/SettingsStore.h"

namespace
{

struct TunableDefinition
{
    const char16_t* name;
    uint32_t defaultValue;
};

constexpr std::array<TunableDefinition, static_cast<size_t>(CommTunable::Count)> kTunables = {{
    {u"Read Register TO", 3500},
    {u"Write Register TO", 1500},
    {u"Retry Count", 3},
    {u"Max Packet Size Bytes", 1024},
    {u"File Read Cmd TO", 2000},
    {u"File Write Cmd TO", 2000},
    {u"File Read Blk TO", 2000},
    {u"File Write Blk TO", 3000},
    {u"File Write Cfg Cmd TO", 10000},
    {u"File Write Cfg Commit TO", 90000},
    {u"File Delete Cmd TO", 90000},
    {u"InterMsgDelay TO", 30},
    {u"BusyResponseDelay", 100},
    {u"BusyRetryLimit", 60},
    {u"AutoWakeUpNetwork", 0},
    {u"Debug Flags", 0},
    {u"Update Sensor TO", 1500},
    {u"Cache Refresh Rate", 10000},
    {u"LogDir Cache Refresh Rate", 10000},
    {u"Factory Restore TO", 90000},
    {u"Reboot To Boot Delay", 5000},
    {u"Reboot To App Delay", 5000},
    {u"Flash Erase App TO", 90000},
    {u"Flash Blk Write TO", 2000},
    {u"RTUInterCharacter TO", 250},
}};

constexpr uint32_t kMinPacketSize = 20;
constexpr uint32_t kMaxPacketSize = 1024;

// Some tunables are read before every transaction, where even one look at the hive file would be
// a large part of the transaction's cost. A tunable is therefore looked up again only when the
// settings store's cache has changed (a write by this process, a file another process changed
// found by any read) or this long after its last lookup.
constexpr uint64_t kRecheckIntervalMs = 250;
constexpr uint64_t kNeverLookedUp = UINT64_MAX;

// The current value of every tunable and when it was last looked up; readers take no lock. Two
// threads that race on a lookup store the same result.
struct CurrentTunable
{
    std::atomic<uint32_t> value{0};
    std::atomic<uint64_t> lookedUpAtMs{kNeverLookedUp};
    std::atomic<uint64_t> cacheVersion{0}; // of the settings store, taken before the lookup
};

struct CurrentTunables
{
    CurrentTunables() { Reset(); }
    void Reset()
    {
        for (size_t i = 0; i < kTunables.size(); ++i)
        {
            tunables[i].value.store(kTunables[i].defaultValue);
            tunables[i].lookedUpAtMs.store(kNeverLookedUp);
        }
    }
    std::array<CurrentTunable, kTunables.size()> tunables;
};

CurrentTunables& Current()
{
    static CurrentTunables current;
    return current;
}

size_t IndexOf(CommTunable tunable)
{
    return static_cast<size_t>(tunable);
}

bool LookedUpRecently(const CurrentTunable& current, uint64_t now, uint64_t cacheVersion)
{
    const uint64_t at = current.lookedUpAtMs.load(std::memory_order_acquire);
    return at != kNeverLookedUp && now - at < kRecheckIntervalMs &&
           current.cacheVersion.load(std::memory_order_acquire) == cacheVersion;
}

} // namespace

uint32_t ReadCommTunable(CommTunable tunable)
{
    const size_t index = IndexOf(tunable);
    if (index >= kTunables.size())
        return 0;
    CurrentTunable& current = Current().tunables[index];
    const uint64_t now = platform::GetTickCount64();
    const uint64_t cacheVersion = platform::settings::CacheVersion();
    if (LookedUpRecently(current, now, cacheVersion))
        return current.value.load();

    // The same rule as a DWORD query through CRegistryKey, without opening a key object.
    if (auto stored = platform::settings::GetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY,
                                                   kTunables[index].name))
    {
        uint32_t value = *stored;
        // The packet limit is used as a buffer bound: a stored value is kept within what the
        // device object accepts; a count is a 16-bit quantity.
        if (tunable == CommTunable::MaxPacketSizeBytes)
            value = std::clamp<uint32_t>(value, kMinPacketSize, kMaxPacketSize);
        else if (tunable == CommTunable::RetryCount)
            value = std::min<uint32_t>(value, 0xFFFF);
        current.value.store(value);
    }
    current.cacheVersion.store(cacheVersion, std::memory_order_release);
    current.lookedUpAtMs.store(now, std::memory_order_release);
    return current.value.load();
}

const char16_t* GetCommTunableName(CommTunable tunable)
{
    const size_t index = IndexOf(tunable);
    return index < kTunables.size() ? kTunables[index].name : u"";
}

uint32_t GetCommTunableDefault(CommTunable tunable)
{
    const size_t index = IndexOf(tunable);
    return index < kTunables.size() ? kTunables[index].defaultValue : 0;
}

void ResetCommTunablesForTests()
{
    Current().Reset();
}

uint32_t GetReadRegisterTimeout()
{
    return ReadCommTunable(CommTunable::ReadRegisterTO);
}
uint32_t GetWriteRegisterTimeout()
{
    return ReadCommTunable(CommTunable::WriteRegisterTO);
}
uint16_t GetRetryCount()
{
    return static_cast<uint16_t>(ReadCommTunable(CommTunable::RetryCount));
}
uint16_t GetMaxPacketSize()
{
    return static_cast<uint16_t>(ReadCommTunable(CommTunable::MaxPacketSizeBytes));
}
uint32_t GetFileReadCmdTimeout()
{
    return ReadCommTunable(CommTunable::FileReadCmdTO);
}
uint32_t GetFileWriteCmdTimeout()
{
    return ReadCommTunable(CommTunable::FileWriteCmdTO);
}
uint32_t GetFileReadBlkTimeout()
{
    return ReadCommTunable(CommTunable::FileReadBlkTO);
}
uint32_t GetFileWriteBlkTimeout()
{
    return ReadCommTunable(CommTunable::FileWriteBlkTO);
}
uint32_t GetFileWriteCfgCmdTimeout()
{
    return ReadCommTunable(CommTunable::FileWriteCfgCmdTO);
}
