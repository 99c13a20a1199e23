// The line of a dial-up modem, shared by every handle that copies it. The object holds the queue
// side of the line: writes leave their bytes in the output queue for the connection side to send,
// reads take what the connection side put into the input queue, one read or write at a time.
//
// Nothing in this system dials or opens a modem line, so a line stays closed and every read and
// write answers TAPI_E_PORT_CLOSED. The connection side's half of the queues is here for a
// connection side to use: it hands over the line's data handle, serves each write request and
// delivers what it receives, holds a reference while it runs and stops when the line closes.
//
// Locks, outermost first: the object lock (reference count, last error, close), the state lock
// (the data handle), the queue lock (both queues). Reads and writes do not hold the object lock
// while they wait: the I/O gate admits one of them at a time, across all handles of the line.
#pragma once

#include <atomic>
#include <cstdint>

#include "comm/LineImplBase.h"
#include "foundation/ByteBuffer.h"
#include "foundation/ResultCodes.h"
#include "foundation/TransferControl.h"
#include "foundation/WideString.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVTools
{

class CModemCommImpl : public CLineImplBase
{
public:
    static constexpr uint32_t kTag = 0x4D4F4443; // 'MODC'

    // A new, closed line with one reference; null when memory runs out.
    static CModemCommImpl* Create();

    ULONG AddRef();
    // The last reference closes the line and destroys the object; returns the count left.
    ULONG Release();
    ULONG GetRefCount() const;
    bool IsTagged() const { return m_nTag == kTag; }

    // "Phone-%u" with the digits of the phone number (0 when there are none or too many).
    virtual CWideString GetName() const;

    HRESULT Close();
    bool IsOpen() const;
    // timeoutMs 0: byte count / 240 + 100 ms, for the gate and again for the connection side.
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs);
    // Appends to the caller's buffer (what it held counts toward expectedBytes), keeps only the
    // bytes from the first ':' on, and ends at CR LF or at the expected count.
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs, CTransferControl* cancel);
    HRESULT PurgeInput();
    HRESULT PurgeOutput();
    HRESULT Purge();

    ULONG GetLastErrorCode() const;
    // The system's message for the last error, nothing else.
    CWideString GetLastErrorText() const;

    // --- The connection side's half ---

    // Takes ownership of the open data handle of a connected line; the line is open from now on.
    // TAPI_E_ALREADY_OPEN while it is open, E_INVALIDARG for a negative handle.
    HRESULT AttachLine(int dataHandle);
    // Waits up to timeoutMs for a write request and takes the queued bytes. False on time-out and
    // once the line is closing.
    bool TakeWriteRequest(CByteBuffer& data, uint64_t timeoutMs);
    // The outcome of the write taken last; wakes the waiting Write.
    void CompleteWrite(HRESULT status);
    // Bytes from the line for the readers.
    void DeliverReceived(const uint8_t* data, uint32_t count);
    // Closes the data handle and wakes every waiting read and write (they answer
    // TAPI_E_PORT_CLOSED).
    void HangUp();

private:
    CModemCommImpl();
    virtual ~CModemCommImpl();
    CModemCommImpl(const CModemCommImpl&) = delete;
    CModemCommImpl& operator=(const CModemCommImpl&) = delete;

    void ClearQueues();
    CWideString Dump(const CByteBuffer& data) const;

    CWideString m_PhoneNumber; // empty in this system
    CWideString m_ModemName;   // empty in this system
    std::atomic<HRESULT> m_nWriteStatus{TAPI_E_NOTHING_WRITTEN};
    int m_nDataHandle = -1; // under the state lock
    platform::CEvent m_WriteRequest{platform::CEvent::Reset::Auto};
    platform::CEvent m_Closing{platform::CEvent::Reset::Manual, true};
    platform::CEvent m_WriteDone{platform::CEvent::Reset::Auto};
    platform::CEvent m_DataReceived{platform::CEvent::Reset::Auto};
    // A binary semaphore: signalled while no read or write holds the line.
    platform::CEvent m_IoGate{platform::CEvent::Reset::Auto, true};
    uint32_t m_nLastError = 0; // under the object lock
    CByteBuffer m_OutputQueue; // under the queue lock
    CByteBuffer m_InputQueue;  // under the queue lock
    mutable platform::CCriticalSection m_StateLock;
    mutable platform::CCriticalSection m_QueueLock;
    std::atomic<uint32_t> m_nRefCount{0};
    uint32_t m_nTag = kTag;
};

} // namespace NVTools
