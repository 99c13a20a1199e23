// The file command registers of instruments before register map version 3: 49150 the file command
// register with the handshake 0, 1, command, 0; 49151 the file number; 49152 the transfer size
// (u32, high word first). File number and size are set while the handshake is armed (between the
// 1 and the command); a read command puts the file's size into 49152; a write command takes the
// size written there; the closing 0 ends the transfer and stores a completed write. Out of turn the
// registers answer the maker's exception 0x86. Thread-safe.
#pragma once

#include <mutex>

#include "tools/probe-sim/CommandHandshake.h"
#include "tools/probe-sim/FileTransfer.h"
#include "tools/probe-sim/RegisterModel.h"

namespace probesim
{

inline constexpr uint16_t kFileCommandRegister = 49150;
inline constexpr uint16_t kFileNumberRegister = 49151;
inline constexpr uint16_t kTransferSizeRegister = 49152;

class FileCommandRegisters
{
public:
    explicit FileCommandRegisters(FileTransfer& transfer) : m_transfer(transfer) {}

    // Creates the four registers, all 0.
    static void Create(RegisterModel& registers);
    // The write hook of the file command register.
    std::optional<ExceptionCode> OnWrite(RegisterModel& registers, const RegisterWrite& write);
    // The write hook of the file number and transfer size registers.
    std::optional<ExceptionCode> OnParameterWrite() const;

    HandshakeStep Step() const;
    void Reset(); // the instrument restarted: the handshake waits for its 1 again

private:
    FileTransfer& m_transfer;
    mutable std::mutex m_mutex;
    CommandHandshake m_handshake;
};

} // namespace probesim
