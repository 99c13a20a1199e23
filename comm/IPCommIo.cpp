// Reads, writes, purges and reconnects of a TCP/IP line.
#include <algorithm>

#include "comm/IPCommImpl.h"
#include "foundation/ByteDump.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "foundation/Stopwatch.h"
#include "platform/Clock.h"

namespace NVTools
{

namespace
{

// A reader looks at the line at least this often while it waits for a message.
constexpr uint64_t kReadPollMs = 100;

} // namespace

void CIPCommImpl::PurgeStep()
{
    CScopedLock receive(m_ReceiveLock);
    m_Trace << TRACE_LEVEL2 << u" Purging Read buffer" << TRACE_END;
    m_Received.Clear();
    m_Raw.Clear();
}

HRESULT CIPCommImpl::Purge()
{
    PurgeStep();
    return S_OK;
}

HRESULT CIPCommImpl::Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                          CTransferControl* cancel)
{
    CScopedLock lock(m_ObjectLock);
    const CWideString address = GetAddress();
    m_Trace << TRACE_LEVEL1 << u"IPComm - IP: " << address << u" - starting port read - Bytes: "
            << expectedBytes << u" Total TO(ms): " << totalTimeoutMs << TRACE_END;
    if (!IsOpen())
    {
        m_Trace << TRACE_LEVEL1 << u"Socket Closed" << TRACE_END;
        return IPCOMM_E_CLOSED;
    }
    if (expectedBytes != 0)
        buffer.Allocate(buffer.GetCapacity()); // zeroed, length 0, the caller's capacity kept

    enum class Outcome
    {
        Complete,
        TimedOut,
        Cancelled,
        Closed
    } outcome = Outcome::Complete;
    HRESULT result = S_OK;
    CStopwatch watch;
    watch.Start();
    while (buffer.GetLength() < expectedBytes)
    {
        {
            CScopedLock receive(m_ReceiveLock);
            if (ExtractAsciiMessage(m_Received, buffer))
            {
                m_Trace << TRACE_LEVEL2 << u"Extracted Modbus ASCII Msg: " << buffer.GetLength()
                        << u" bytes from the read buffer. Remaining Buffer Length: " << m_Received.GetLength()
                        << u" bytes" << TRACE_END;
                break;
            }
        }
        const uint64_t elapsed = watch.GetElapsedMs();
        if (elapsed > totalTimeoutMs)
        {
            outcome = Outcome::TimedOut;
            result = IPCOMM_E_READ_TIMEOUT;
            break;
        }
        if (cancel != nullptr && cancel->IsCancelRequested())
        {
            outcome = Outcome::Cancelled;
            result = IPCOMM_E_READ_CANCELLED;
            break;
        }
        if (!IsOpen())
        {
            outcome = Outcome::Closed;
            result = IPCOMM_E_CLOSED;
            break;
        }
        // Never past the time-out by more than a tick.
        m_DataEvent.Wait(std::min<uint64_t>(kReadPollMs, totalTimeoutMs - elapsed + 1));
    }

    if (m_Trace.IsOpen())
    {
        const CWideString dump = FormatPrintableDump(buffer);
        switch (outcome)
        {
        case Outcome::Cancelled:
            m_Trace << TRACE_LEVEL1 << u"Read cancelled. Total Bytes In: " << buffer.GetLength() << u"\n"
                    << dump << TRACE_END;
            break;
        case Outcome::TimedOut:
            m_Trace << TRACE_LEVEL1 << u"Read timeout. Total Bytes In: " << buffer.GetLength() << u"\n"
                    << dump << TRACE_END;
            break;
        default:
        {
            const double received = m_nBytesReceived.load();
            const double delivered = m_nBytesDelivered.load();
            const double compression = received == 0 ? 0.0 : (delivered - received) * 100.0 / received;
            m_Trace << TRACE_LEVEL1 << u"Read complete - running compression: " << compression
                    << u"%. Total Bytes In Response: " << buffer.GetLength() << u"\n"
                    << dump << TRACE_END;
            break;
        }
        }
    }
    return result;
}

HRESULT CIPCommImpl::Write(const CByteBuffer& data, ULONG /*timeoutMs*/)
{
    CScopedLock lock(m_ObjectLock);
    const uint32_t count = data.GetLength();
    if (m_Trace.IsOpen())
        m_Trace << TRACE_LEVEL1 << u"IPComm - IP: " << GetAddress() << u" - starting write - " << count
                << u" bytes:\n"
                << FormatPrintableDump(data) << TRACE_END;
    // Replies still waiting from earlier requests are dropped.
    PurgeStep();
    if (count == 0)
        return S_OK;
    if (!IsOpen() && !Reconnect())
    {
        m_Trace << TRACE_LEVEL1 << u"Connection has been dropped, unable to reconnect" << TRACE_END;
        return IPCOMM_E_CLOSED;
    }

    CScopedLock socket(m_SocketLock);
    if (m_nSocket == platform::kInvalidSocket)
    {
        m_Trace << TRACE_LEVEL1 << u"Connection has been dropped, unable to reconnect" << TRACE_END;
        return IPCOMM_E_CLOSED;
    }
    size_t sent = 0;
    if (const int error = platform::Send(m_nSocket, data.GetData(), count, sent); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Socket error: " << -1 << TRACE_END;
        return IPCOMM_E_WRITE;
    }
    if (sent < count)
    {
        m_nBytesSent += static_cast<uint32_t>(sent);
        m_Trace << TRACE_LEVEL1 << u"Incomplete write, bytes sent: " << static_cast<uint32_t>(sent)
                << TRACE_END;
        return IPCOMM_E_WRITE_LENGTH;
    }
    m_nBytesSent += count;
    m_Trace << TRACE_LEVEL1 << u"Write complete" << TRACE_END;
    return S_OK;
}

bool CIPCommImpl::Reconnect()
{
    CScopedLock lock(m_ObjectLock);
    const CWideString address = GetAddress();
    USHORT port = 0;
    {
        CScopedLock socket(m_SocketLock);
        port = m_nPort;
    }
    if (port == 0 || address.IsEmpty())
        return false;
    if (IsOpen())
        return true;
    if (m_bAutoReconnect.load() == 0)
        return false;
    m_Trace << TRACE_LEVEL1 << u"IPComm - IP: " << address
            << u" - socket closed - attempting to reopen socket connection" << TRACE_END;
    if (Failed(Close()))
        return false;
    for (const uint32_t wait : m_ReconnectWaits)
    {
        if (IsOpen())
            break;
        platform::SleepMs(wait);
        if (Succeeded(Open(address, port)))
            break;
    }
    return IsOpen();
}

} // namespace NVTools
