// The instrument's device command register and the commands it carries out. From register map
// version 3 on a command is one write of its value; earlier instruments take it only inside the
// handshake 0, 1, command, 0 and refuse a write out of turn with the maker's exception 0x85; a
// command defined as one write (the Bluetooth update) is taken as one write in every generation. A
// value that is no known command is refused with 0x84. Thread-safe; actions run unlocked, so they may
// use the command table themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/CommandHandshake.h"

namespace probesim
{

inline constexpr uint16_t kDeviceCommandRegister = 49018;

inline constexpr uint16_t kCommandClearMessageCounters = 0xD006;
inline constexpr uint16_t kCommandSetOffline = 0xD009;
inline constexpr uint16_t kCommandSetOnline = 0xD00A;
inline constexpr uint16_t kCommandRestoreFactoryDefaults = 0xD00C;
inline constexpr uint16_t kCommandSwitchToBoot = 0xD00D;
inline constexpr uint16_t kCommandBluetoothUpdate = 0xD104;

class DeviceCommands
{
public:
    // Carries out a command; an exception code refuses it (the register keeps its old value).
    using Action = std::function<std::optional<ExceptionCode>(uint16_t command)>;

    explicit DeviceCommands(bool oneWrite) : m_oneWrite(oneWrite) {}

    // Replaces an earlier definition. oneWrite: taken as one write outside the handshake whatever
    // the generation.
    void Define(uint16_t command, Action action, bool oneWrite = false);

    // A value written to the command register: nullopt when taken, else the exception to answer.
    std::optional<ExceptionCode> Write(uint16_t value);

    HandshakeStep Step() const;                  // always Idle with one-write commands
    std::optional<uint16_t> LastCommand() const; // the last command carried out
    std::vector<uint16_t> CarriedOut() const;    // the commands carried out, in order (the newest 1024)
    void ResetHandshake();                       // the instrument restarted

private:
    struct Entry
    {
        Action action;
        bool oneWrite = false;
    };

    mutable std::mutex m_mutex;
    const bool m_oneWrite;
    CommandHandshake m_handshake;
    std::map<uint16_t, Entry> m_actions;
    std::vector<uint16_t> m_carriedOut;
};

} // namespace probesim
