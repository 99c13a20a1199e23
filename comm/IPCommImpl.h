// The TCP/IP line, shared by every handle that copies it: a TCP connection to an address or host
// name that carries Modbus ASCII messages. A receive thread of its own connects, then takes
// whatever the socket gives and assembles complete messages for the readers; closing the line
// wakes that thread at once and waits for it to end.
//
// Locks, outermost first: the object lock (open, close, read, write), the socket lock (the socket,
// the address and port), the receive lock (raw and receive buffers). The receive thread never takes
// the object lock, and nothing takes the socket lock while it holds the receive lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "comm/IPAsciiAssembly.h"
#include "comm/LineImplBase.h"
#include "foundation/ByteBuffer.h"
#include "foundation/ResultCodes.h"
#include "foundation/TransferControl.h"
#include "foundation/WideString.h"
#include "platform/Socket.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVTools
{

class CIPCommImpl : public CLineImplBase
{
public:
    static constexpr uint32_t kTag = 0x4950434F; // 'IPCO'

    // Looks up the IPv4 addresses of a host name; nonzero when it has none.
    using HostResolver = int (*)(const std::string& name, std::vector<platform::IPv4Bytes>& addresses);

    // A new, closed line with one reference; null when memory runs out.
    static CIPCommImpl* Create();

    ULONG AddRef();
    // The last reference closes the line and destroys the object; returns the count left.
    ULONG Release();
    ULONG GetRefCount() const;
    bool IsTagged() const { return m_nTag == kTag; }

    // "%s-%u" with the address text and the port.
    virtual CWideString GetName() const;

    // Connects to a dotted IPv4 address or to the first address of a host name (letters, digits
    // and inner hyphens only), and starts receiving. IPCOMM_E_OPEN while a connection or its
    // receive thread exists (Close first), IPCOMM_E_INVALID_ADDRESS for an empty or malformed
    // address, IPCOMM_E_RESOLVE when the name has no address, the socket step's code when the
    // connection cannot be made.
    HRESULT Open(const char16_t* address, USHORT port);
    HRESULT Close();
    bool IsOpen() const;
    // One send of the whole buffer (timeoutMs is not used). Messages still waiting from earlier
    // requests are dropped first. On a dropped connection the line reconnects when it may.
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs);
    // One complete message, ':' to CR LF, into the emptied buffer.
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs, CTransferControl* cancel);
    // Drops everything received and not yet read.
    HRESULT Purge();

    ULONG GetLastErrorCode() const;
    // The system's message for the last error, nothing else.
    CWideString GetLastErrorText() const;

    // A write on a dropped connection opens it again with the address and port of the last open,
    // up to three times after the waits (1000, 2000 and 5000 ms unless set). On unless switched off.
    void SetAutoReconnect(bool enabled) { m_bAutoReconnect = enabled; }
    void SetReconnectWaits(const std::array<uint32_t, 3>& waitsMs);
    // The system's resolver unless replaced (tests).
    void SetHostResolver(HostResolver resolver);

private:
    CIPCommImpl();
    virtual ~CIPCommImpl();
    CIPCommImpl(const CIPCommImpl&) = delete;
    CIPCommImpl& operator=(const CIPCommImpl&) = delete;

    HRESULT FindAddresses(const char16_t* address);
    void ReadThread();
    HRESULT OpenSocket();
    void ReceivedData(const uint8_t* data, uint32_t count);
    bool Reconnect();
    // Shuts the socket down (waking the receive thread) and retires it; the descriptor is closed
    // by CloseRetiredSocket once the receive thread cannot use it any more.
    void CloseSocket();
    void CloseRetiredSocket();
    void PurgeStep();
    void TraceDiscard(AsciiDiscard reason, const uint8_t* bytes, uint32_t count);
    CWideString GetAddress() const;

    std::atomic<uint32_t> m_bAutoReconnect{1};
    std::array<uint32_t, 3> m_ReconnectWaits{1000, 2000, 5000}; // under the object lock
    HostResolver m_pResolver = &platform::ResolveHostIPv4;      // under the object lock
    std::atomic<uint32_t> m_nLastError{0};
    std::atomic<HRESULT> m_nStatus{E_FAIL}; // of the last connection attempt
    CWideString m_Address;                  // written under the object and socket locks
    USHORT m_nPort = 0;                     // written under the object and socket locks
    std::vector<platform::IPv4Bytes> m_Addresses;
    CByteQueue m_Received;                    // complete messages for the readers, under the receive lock
    CByteQueue m_Raw;                         // bytes not yet forming a message, under the receive lock
    int m_nSocket = platform::kInvalidSocket; // under the socket lock
    int m_nRetiredSocket = platform::kInvalidSocket; // under the socket lock
    std::thread m_ReadThread;                        // under the object lock
    platform::CEvent m_OpenDone{platform::CEvent::Reset::Auto};
    platform::CEvent m_DataEvent{platform::CEvent::Reset::Auto};
    mutable platform::CCriticalSection m_SocketLock;
    mutable platform::CCriticalSection m_ReceiveLock;
    std::atomic<uint32_t> m_nRefCount{0};
    uint32_t m_nTag = kTag;
};

} // namespace NVTools
