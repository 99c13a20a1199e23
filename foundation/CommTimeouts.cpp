#include "foundation/CommTimeouts.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "foundation/RegistryKey.h"

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

// The current value of every tunable; readers take no lock.
struct CurrentTunables
{
    CurrentTunables()
    {
        for (size_t i = 0; i < kTunables.size(); ++i)
            values[i].store(kTunables[i].defaultValue);
    }
    std::array<std::atomic<uint32_t>, kTunables.size()> values;
};

std::array<std::atomic<uint32_t>, kTunables.size()>& CurrentValues()
{
    static CurrentTunables current;
    return current.values;
}

size_t IndexOf(CommTunable tunable)
{
    return static_cast<size_t>(tunable);
}

} // namespace

uint32_t ReadCommTunable(CommTunable tunable)
{
    const size_t index = IndexOf(tunable);
    if (index >= kTunables.size())
        return 0;
    std::atomic<uint32_t>& current = CurrentValues()[index];
    DWORD value = 0;
    CRegistryKey key;
    if (key.Open(platform::Hive::LocalMachine, COMM_TUNABLES_KEY) == ERROR_SUCCESS &&
        key.QueryDword(kTunables[index].name, value) == ERROR_SUCCESS)
    {
        // The packet limit is used as a buffer bound: a stored value is kept within what the
        // device object accepts; a count is a 16-bit quantity.
        if (tunable == CommTunable::MaxPacketSizeBytes)
            value = std::clamp<uint32_t>(value, kMinPacketSize, kMaxPacketSize);
        else if (tunable == CommTunable::RetryCount)
            value = std::min<uint32_t>(value, 0xFFFF);
        current.store(value);
    }
    return current.load();
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
    for (size_t i = 0; i < kTunables.size(); ++i)
        CurrentValues()[i].store(kTunables[i].defaultValue);
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
