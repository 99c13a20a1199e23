#include "comm/CmdSequence.h"

#include "foundation/CommTimeouts.h"
#include "foundation/ParameterRecords.h"

namespace NVSystem
{

bool IsFileReadCommand(USHORT command)
{
    switch (command)
    {
    case FILECMD_READ:
    case 0xF002:
    case 0xF004:
    case 0xF005:
    case 0xF007:
    case 0xF008:
        return true;
    default:
        return false;
    }
}

bool IsFileWriteCommand(USHORT command)
{
    return command == FILECMD_WRITE || command == FILECMD_WRITE_CONFIG || command == FILECMD_WRITE_NOTE;
}

CCmdSequenceWrapper::CCmdSequenceWrapper(USHORT commandRegister, CModbusComm* network, USHORT address,
                                         ULONG commandTimeoutMs, ULONG readTimeoutMs, USHORT retries)
    : m_pNetwork(network), m_nCommandRegister(commandRegister), m_nAddress(address), m_nRetries(retries),
      m_nCommandTimeout(commandTimeoutMs), m_nReadTimeout(readTimeoutMs)
{
}

CCmdSequenceWrapper::~CCmdSequenceWrapper()
{
    Close();
}

void CCmdSequenceWrapper::Close()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    // Dispatches to this class: a derived part that closes does so from its own destructor first.
    CCmdSequenceWrapper::SendCommand(CMDSEQ_RESET);
}

HRESULT CCmdSequenceWrapper::Begin()
{
    const HRESULT hr = SendCommand(CMDSEQ_RESET);
    if (Failed(hr))
        return hr;
    return SendCommand(CMDSEQ_ARM);
}

HRESULT CCmdSequenceWrapper::WriteCommand(USHORT command, ULONG timeoutMs, USHORT retries)
{
    if (m_pNetwork == nullptr)
        return E_POINTER;
    return m_pNetwork->WriteUShort(m_nAddress, m_nCommandRegister, command, timeoutMs, retries);
}

HRESULT CCmdSequenceWrapper::SendCommand(USHORT command)
{
    if (m_pNetwork == nullptr)
        return E_POINTER;
    ULONG timeout = m_nCommandTimeout;
    USHORT retries = m_nRetries;
    if (IsFileReadCommand(command))
        timeout = GetFileReadCmdTimeout();
    else if (IsFileWriteCommand(command))
        timeout = GetFileWriteCmdTimeout();
    else if (command == FILECMD_DELETE)
    {
        timeout = ReadCommTunable(CommTunable::FileDeleteCmdTO);
        retries = 0;
    }
    return WriteCommand(command, timeout, retries);
}

} // namespace NVSystem
