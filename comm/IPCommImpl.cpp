// The life of a TCP/IP line: references, open with address checks and name resolution, the
// receive thread, the socket steps and close, and the last error.
#include "comm/IPCommImpl.h"

#include <new>
#include <system_error>

#include "foundation/IPv4Address.h"
#include "foundation/ScopedLock.h"
#include "foundation/SystemNames.h"
#include "platform/Utf.h"

namespace NVTools
{

namespace
{

constexpr size_t kReceiveChunk = 4096;

bool IsDigit(char16_t unit)
{
    return unit >= u'0' && unit <= u'9';
}

bool IsLetter(char16_t unit)
{
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

// Exactly four '.'-separated parts of 1 to 3 digits, each at most 255.
bool IsDottedAddress(const char16_t* text)
{
    int parts = 0;
    const char16_t* unit = text;
    for (;;)
    {
        int digits = 0;
        int value = 0;
        while (IsDigit(*unit))
        {
            if (++digits > 3)
                return false;
            value = value * 10 + (*unit - u'0');
            ++unit;
        }
        if (digits == 0 || value > 255)
            return false;
        ++parts;
        if (*unit == 0)
            return parts == 4;
        if (*unit != u'.' || parts == 4)
            return false;
        ++unit;
    }
}

// Letters, digits and hyphens, no hyphen first or last.
bool IsValidHostName(const char16_t* text)
{
    const size_t length = platform::Utf16Length(text);
    for (size_t i = 0; i < length; ++i)
    {
        const char16_t unit = text[i];
        if (IsLetter(unit) || IsDigit(unit))
            continue;
        if (unit == u'-' && i != 0 && i + 1 != length)
            continue;
        return false;
    }
    return length != 0;
}

} // namespace

CIPCommImpl* CIPCommImpl::Create()
{
    auto* impl = new (std::nothrow) CIPCommImpl();
    if (impl != nullptr)
        impl->AddRef();
    return impl;
}

CIPCommImpl::CIPCommImpl() : CLineImplBase(u"CIPCommImpl") {}

CIPCommImpl::~CIPCommImpl()
{
    m_Trace << TRACE_LEVEL1 << u"CIPCommImpl::~CIPCommImpl" << TRACE_END;
    m_Trace.Close();
    m_nTag = 0;
}

ULONG CIPCommImpl::AddRef()
{
    if (!IsTagged())
        return 0;
    return m_nRefCount.fetch_add(1) + 1;
}

ULONG CIPCommImpl::Release()
{
    if (!IsTagged())
        return 0;
    uint32_t count = m_nRefCount.load();
    while (count != 0 && !m_nRefCount.compare_exchange_weak(count, count - 1))
    {
    }
    if (count != 1)
        return count == 0 ? 0 : count - 1;
    // Also when the socket is gone already: the receive thread that saw it go must be joined.
    Close();
    delete this; // every lock left: no handle can reach the object any more
    return 0;
}

ULONG CIPCommImpl::GetRefCount() const
{
    return m_nRefCount.load();
}

CWideString CIPCommImpl::GetAddress() const
{
    CScopedLock socket(m_SocketLock);
    return m_Address;
}

CWideString CIPCommImpl::GetName() const
{
    CScopedLock socket(m_SocketLock);
    return CWideString(u"%s-%u", m_Address.IsEmpty() ? u"" : static_cast<const char16_t*>(m_Address),
                       static_cast<unsigned>(m_nPort));
}

bool CIPCommImpl::IsOpen() const
{
    CScopedLock socket(m_SocketLock);
    return m_nSocket != platform::kInvalidSocket;
}

void CIPCommImpl::SetReconnectWaits(const std::array<uint32_t, 3>& waitsMs)
{
    CScopedLock lock(m_ObjectLock);
    m_ReconnectWaits = waitsMs;
}

void CIPCommImpl::SetHostResolver(HostResolver resolver)
{
    CScopedLock lock(m_ObjectLock);
    m_pResolver = resolver != nullptr ? resolver : &platform::ResolveHostIPv4;
}

// --- open --------------------------------------------------------------------------------------

HRESULT CIPCommImpl::Open(const char16_t* address, USHORT port)
{
    CScopedLock lock(m_ObjectLock);
    m_Trace << TRACE_LEVEL1 << u"Opening IP connection - Address: " << (address != nullptr ? address : u"")
            << u" Port: " << port << TRACE_END;
    if (IsOpen())
    {
        m_Trace << TRACE_LEVEL1 << u"Socket already open" << TRACE_END;
        return IPCOMM_E_OPEN;
    }
    if (m_ReadThread.joinable())
    {
        m_Trace << TRACE_LEVEL1 << u"Read thread not dead" << TRACE_END;
        return IPCOMM_E_OPEN;
    }
    if (address == nullptr || *address == 0)
        return IPCOMM_E_INVALID_ADDRESS;

    ResetStatistics();
    {
        // The address may be the stored one (a reconnect): copy it before it is replaced.
        const CWideString text(address);
        CScopedLock socket(m_SocketLock);
        m_Address = text;
        m_nPort = port;
    }
    if (const HRESULT hr = FindAddresses(GetAddress()); Failed(hr))
        return hr;

    try
    {
        m_ReadThread = std::thread(&CIPCommImpl::ReadThread, this);
    }
    catch (const std::system_error&)
    {
        m_Trace << TRACE_LEVEL1 << u"Unable to start the socket read thread" << TRACE_END;
        return IPCOMM_E_OPEN;
    }
    m_OpenDone.Wait();
    const HRESULT status = m_nStatus.load();
    if (Succeeded(status))
    {
        m_Trace << TRACE_LEVEL1 << u"Connection successful" << TRACE_END;
        return status;
    }
    m_Trace << TRACE_LEVEL1 << u"Connection failed: " << TRACE_HEX << status << TRACE_END;
    // The close clears the last error; the reason the connection failed stays readable.
    const uint32_t error = m_nLastError.load();
    Close();
    m_nLastError = error;
    return status;
}

HRESULT CIPCommImpl::FindAddresses(const char16_t* address)
{
    // Each open dials what its own address names, never an address found by an earlier open.
    m_Addresses.clear();
    if (IsDottedAddress(address))
    {
        BYTE bytes[4] = {};
        if (!ParseIPv4Address(address, bytes))
        {
            m_Trace << TRACE_LEVEL1 << u"Unable to process input IP address" << TRACE_END;
            return IPCOMM_E_INVALID_ADDRESS;
        }
        m_Addresses.push_back({bytes[0], bytes[1], bytes[2], bytes[3]});
        return S_OK;
    }
    if (!IsValidHostName(address))
    {
        m_Trace << TRACE_LEVEL1 << u"Invalid IP Address" << TRACE_END;
        return IPCOMM_E_INVALID_ADDRESS;
    }
    const std::string name = platform::Utf16ToUtf8(address);
    if (m_pResolver(name, m_Addresses) != 0 || m_Addresses.empty())
    {
        m_Addresses.clear();
        m_Trace << TRACE_LEVEL1 << u"Unable to process resolve input Domain Name IP address" << TRACE_END;
        return IPCOMM_E_RESOLVE;
    }
    return S_OK;
}

// --- the receive thread ------------------------------------------------------------------------

void CIPCommImpl::ReadThread()
{
    m_Trace << TRACE_LEVEL1 << u"Socket read thread starting up" << TRACE_END;
    const HRESULT status = OpenSocket();
    m_nStatus = status;
    m_OpenDone.Set();
    if (Succeeded(status))
    {
        std::vector<uint8_t> chunk(kReceiveChunk);
        for (;;)
        {
            int fd = platform::kInvalidSocket;
            {
                CScopedLock socket(m_SocketLock);
                fd = m_nSocket;
            }
            if (fd == platform::kInvalidSocket)
                break;
            size_t got = 0;
            if (const int error = platform::Receive(fd, chunk.data(), chunk.size(), got); error != 0)
            {
                m_nLastError = static_cast<uint32_t>(error);
                m_Trace << TRACE_LEVEL1 << u"Socket read thread - socket error: "
                        << static_cast<uint32_t>(error) << u"\n"
                        << GetSystemErrorText(static_cast<uint32_t>(error)) << TRACE_END;
                break;
            }
            if (got == 0)
            {
                // A peer that closes its side leaves no error behind.
                m_nLastError = 0;
                m_Trace << TRACE_LEVEL1 << u"Socket read thread - socket dropped, last error: " << 0u << u"\n"
                        << TRACE_END;
                break;
            }
            ReceivedData(chunk.data(), static_cast<uint32_t>(got));
        }
    }
    CloseSocket();
    CloseRetiredSocket();
    m_Trace << TRACE_LEVEL1 << u"Socket read thread terminated" << TRACE_END;
}

HRESULT CIPCommImpl::OpenSocket()
{
    m_Trace << TRACE_LEVEL1 << u"Opening the socket connection" << TRACE_END;
    if (IsOpen())
        return IPCOMM_E_SOCKET_OPEN;
    if (m_Addresses.empty())
        return IPCOMM_E_INVALID_ADDRESS;
    USHORT port = 0;
    {
        CScopedLock socket(m_SocketLock);
        port = m_nPort;
    }
    // The connection is made on a descriptor of its own, so that a slow connect holds no lock.
    int fd = platform::kInvalidSocket;
    if (const int error = platform::CreateTcpSocket(fd); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Failed to create socket, LE: " << static_cast<uint32_t>(error)
                << TRACE_END;
        return IPCOMM_E_CREATE_SOCKET;
    }
    if (const int error = platform::BindAnyLocalPort(fd); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Failed to bind socket, LE: " << static_cast<uint32_t>(error)
                << TRACE_END;
        platform::CloseSocket(fd);
        return IPCOMM_E_BIND;
    }
    if (const int error = platform::ConnectIPv4(fd, m_Addresses.front(), port); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Failed to connect socket, LE: " << static_cast<uint32_t>(error)
                << TRACE_END;
        platform::CloseSocket(fd);
        return IPCOMM_E_CONNECT;
    }
    if (const int error = platform::SetNoDelay(fd); error != 0)
        m_nLastError = static_cast<uint32_t>(error);
    {
        CScopedLock socket(m_SocketLock);
        if (m_nSocket != platform::kInvalidSocket)
        {
            platform::CloseSocket(fd);
            return IPCOMM_E_SOCKET_OPEN;
        }
        m_nSocket = fd;
    }
    PurgeStep();
    m_nBytesReceived = 0;
    m_nBytesDelivered = 0;
    m_Trace << TRACE_LEVEL1 << u"Socket connection open" << TRACE_END;
    return S_OK;
}

void CIPCommImpl::ReceivedData(const uint8_t* data, uint32_t count)
{
    CScopedLock receive(m_ReceiveLock);
    m_Trace << TRACE_LEVEL2 << u"Received raw data from socket (" << count << u" bytes):\n"
            << FormatIPHexLayout(data, count) << TRACE_END;
    m_nBytesReceived += count;
    const sAsciiAssembly moved =
        AssembleAsciiMessages(m_Raw, data, count, m_Received,
                              [this](AsciiDiscard reason, const uint8_t* bytes, uint32_t length)
                              { TraceDiscard(reason, bytes, length); });
    m_nBytesDelivered += moved.Delivered;
    if (moved.Messages == 0)
        return;
    m_Trace << TRACE_LEVEL2 << u"Post Append - receive buffer contents (" << m_Received.GetLength()
            << u" bytes):\n"
            << FormatIPHexLayout(m_Received.GetData(), m_Received.GetLength()) << TRACE_END;
    m_DataEvent.Set();
}

void CIPCommImpl::TraceDiscard(AsciiDiscard reason, const uint8_t* bytes, uint32_t count)
{
    switch (reason)
    {
    case AsciiDiscard::CorruptLine:
        m_Trace << TRACE_LEVEL1
                << u"Corrupt ASCII message buffer, the <CR> does not occur before the <LF> - purging it...\n"
                << u"ASCII buffer contents (" << count << u" bytes):\n"
                << FormatIPHexLayout(bytes, count) << TRACE_END;
        break;
    case AsciiDiscard::MessageTooLong:
        m_Trace << TRACE_LEVEL1 << u"ASCII message too long - purging it...\n"
                << u"ASCII buffer contents (" << count << u" bytes):\n"
                << FormatIPHexLayout(bytes, count) << TRACE_END;
        break;
    case AsciiDiscard::ReceiveOverflow:
        m_Trace << TRACE_LEVEL1 << u"Receive buffer full - unread messages dropped: " << count << u" bytes"
                << TRACE_END;
        break;
    }
}

// --- close -------------------------------------------------------------------------------------

void CIPCommImpl::CloseSocket()
{
    CScopedLock socket(m_SocketLock);
    if (m_nSocket != platform::kInvalidSocket)
    {
        m_Trace << TRACE_LEVEL1 << u"IP: " << m_Address << u" - Closing socket connection" << TRACE_END;
        platform::ShutdownSocket(m_nSocket);
        m_nRetiredSocket = m_nSocket;
        m_nSocket = platform::kInvalidSocket;
        // A reader waiting for a message looks at the line again now rather than at its next poll.
        m_DataEvent.Set();
    }
    m_Trace << TRACE_LEVEL1 << u"IP: " << m_Address << u" - socket connection closed " << TRACE_END;
}

void CIPCommImpl::CloseRetiredSocket()
{
    CScopedLock socket(m_SocketLock);
    if (m_nRetiredSocket != platform::kInvalidSocket)
    {
        platform::CloseSocket(m_nRetiredSocket);
        m_nRetiredSocket = platform::kInvalidSocket;
    }
}

HRESULT CIPCommImpl::Close()
{
    // Shut down before waiting for the object lock: a read in progress on another thread then ends
    // at once instead of running to its time-out.
    if (IsOpen())
        CloseSocket();
    CScopedLock lock(m_ObjectLock);
    m_Trace << TRACE_LEVEL1 << u"IPComm - IP: " << GetAddress() << u" - closing connection" << TRACE_END;
    if (IsOpen())
        CloseSocket();
    if (m_ReadThread.joinable())
        m_ReadThread.join();
    CloseRetiredSocket();
    PurgeStep();
    m_nLastError = 0;
    m_nStatus = IPCOMM_E_CLOSED;
    m_Trace << TRACE_LEVEL1 << u"IP Connection closed" << TRACE_END;
    return S_OK;
}

// --- last error --------------------------------------------------------------------------------

ULONG CIPCommImpl::GetLastErrorCode() const
{
    return m_nLastError.load();
}

CWideString CIPCommImpl::GetLastErrorText() const
{
    return GetSystemErrorText(m_nLastError.load());
}

} // namespace NVTools
