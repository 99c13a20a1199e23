// Reads, writes, purges and line errors of a serial port.
#include "comm/SerialCommImpl.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <vector>

#include "foundation/ByteDump.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "platform/Clock.h"
#include "platform/UiThreadCheck.h"

namespace NVTools
{

namespace
{

constexpr size_t kDrainChunk = 2048;

enum PurgeWhich
{
    kPurgeInput,
    kPurgeOutput,
    kPurgeBoth
};

// Line error bits and their trace lines, in this order.
struct ErrorLine
{
    uint32_t bit;
    const char16_t* text;
};
constexpr ErrorLine kErrorLines[] = {
    {0x0001, u"Receive Q Overflow\n"},
    {0x0002, u"Receive Overrun Error\n"},
    {0x0004, u"Receive Parity Error\n"},
    {0x0008, u"Receive Framing Error\n"},
    {0x0010, u"Break Detected\n"},
    {0x0100, u"TX Queue is full\n"},
    {0x0200, u"LPT Timeout\n"},
    {0x0400, u"LPT I/O Error\n"},
    {0x0800, u"LPT Device Not Selected\n"},
    {0x1000, u"LPT Device Out Of Paper\n"},
    {0x8000, u"Requested Mode Unsupported\n"},
};

// Room for n bytes in the frame block; it only ever grows.
bool ReserveBytes(std::vector<uint8_t>& frame, size_t n)
{
    try
    {
        if (frame.size() < n)
            frame.resize(n);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

uint32_t TickCount32()
{
    return static_cast<uint32_t>(platform::GetTickCount64());
}

// Milliseconds that `bytes` characters take on a line with the configuration given, rounded up: a
// start bit, the data bits, the parity bit if any and the stop bits each. A rate the line does not
// know yet counts as the slowest of the table.
uint64_t CharactersMs(uint64_t bytes, const DCB& dcb)
{
    constexpr uint64_t kSlowestBaud = 300;
    const uint64_t baud = dcb.BaudRate != 0 ? dcb.BaudRate : kSlowestBaud;
    const uint64_t dataBits = dcb.ByteSize != 0 ? dcb.ByteSize : 8;
    const uint64_t parityBits = dcb.fParity != 0 && dcb.Parity != NOPARITY ? 1 : 0;
    const uint64_t stopBits = dcb.StopBits == ONESTOPBIT ? 1 : 2;
    const uint64_t bits = bytes * (1 + dataBits + parityBits + stopBits);
    return (bits * 1000 + baud - 1) / baud;
}

} // namespace

HRESULT CSerialCommImpl::ClearCommErrors()
{
    m_nLastError = 0;
    uint32_t mask = 0;
    if (const int error = m_Device.TakeLineErrors(mask); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Clear Comm Errors failed - " << GetLastErrorText() << TRACE_END;
        return SERIALCOMM_E_CLEAR_ERRORS;
    }
    if (mask != 0)
    {
        CWideString lines;
        for (const ErrorLine& line : kErrorLines)
            if ((mask & line.bit) != 0)
                lines = lines + line.text;
        m_Trace << TRACE_LEVEL1
                << CWideString(u"Clear Comm Errors success - EM: %08X\n%s\n", mask,
                               static_cast<const char16_t*>(lines))
                << TRACE_END;
    }
    return S_OK;
}

CWideString CSerialCommImpl::Dump(const CByteBuffer& data) const
{
    return m_nFramingMode == SERIAL_FRAMING_ASCII ? FormatPrintableDump(data) : FormatHexDump(data);
}

void CSerialCommImpl::SetActive(std::atomic<uint32_t>& flag, bool active)
{
    flag.store(active ? 1 : 0);
}

bool CSerialCommImpl::IsActive() const
{
    return m_bReadActive.load() != 0 || m_bWriteActive.load() != 0;
}

HRESULT CSerialCommImpl::EnsureConfigured()
{
    if (m_bConfigured)
        return S_OK;
    const HRESULT hr = InitialConfiguration();
    m_Trace << TRACE_LEVEL1 << u"Port: " << GetPortNumber() << u" - configuration init - HR: " << TraceHr(hr)
            << TRACE_END;
    return hr;
}

HRESULT CSerialCommImpl::Write(const CByteBuffer& data, ULONG timeoutMs)
{
    platform::NoteUiThreadFault(platform::UiThreadFault::SerialIo, "serial write");
    CScopedLock lock(m_ObjectLock);
    m_nLastError = 0;
    if (m_Trace.IsOpen())
        m_Trace << TRACE_LEVEL1 << u"Starting port write - " << data.GetLength() << u" bytes:\n"
                << Dump(data) << TRACE_END;
    if (data.GetLength() == 0)
        return S_OK;
    if (!IsOpen())
    {
        m_Trace << TRACE_LEVEL1 << u"Port is closed" << TRACE_END;
        return SERIALCOMM_E_PORT_CLOSED;
    }
    if (const HRESULT hr = EnsureConfigured(); Failed(hr))
        return hr;
    if (timeoutMs != m_Timeouts.WriteTotalTimeoutConstant)
    {
        COMMTIMEOUTS timeouts = m_bTimeoutsKnown ? m_Timeouts : DefaultTimeouts();
        timeouts.WriteTotalTimeoutConstant = timeoutMs;
        if (const HRESULT hr = SetPortTiming(timeouts); Failed(hr))
            return hr;
    }

    SetActive(m_bWriteActive, true);
    // Multiplier x bytes + constant, as the time-outs say; never 0 for a write that has bytes, or
    // a line that takes nothing could not make the write give up.
    const uint64_t budget =
        static_cast<uint64_t>(std::max<DWORD>(m_Timeouts.WriteTotalTimeoutMultiplier, 1)) * data.GetLength() +
        m_Timeouts.WriteTotalTimeoutConstant;
    size_t written = 0;
    const int error = m_Device.Write(data.GetData(), data.GetLength(),
                                     static_cast<uint32_t>(std::min<uint64_t>(budget, UINT32_MAX)), written);
    m_nBytesSent += static_cast<uint32_t>(written);
    HRESULT hr = S_OK;
    if (error == 0)
    {
        m_Trace << TRACE_LEVEL1 << u"Write Completed" << TRACE_END;
    }
    else if (error == ETIMEDOUT)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Error Write Incomplete - " << GetLastErrorText() << TRACE_END;
        ClearCommErrors();
        hr = SERIALCOMM_E_WRITE_INCOMPLETE;
    }
    else
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Error Write  - " << GetLastErrorText() << TRACE_END;
        ClearCommErrors();
        hr = SERIALCOMM_E_WRITE;
    }
    SetActive(m_bWriteActive, false);
    return hr;
}

HRESULT CSerialCommImpl::Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                              CTransferControl* cancel)
{
    platform::NoteUiThreadFault(platform::UiThreadFault::SerialIo, "serial read");
    CScopedLock lock(m_ObjectLock);
    buffer.Clear(); // the caller's block kept
    m_nLastError = 0;
    m_Trace << TRACE_LEVEL1 << u"Starting port read - Bytes: " << expectedBytes << u" Timeout(ms): "
            << totalTimeoutMs << TRACE_END;
    if (!IsOpen())
    {
        m_Trace << TRACE_LEVEL1 << u"Error Read - Port closed" << TRACE_END;
        return SERIALCOMM_E_PORT_CLOSED;
    }
    if (const HRESULT hr = EnsureConfigured(); Failed(hr))
        return hr;
    if (expectedBytes == 0)
    {
        m_Trace << TRACE_LEVEL1 << u"Empty read" << TRACE_END;
        return S_OK;
    }

    SetActive(m_bReadActive, true);
    enum class Outcome
    {
        Complete,
        TimedOut,
        Cancelled,
        Failed
    } outcome = Outcome::Failed;
    const bool ascii = m_nFramingMode == SERIAL_FRAMING_ASCII;
    const ULONG limit = std::max<ULONG>(expectedBytes, SERIAL_MAX_FRAME_BYTES);
    // The device reads straight into the kept frame block; filled counts the bytes of this read.
    std::vector<uint8_t>& frame = m_ReadFrame;
    size_t filled = 0;
    HRESULT hr = S_OK;
    const uint64_t start = platform::GetTickCount64();
    // The port's read time-out is the silence that ends a frame, and each wait is one such silence
    // at most, so that a cancel is seen in time. The read's own total is looked at only when a wait
    // has ended: a reply that starts within one such silence after the total is still this read's
    // answer. Were it left on the line, the next read would take it for the answer to its own
    // request, and a reply to a one-register read names no register that could tell them apart.
    const uint32_t silence = m_Timeouts.ReadTotalTimeoutConstant;
    const uint64_t lastFirstByte = static_cast<uint64_t>(totalTimeoutMs) + silence;
    // Once its first byte has come, a frame is read on, also past the total, for as long as the
    // longest frame this read takes (the expected count: the reply the request asks for) needs at
    // the line's rate, and one silence more. Past both, the check between bytes ends it as timed
    // out, whatever the line keeps sending: a line that never ends a frame cannot hold the read.
    const uint64_t frameMs = CharactersMs(expectedBytes, m_Dcb) + silence;
    uint64_t firstByteAt = 0;
    for (;;)
    {
        if ((cancel != nullptr && cancel->IsCancelRequested()) || m_bAbort.load() != 0)
        {
            outcome = Outcome::Cancelled;
            break;
        }
        uint32_t wait = silence;
        const uint64_t now = platform::GetTickCount64();
        if (filled == 0)
        {
            const uint64_t elapsed = now - start;
            if (elapsed >= lastFirstByte)
            {
                outcome = Outcome::TimedOut;
                break;
            }
            wait = static_cast<uint32_t>(std::min<uint64_t>(wait, lastFirstByte - elapsed));
        }
        else if (now - start > totalTimeoutMs && now - firstByteAt > frameMs)
        {
            outcome = Outcome::TimedOut;
            break;
        }
        const uint64_t waitStart = m_Trace.IsOpen() ? platform::GetTickCount64() : 0;
        // ASCII takes one byte at a time so that nothing behind the end byte is consumed; the
        // other framings never take more than the count still missing.
        const size_t want = ascii ? 1 : std::min<size_t>(expectedBytes - filled, SERIAL_MAX_FRAME_BYTES);
        if (!ReserveBytes(frame, filled + want))
        {
            m_nLastError = ENOMEM;
            hr = SERIALCOMM_E_READ;
            break;
        }
        size_t got = 0;
        if (const int error = m_Device.Read(frame.data() + filled, want, wait, got); error != 0)
        {
            m_nLastError = static_cast<uint32_t>(error);
            m_Trace << TRACE_LEVEL1 << u"Error Read  - " << GetLastErrorText() << TRACE_END;
            ClearCommErrors();
            hr = SERIALCOMM_E_READ;
            break;
        }
        if (got > 0)
        {
            if (filled == 0)
                firstByteAt = platform::GetTickCount64();
            filled += got;
            m_nBytesReceived += static_cast<uint32_t>(got);
            const bool atEnd = ascii ? frame[filled - 1] == m_nEomByte : filled >= expectedBytes;
            if (atEnd)
            {
                outcome = Outcome::Complete;
                break;
            }
            if (filled >= limit)
            {
                // An ASCII frame ends at its end byte only: a line that never sends it is not a
                // frame that has come whole.
                m_nLastError = EMSGSIZE;
                m_Trace << TRACE_LEVEL1 << u"Error Read  - frame overrun - " << GetLastErrorText()
                        << TRACE_END;
                hr = SERIALCOMM_E_READ;
                break;
            }
            continue;
        }
        if (filled == 0)
            continue;
        if (m_Trace.IsOpen())
            m_Trace << TRACE_LEVEL1
                    << CWideString(u"Inter-Character TO (ms): %d\n",
                                   static_cast<int>(platform::GetTickCount64() - waitStart))
                    << TRACE_END;
        if (m_nFramingMode == SERIAL_FRAMING_RTU)
        {
            outcome = Outcome::Complete;
            break;
        }
        // A frame that has begun is read on while its bytes keep coming, within its bound; one that
        // falls silent after the total will not end by itself.
        if (platform::GetTickCount64() - start > totalTimeoutMs)
        {
            outcome = Outcome::TimedOut;
            break;
        }
    }
    // Whatever ended the read, the caller gets what arrived, in one append.
    if (filled > 0)
    {
        if (buffer.Append(static_cast<uint32_t>(filled), frame.data()))
        {
            m_nBytesDelivered += static_cast<uint32_t>(filled);
        }
        else
        {
            m_nLastError = ENOMEM;
            hr = SERIALCOMM_E_READ;
            outcome = Outcome::Failed;
        }
    }

    const uint32_t count = buffer.GetLength();
    switch (outcome)
    {
    case Outcome::Complete:
        if (m_Trace.IsOpen())
            m_Trace << TRACE_LEVEL1
                    << CWideString(u"Read complete - Total Packet Time(ms): %d",
                                   static_cast<int>(platform::GetTickCount64() - start))
                    << u" #Bytes read: " << count << u"\n"
                    << Dump(buffer) << TRACE_END;
        hr = S_OK;
        break;
    case Outcome::TimedOut:
        if (m_Trace.IsOpen())
            m_Trace << TRACE_LEVEL1 << u"Total Timeout\n"
                    << u"#Bytes read: " << count << u"\n"
                    << Dump(buffer) << TRACE_END;
        hr = SERIALCOMM_E_READ_TIMEOUT;
        break;
    case Outcome::Cancelled:
        if (m_Trace.IsOpen())
            m_Trace << TRACE_LEVEL1 << u"Read cancelled - #Bytes read: " << count << u"\n"
                    << Dump(buffer) << TRACE_END;
        hr = SERIALCOMM_E_READ_CANCELLED;
        break;
    case Outcome::Failed:
        break;
    }
    SetActive(m_bReadActive, false);
    return hr;
}

HRESULT CSerialCommImpl::PurgeStep(int which)
{
    struct Step
    {
        const char16_t* start;
        const char16_t* failure;
        HRESULT code;
        bool drain;
        const char16_t* success;
    };
    static constexpr Step kSteps[] = {
        {u" Purging input buffer", u"Failed PurgeComm RX - ", SERIALCOMM_E_PURGE_INPUT, true,
         u"Input buffer purged successfully."},
        {u" Purging output buffer", u"Failed PurgeComm TX - ", SERIALCOMM_E_PURGE_OUTPUT, false,
         u"Output buffer purged successfully."},
        {u" Purging I/O buffers", u"Failed PurgeComm RX/TX - ", SERIALCOMM_E_PURGE, true,
         u"IO buffers purged successfully."},
    };
    const Step& step = kSteps[which];
    auto purge = [this, which]
    {
        switch (which)
        {
        case kPurgeInput:
            return m_Device.PurgeInput();
        case kPurgeOutput:
            return m_Device.PurgeOutput();
        default:
            return m_Device.Purge();
        }
    };

    CScopedLock lock(m_ObjectLock);
    m_nLastError = 0;
    if (!IsOpen())
        return SERIALCOMM_E_PORT_CLOSED;
    m_Trace << TRACE_LEVEL2 << u"Port: " << GetPortNumber() << step.start << TRACE_END;
    if (const int error = purge(); error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << step.failure << GetLastErrorText()
                << u" - attempting to clear errors and try again." << TRACE_END;
        if (Failed(ClearCommErrors()))
            return step.code;
        if (const int again = purge(); again != 0)
        {
            m_nLastError = static_cast<uint32_t>(again);
            return step.code;
        }
    }
    m_Trace << TRACE_LEVEL2 << step.success << TRACE_END;
    if (step.drain && m_bDrainOnPurge)
        DrainLocked();
    return S_OK;
}

HRESULT CSerialCommImpl::PurgeInput()
{
    return PurgeStep(kPurgeInput);
}

HRESULT CSerialCommImpl::PurgeOutput()
{
    return PurgeStep(kPurgeOutput);
}

HRESULT CSerialCommImpl::Purge()
{
    return PurgeStep(kPurgeBoth);
}

void CSerialCommImpl::DrainLocked()
{
    if (!IsOpen())
        return;
    SetActive(m_bReadActive, true);
    const USHORT port = GetPortNumber();
    if (m_Trace.IsOpen())
        m_Trace << TRACE_LEVEL1 << u"Port: " << port << u"  Attempting to drain the read buffer. -TC: "
                << TickCount32() << TRACE_END;
    // Takes what the driver holds, without waiting for more: the purge has just emptied the queue,
    // so waiting would only cost every transaction a poll period. A line that never falls silent
    // is left after the drain limit, timed from the first bytes found. These bytes are not counted.
    std::array<uint8_t, kDrainChunk> chunk;
    uint32_t total = 0;
    uint64_t start = 0;
    for (;;)
    {
        size_t got = 0;
        if (m_Device.Read(chunk.data(), chunk.size(), 0, got) != 0 || got == 0)
            break;
        const uint64_t now = platform::GetTickCount64();
        if (total == 0)
            start = now;
        total += static_cast<uint32_t>(got);
        if (now - start >= SERIAL_DRAIN_LIMIT_MS)
            break;
    }
    if (m_Trace.IsOpen())
        m_Trace << TRACE_LEVEL1 << u"Port: " << port << u" - Read buffer discarded: " << total
                << u" bytes - TC: " << TickCount32() << TRACE_END;
    SetActive(m_bReadActive, false);
}

} // namespace NVTools
