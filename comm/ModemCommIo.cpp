// Reads, writes and purges of a modem line: the queue side, which waits for the connection side
// through the line's events.
#include <algorithm>

#include "comm/ModemCommImpl.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "foundation/Stopwatch.h"

namespace NVTools
{

namespace
{

// A read waiting for bytes looks at its cancel request at least this often.
constexpr uint64_t kCancelPollMs = 100;

// Drops bytes from the front of the buffer until it starts with ':' (or is empty).
void DropBeforeColon(CByteBuffer& buffer)
{
    const uint8_t* data = buffer.GetData();
    const uint32_t length = buffer.GetLength();
    uint32_t start = 0;
    while (start < length && data[start] != ':')
        ++start;
    if (start == 0)
        return;
    CByteBuffer rest;
    rest.Append(length - start, data + start);
    buffer = rest;
}

bool EndsWithCrLf(const CByteBuffer& buffer)
{
    const uint32_t length = buffer.GetLength();
    return length > 2 && buffer.GetData()[length - 2] == '\r' && buffer.GetData()[length - 1] == '\n';
}

} // namespace

HRESULT CModemCommImpl::Write(const CByteBuffer& data, ULONG timeoutMs)
{
    if (!IsOpen())
        return TAPI_E_PORT_CLOSED;
    const uint32_t count = data.GetLength();
    if (timeoutMs == 0)
        timeoutMs = static_cast<ULONG>(count / 240.0) + 100;
    if (m_Trace.IsOpen())
        m_Trace << TRACE_LEVEL1 << u"Modem: " << m_ModemName << u" Starting write\n"
                << Dump(data) << TRACE_END;
    if (count == 0)
        return S_OK;
    if (!m_IoGate.Wait(timeoutMs))
        return TAPI_E_IOQ_WAIT;
    if (!IsOpen())
    {
        m_IoGate.Set();
        m_Trace << TRACE_LEVEL1 << u"Modem write terminated - port closed" << TRACE_END;
        return TAPI_E_PORT_CLOSED;
    }
    {
        CScopedLock queue(m_QueueLock);
        m_WriteDone.ResetEvent();
        m_OutputQueue = data;
    }
    m_WriteRequest.Set();
    if (!m_WriteDone.Wait(timeoutMs))
        m_nWriteStatus = TAPI_E_WRITE_TIMEOUT;
    HRESULT result = m_nWriteStatus.load();
    if (!IsOpen())
        result = TAPI_E_PORT_CLOSED;
    // Only bytes that the connection side reports sent are counted.
    if (Succeeded(result))
        m_nBytesSent += count;
    m_IoGate.Set();
    m_Trace << TRACE_LEVEL1 << u"Modem write complete - result: " << TraceHr(result) << TRACE_END;
    return result;
}

HRESULT CModemCommImpl::Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                             CTransferControl* cancel)
{
    // The input queue is not discarded here: the transaction purges before it writes, and a reply
    // that arrived between the write and this read belongs to the request just written.
    if (!IsOpen())
        return TAPI_E_PORT_CLOSED;
    if (expectedBytes == 0)
        return S_OK;
    m_Trace << TRACE_LEVEL1 << u"Modem: " << m_ModemName << u" Starting read, #bytes: " << expectedBytes
            << u" TO(ms):" << totalTimeoutMs << TRACE_END;
    if (!m_IoGate.Wait(totalTimeoutMs))
        return TAPI_E_IOQ_WAIT;
    CStopwatch watch;
    watch.Start();

    HRESULT status = S_OK;
    while (buffer.GetLength() < expectedBytes)
    {
        bool queued = false;
        {
            CScopedLock queue(m_QueueLock);
            queued = m_InputQueue.GetLength() != 0;
        }
        // Bytes still queued (more than the last move could take) need no signal to be read. A wait
        // never runs past the total time-out, and is cut into slices so that a cancel request is
        // seen while the line is silent.
        if (!queued)
        {
            const uint64_t elapsed = watch.GetElapsedMs();
            if (elapsed <= totalTimeoutMs)
                m_DataReceived.Wait(std::min<uint64_t>(kCancelPollMs, totalTimeoutMs - elapsed + 1));
        }
        {
            CScopedLock queue(m_QueueLock);
            const uint32_t take = std::min(expectedBytes - buffer.GetLength(), m_InputQueue.GetLength());
            if (take != 0 && buffer.Append(take, m_InputQueue.GetData()))
            {
                CByteBuffer rest;
                rest.Append(m_InputQueue.GetLength() - take, m_InputQueue.GetData() + take);
                m_InputQueue = rest;
                m_nBytesDelivered += take;
            }
        }
        DropBeforeColon(buffer);
        if (EndsWithCrLf(buffer))
            break;
        if (watch.GetElapsedMs() > totalTimeoutMs)
        {
            status = TAPI_E_READ_TIMEOUT;
            break;
        }
        if (cancel != nullptr && cancel->IsCancelRequested())
        {
            status = TAPI_E_READ_CANCELLED;
            break;
        }
        if (!IsOpen())
        {
            status = TAPI_E_PORT_CLOSED;
            break;
        }
    }
    m_IoGate.Set();
    const HRESULT result = buffer.GetLength() == expectedBytes ? S_OK : status;

    if (m_Trace.IsOpen())
    {
        const char16_t* heading = u"Modem - read complete - #bytes read: ";
        const char16_t* separator = u" result: ";
        if (status == TAPI_E_READ_CANCELLED)
            heading = u"Modem - *** READ Cancelled ***  #bytes read: ";
        else if (status == TAPI_E_READ_TIMEOUT)
            heading = u"Modem - *** READ TIMEOUT ***  #bytes read: ";
        else if (status == TAPI_E_PORT_CLOSED)
            heading = u"Modem - *** READ PORT CLOSED ***  #bytes read: ";
        else
            separator = u", result: ";
        m_Trace << TRACE_LEVEL1 << heading << buffer.GetLength() << separator << TraceHr(result) << u"\n"
                << Dump(buffer) << TRACE_END;
    }
    return result;
}

HRESULT CModemCommImpl::PurgeInput()
{
    m_Trace << TRACE_LEVEL2 << u"Modem: " << m_ModemName << u" Clear input buffer" << TRACE_END;
    {
        CScopedLock queue(m_QueueLock);
        m_InputQueue.Allocate(0);
    }
    m_Trace << TRACE_LEVEL2 << u"Modem - input buffer cleared" << TRACE_END;
    return S_OK;
}

HRESULT CModemCommImpl::PurgeOutput()
{
    m_Trace << TRACE_LEVEL2 << u"Modem: " << m_ModemName << u" Clear output buffer" << TRACE_END;
    return S_OK;
}

HRESULT CModemCommImpl::Purge()
{
    const HRESULT input = PurgeInput();
    const HRESULT output = PurgeOutput();
    return input != S_OK ? input : output;
}

} // namespace NVTools
