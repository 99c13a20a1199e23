// The per-machine tunables of the communication stack: DWORD values under HKEY_LOCAL_MACHINE
// "Software\Norvane\ModbusComm", read when used. Each has a process-wide current value that starts
// as the built-in default; a value found in the store (a REG_DWORD) replaces it for the rest of the
// process, so a value once found stays in force even after it is removed. Anything else (missing
// key or value, another type) leaves the current value. A value written by this process applies
// at once, one written by another process within a quarter of a second: between two lookups in the
// store a read costs no system call.
#pragma once

#include <cstdint>

inline constexpr const char16_t* COMM_TUNABLES_KEY = u"Software\\Norvane\\ModbusComm";

enum class CommTunable
{
    ReadRegisterTO,         // "Read Register TO", 3500 ms
    WriteRegisterTO,        // "Write Register TO", 1500 ms
    RetryCount,             // "Retry Count", 3
    MaxPacketSizeBytes,     // "Max Packet Size Bytes", 1024 (kept within 20..1024)
    FileReadCmdTO,          // "File Read Cmd TO", 2000 ms
    FileWriteCmdTO,         // "File Write Cmd TO", 2000 ms
    FileReadBlkTO,          // "File Read Blk TO", 2000 ms
    FileWriteBlkTO,         // "File Write Blk TO", 3000 ms
    FileWriteCfgCmdTO,      // "File Write Cfg Cmd TO", 10000 ms
    FileWriteCfgCommitTO,   // "File Write Cfg Commit TO", 90000 ms
    FileDeleteCmdTO,        // "File Delete Cmd TO", 90000 ms
    InterMsgDelayTO,        // "InterMsgDelay TO", 30 ms
    BusyResponseDelay,      // "BusyResponseDelay", 100 ms
    BusyRetryLimit,         // "BusyRetryLimit", 60
    AutoWakeUpNetwork,      // "AutoWakeUpNetwork", 0
    DebugFlags,             // "Debug Flags", 0 (bit 0 device trace, bit 1 line trace)
    UpdateSensorTO,         // "Update Sensor TO", 1500 ms
    CacheRefreshRate,       // "Cache Refresh Rate", 10000 ms
    LogDirCacheRefreshRate, // "LogDir Cache Refresh Rate", 10000 ms
    FactoryRestoreTO,       // "Factory Restore TO", 90000 ms
    RebootToBootDelay,      // "Reboot To Boot Delay", 5000 ms
    RebootToAppDelay,       // "Reboot To App Delay", 5000 ms
    FlashEraseAppTO,        // "Flash Erase App TO", 90000 ms
    FlashBlkWriteTO,        // "Flash Blk Write TO", 2000 ms
    RTUInterCharacterTO,    // "RTUInterCharacter TO", 250 ms
    Count
};

inline constexpr uint32_t DEBUG_FLAG_DEVICE_TRACE = 0x1; // "DeviceControlTraceLog.txt"
inline constexpr uint32_t DEBUG_FLAG_LINE_TRACE = 0x2;   // "%s_TraceLog.txt" per line

// Reads one tunable by the rule above and returns its current value.
uint32_t ReadCommTunable(CommTunable tunable);
// The value name and built-in default of a tunable.
const char16_t* GetCommTunableName(CommTunable tunable);
uint32_t GetCommTunableDefault(CommTunable tunable);
// Every current value back to its built-in default (tests).
void ResetCommTunablesForTests();

uint32_t GetReadRegisterTimeout();
uint32_t GetWriteRegisterTimeout();
uint16_t GetRetryCount();
uint16_t GetMaxPacketSize();
uint32_t GetFileReadCmdTimeout();
uint32_t GetFileWriteCmdTimeout();
uint32_t GetFileReadBlkTimeout();
uint32_t GetFileWriteBlkTimeout();
uint32_t GetFileWriteCfgCmdTimeout();
