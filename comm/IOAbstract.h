// The byte transport of one communication line. The Modbus network object and its transactions
// send and receive only through this interface and never see a port, a modem or a socket.
//
// Every transport is a small handle over a reference-counted implementation that several handles
// may share; the implementation closes its line when the last handle lets go. A handle without a
// valid implementation answers every operation without touching anything: false, 0 or an empty
// text for the queries, the transport's invalid-handle code for the rest.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "foundation/TransferControl.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

namespace NVTools
{

class CSerialComm;
class CModemComm;
class CIPComm;

// Connection types (no class uses 2).
inline constexpr ULONG IOCONNECTION_SERIAL = 0;
inline constexpr ULONG IOCONNECTION_MODEM = 1;
inline constexpr ULONG IOCONNECTION_IP = 3;

class IIOAbstract
{
public:
    // A handle releases its implementation.
    virtual ~IIOAbstract() = default;

    // Implementation present and tagged.
    virtual bool IsValid() const = 0;
    // Closes the line; the handle keeps its implementation, now closed.
    virtual HRESULT Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual ULONG GetRefCount() const = 0;
    // Sends every byte of data. timeoutMs 0 selects the transport's own rule; an empty buffer on an
    // open line sends nothing and succeeds.
    virtual HRESULT Write(const CByteBuffer& data, ULONG timeoutMs) = 0;
    // Receives one frame, ended by the transport's framing rule, the expected count, the total
    // time-out or the cancel request of cancel (may be null). 0 expected bytes on an open line
    // reads nothing and succeeds.
    virtual HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                         CTransferControl* cancel) = 0;
    virtual HRESULT PurgeInput() = 0;
    virtual HRESULT PurgeOutput() = 0;
    virtual HRESULT Purge() = 0;
    // The class's constant, also on an invalid handle.
    virtual ULONG GetConnectionType() const = 0;
    // Attaches the implementation's trace to a trace file of the process that is open already.
    virtual HRESULT AttachTraceLog(ULONG fileId) = 0;
    virtual HRESULT DetachTraceLog() = 0;
    virtual HRESULT OpenTraceLog(const char16_t* path, ULONG* fileId) = 0;
    // The same as DetachTraceLog.
    virtual HRESULT CloseTraceLog() = 0;
    virtual bool IsTraceLogOpen() const = 0;
    // The operating-system error behind the last failure; 0 after a success.
    virtual ULONG GetLastErrorCode() const = 0;
    virtual CWideString GetLastErrorText() const = 0;
    // Bytes sent, received, and delivered to callers.
    virtual HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered) = 0;
    virtual HRESULT ResetStatistics() = 0;
    // The display name of the line; empty here.
    virtual CWideString GetName() const { return CWideString(); }
    // Lets go of the implementation.
    virtual void Reset() = 0;
    virtual CSerialComm* AsSerial() { return nullptr; }
    virtual CModemComm* AsModem() { return nullptr; }
    virtual CIPComm* AsIP() { return nullptr; }
    virtual void* AsOther() { return nullptr; }
};

} // namespace NVTools
