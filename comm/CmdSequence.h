// The command handshake of instruments before register map version 3 on one command register:
// 0 resets it, 1 arms it, then the command, and 0 closes the sequence again. The object lives on the
// caller's stack for one sequence; its destructor sends the closing 0 whatever happened before.
#pragma once

#include <cstdint>

#include "comm/ModbusComm.h"
#include "platform/Types.h"

namespace NVSystem
{

// The handshake values of a command register.
inline constexpr USHORT CMDSEQ_RESET = 0;
inline constexpr USHORT CMDSEQ_ARM = 1;

// File commands of the file command register and of the extended file request.
inline constexpr USHORT FILECMD_IDLE = 0x0000;
inline constexpr USHORT FILECMD_WRITE_CONFIG = 0xF003;
inline constexpr USHORT FILECMD_WRITE_NOTE = 0xF006;
inline constexpr USHORT FILECMD_DELETE = 0xF015;

// The commands that read a file (0xF000 among them).
bool IsFileReadCommand(USHORT command);
// The commands that write a file: 0xF001, 0xF003 and 0xF006.
bool IsFileWriteCommand(USHORT command);

class CCmdSequenceWrapper
{
public:
    // The network is not owned and must outlive the sequence.
    CCmdSequenceWrapper(USHORT commandRegister, CModbusComm* network, USHORT address, ULONG commandTimeoutMs,
                        ULONG readTimeoutMs, USHORT retries);
    // Closes the sequence with 0 unless a derived class has closed it already.
    virtual ~CCmdSequenceWrapper();
    CCmdSequenceWrapper(const CCmdSequenceWrapper&) = delete;
    CCmdSequenceWrapper& operator=(const CCmdSequenceWrapper&) = delete;

    // 0, then 1 when the 0 was taken.
    virtual HRESULT Begin();
    virtual HRESULT WriteCommand(USHORT command, ULONG timeoutMs, USHORT retries);
    // With the time-out and retries that the command calls for: the file read and write commands
    // their tunables, the file delete its long tunable and no retries, anything else the sequence's.
    virtual HRESULT SendCommand(USHORT command);

    CModbusComm* GetNetwork() const { return m_pNetwork; }

protected:
    // Sends the closing 0 once.
    void Close();

    CModbusComm* m_pNetwork;
    USHORT m_nCommandRegister;
    USHORT m_nAddress;
    USHORT m_nRetries;
    ULONG m_nCommandTimeout;
    ULONG m_nReadTimeout;

private:
    bool m_bClosed = false;
};

} // namespace NVSystem
