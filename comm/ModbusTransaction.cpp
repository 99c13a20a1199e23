// One request/reply exchange of the master, the wake-up of sleeping devices and the line timing.
#include <algorithm>

#include "comm/LinePauses.h"
#include "comm/ModbusComm.h"
#include "comm/ModbusModes.h"
#include "comm/SerialComm.h"
#include "comm/SerialSettingsIds.h"
#include "foundation/CommTimeouts.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "platform/Clock.h"

namespace
{

constexpr USHORT kWakeUpAddress = 200;
constexpr uint64_t kWakeUpPauseMs = 250;
constexpr uint64_t kWakeUpPauseIpMs = 500;
constexpr BYTE kBusyException = 6;
constexpr ULONG kDefaultBaudRate = 19200;

bool IsReadTimeout(HRESULT hr)
{
    return hr == SERIALCOMM_E_READ_TIMEOUT || hr == TAPI_E_READ_TIMEOUT || hr == IPCOMM_E_READ_TIMEOUT;
}

ULONG SaturatingSum(uint64_t a, uint64_t b, uint64_t c)
{
    return static_cast<ULONG>(std::min<uint64_t>(a + b + c, UINT32_MAX));
}

// Ten bit times per character.
ULONG TransmitTime(ULONG byteCount, ULONG baudRate)
{
    return static_cast<ULONG>(static_cast<uint64_t>(byteCount) * 10000 / baudRate);
}

} // namespace

bool IsUnansweredResult(HRESULT hr)
{
    return IsReadTimeout(hr) || hr == MODBUSCOMM_E_EMPTY_READ || hr == SERIALCOMM_E_PORT_CLOSED ||
           hr == SERIALCOMM_E_WRITE || hr == SERIALCOMM_E_READ;
}

void CModbusComm::GetStatistics(ULONG (&counters)[MODBUS_STAT_COUNT]) const
{
    for (uint32_t i = 0; i < MODBUS_STAT_COUNT; ++i)
        counters[i] = m_nStatistics[i].load(std::memory_order_relaxed);
}

ULONG CModbusComm::GetTransmitTime(ULONG byteCount)
{
    try
    {
        CScopedLock line(m_LineLock);
        return TransmitTimeLocked(byteCount);
    }
    catch (...)
    {
        return TransmitTime(byteCount, kDefaultBaudRate);
    }
}

ULONG CModbusComm::TransmitTimeLocked(ULONG byteCount)
{
    NVTools::CSerialComm* serial = m_pTransport != nullptr ? m_pTransport->AsSerial() : nullptr;
    NVTools::CSerialCommImpl* impl = serial != nullptr && serial->IsValid() ? serial->GetImpl() : nullptr;
    // The rate the port runs with, where GetPortConfig would report it: a rate outside the table of
    // settings ids times the reply as the default does.
    ULONG baudId = 0;
    const bool known = impl != nullptr && impl->IsOpen() && FindBaudId(impl->GetCurrentBaudRate(), baudId);
    return TransmitTime(byteCount, known ? GetBaudRateOfId(baudId) : kDefaultBaudRate);
}

HRESULT CModbusComm::WakeUpNetwork()
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            if (m_pTransport == nullptr)
                return MODBUSCOMM_E_NO_CONNECTION;
            if (m_bSilenceCheck && m_nSilenceCheckPaused == 0 && m_bSilent.load())
                return m_SilentResult.load();
            // A message of its own: the line's message may hold the request being woken for.
            CModbusMessage wakeUp;
            if (const HRESULT hr = wakeUp.BuildReportSlaveId(kWakeUpAddress); Failed(hr))
                return hr;
            const uint64_t pause = m_pTransport->GetConnectionType() == NVTools::IOCONNECTION_IP
                                       ? kWakeUpPauseIpMs
                                       : kWakeUpPauseMs;
            // A sleeping device in ASCII needs two frames to wake. A failed write does not end the
            // wake-up, but a wake-up whose frames did not all go out has woken nobody for sure: the
            // next check wakes the line itself.
            const int frames = m_nMode == MODBUS_MODE_ASCII ? 2 : 1;
            CByteBuffer frame;
            const bool encoded = Succeeded(wakeUp.Encode(m_nMode, frame));
            bool allWritten = encoded;
            for (int i = 0; i < frames; ++i)
            {
                if (encoded && Failed(m_pTransport->Write(frame, 0)))
                    allWritten = false;
                m_LastFrame = platform::GetTickCount64();
                PauseLine(ELinePause::WakeUp, static_cast<ULONG>(pause));
            }
            m_LastTraffic = platform::GetTickCount64();
            m_bJustWoken = allWritten;
            return S_OK;
        });
}

bool CModbusComm::MayBeAsleep(USHORT address, uint64_t now) const
{
    return !m_LastTraffic || m_WakeUpTable.GetIdleMs(address) <= IdleMs(now);
}

HRESULT CModbusComm::WakeUpIfAsleep(USHORT address)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            if (m_pTransport == nullptr)
                return MODBUSCOMM_E_NO_CONNECTION;
            return MayBeAsleep(address, platform::GetTickCount64()) ? WakeUpNetwork() : S_FALSE;
        });
}

HRESULT CModbusComm::ExchangeAwake(USHORT address, const std::function<HRESULT()>& exchange)
{
    return Guarded(
        [&]
        {
            const bool skipped = WakeUpIfAsleep(address) == S_FALSE;
            HRESULT hr = exchange();
            if (Failed(hr) && skipped)
            {
                // The failed attempt restarted the idle clock: the wake-up is not left to it.
                WakeUpNetwork();
                hr = exchange();
            }
            return hr;
        });
}

void CModbusComm::SetLastHeard(uint64_t tick)
{
    CScopedLock line(m_LineLock);
    m_LastTraffic = tick;
    m_LastFrame = tick;
}

HRESULT CModbusComm::ExecuteTransaction(ULONG timeoutMs, USHORT retries)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            return RunTransaction(timeoutMs, retries);
        });
}

HRESULT CModbusComm::RunTransaction(ULONG timeoutMs, USHORT retries)
{
    if (m_pTransport == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    if (!m_bSilenceCheck)
        return RunExchange(timeoutMs, retries);
    if (m_nSilenceCheckPaused != 0)
    {
        // An answer still tells that the device is there; silence now tells nothing.
        const HRESULT hr = RunExchange(timeoutMs, retries);
        if (!IsUnansweredResult(hr) && hr != MODBUSCOMM_E_CANCELLED)
            m_bUnheard.store(false);
        return hr;
    }
    if (const HRESULT hr = MayTalkTo(m_pMessage->GetSlaveAddress()); Failed(hr))
        return hr;
    const HRESULT hr = RunExchange(timeoutMs, retries);
    NoteAnswer(hr);
    return hr;
}

void CModbusComm::EnableSilenceCheck(USHORT checkRegister, ULONG checkTimeoutMs)
{
    CScopedLock line(m_LineLock);
    if (!m_pCheckMessage)
        m_pCheckMessage = std::make_unique<CModbusMessage>();
    m_nCheckRegister = checkRegister;
    m_nCheckTimeoutMs = checkTimeoutMs;
    m_bSilenceCheck = true;
}

void CModbusComm::SuspendSilenceCheck()
{
    CScopedLock line(m_LineLock);
    ++m_nSilenceCheckPaused;
}

void CModbusComm::ResumeSilenceCheck()
{
    CScopedLock line(m_LineLock);
    if (m_nSilenceCheckPaused > 0)
        --m_nSilenceCheckPaused;
}

bool CModbusComm::CheckIfUnheard(USHORT address)
{
    try
    {
        CScopedLock line(m_LineLock);
        if (!m_bSilenceCheck || m_pTransport == nullptr)
            return true;
        if (m_nSilenceCheckPaused != 0)
            return !m_bSilent.load();
        ClearCancel();
        // Only a check that went unanswered tells silence: a cancelled one tells nothing.
        MayTalkTo(address);
        return !m_bSilent.load();
    }
    catch (...)
    {
        return !IsSilent();
    }
}

HRESULT CModbusComm::MayTalkTo(USHORT address)
{
    if (m_bSilent.load())
        return m_SilentResult.load();
    if (!m_bUnheard.load())
        return S_OK;
    const std::optional<HRESULT> hr = RunCheck(address);
    // A check that could not be made, or was cancelled, tells nothing either way: the line stays
    // unheard, and a cancelled one ends the transaction it preceded.
    if (!hr)
        return S_OK;
    if (*hr == MODBUSCOMM_E_CANCELLED)
        return *hr;
    if (!IsUnansweredResult(*hr))
    {
        m_bUnheard.store(false);
        return S_OK;
    }
    m_SilentResult.store(*hr);
    m_bSilent.store(true);
    return *hr;
}

void CModbusComm::NoteAnswer(HRESULT hr)
{
    // A cancelled transaction tells nothing either way; neither does a broadcast without a reply.
    if (hr == MODBUSCOMM_E_CANCELLED || (m_pMessage->IsBroadcast() && m_bReadBroadcastReplies == 0))
        return;
    m_bUnheard.store(IsUnansweredResult(hr));
}

std::optional<HRESULT> CModbusComm::RunCheck(USHORT address)
{
    // The caller's request stays built in its message while the check runs in the spare one.
    std::swap(m_pMessage, m_pCheckMessage);
    std::optional<HRESULT> hr;
    // A read goes to one device only: before a broadcast there is nothing to check.
    if (Succeeded(BuildRegisterRead(*m_pMessage, address, m_nCheckRegister, 1)))
    {
        if (IsCancelled())
            hr = MODBUSCOMM_E_CANCELLED;
        else
        {
            // The exchange before went unheard, so its tries restarted the idle clock without the
            // device hearing them: it may have gone to sleep meanwhile, and would take the check for
            // its wake-up. A line woken just now, with nothing sent since, needs no second wake-up.
            // One lost reply is not silence either.
            if (!m_bJustWoken || MayBeAsleep(address, platform::GetTickCount64()))
                WakeUpNetwork();
            hr = RunExchange(m_nCheckTimeoutMs, kSilenceCheckRetries);
        }
    }
    std::swap(m_pMessage, m_pCheckMessage);
    return hr;
}

HRESULT CModbusComm::RunExchange(ULONG timeoutMs, USHORT retries)
{
    if (m_bAutoWakeUp != 0 && MayBeAsleep(m_pMessage->GetSlaveAddress(), platform::GetTickCount64()))
        WakeUpNetwork();

    if (const HRESULT hr = m_pMessage->Encode(m_nMode); Failed(hr))
        return hr;
    const CByteBuffer& frame = m_pMessage->GetFramedRequest();
    USHORT expected = 0;
    if (const HRESULT hr = m_pMessage->GetExpectedResponseLength(m_nMode, expected); Failed(hr))
        return hr;
    const ULONG replyTimeout = SaturatingSum(timeoutMs, m_nTransmissionDelay, TransmitTimeLocked(expected));

    HRESULT result = S_OK;
    CByteBuffer& reply = m_Reply;
    uint32_t attempt = 0;
    uint32_t busyCount = 0;
    bool busy = false;
    for (;;)
    {
        // A device that keeps answering busy is asked again beyond the retries while the busy
        // count, before it is raised, is within the limit.
        if (attempt > retries && !(busy && busyCount <= m_nBusyRetryLimit))
            break;
        if (busy)
            ++busyCount;
        busy = false;

        if (IsCancelled())
        {
            result = MODBUSCOMM_E_CANCELLED;
            break;
        }
        // The whole delay, not what is left of it. It keeps a request apart from the line's last
        // frame: the pause after a wake-up frame is such a gap already, and before the line's first
        // frame there is nothing to keep apart.
        const uint32_t delay = ReadCommTunable(CommTunable::InterMsgDelayTO);
        if (m_LastFrame && platform::GetTickCount64() - *m_LastFrame < delay)
            PauseLine(ELinePause::InterMessage, delay);
        if (IsCancelled())
        {
            result = MODBUSCOMM_E_CANCELLED;
            break;
        }

        m_pTransport->Purge();
        m_bJustWoken = false;
        Count(MODBUS_STAT_REQUESTS_WRITTEN);
        if (attempt > 0)
            Count(MODBUS_STAT_RESENDS);
        if (const HRESULT hr = m_pTransport->Write(frame, 0); Failed(hr))
        {
            Count(MODBUS_STAT_WRITE_FAILURES);
            result = hr;
            ++attempt;
            continue;
        }
        m_LastTraffic = platform::GetTickCount64();
        m_LastFrame = m_LastTraffic;
        if (m_pMessage->IsBroadcast() && m_bReadBroadcastReplies == 0)
        {
            result = S_OK;
            break;
        }

        // Some transports append to what the buffer holds: an attempt judges its own bytes only.
        reply.Clear();
        const HRESULT read = m_pTransport->Read(expected, reply, replyTimeout, nullptr);
        if (Failed(read) && !IsReadTimeout(read))
        {
            Count(MODBUS_STAT_READ_FAILURES);
            result = read;
            ++attempt;
            continue;
        }
        // A Report Slave ID has a fixed length: its time-out is no reply. Any other reply is
        // judged by what arrived before the time-out.
        if (Failed(read) && m_pMessage->IsFixedLengthSlaveId())
        {
            Count(MODBUS_STAT_NO_REPLY);
            result = read;
            ++attempt;
            continue;
        }
        if (reply.GetLength() == 0)
        {
            Count(MODBUS_STAT_NO_REPLY);
            // A transport that reports success without a byte has delivered no reply either.
            result = Failed(read) ? read : MODBUSCOMM_E_EMPTY_READ;
            ++attempt;
            continue;
        }
        m_LastTraffic = platform::GetTickCount64();
        m_LastFrame = m_LastTraffic;

        if (const HRESULT hr = m_pMessage->ValidateResponse(reply); Failed(hr))
        {
            Count(MODBUS_STAT_INVALID_REPLIES);
            result = hr;
            ++attempt;
            continue;
        }
        Count(MODBUS_STAT_VALID_REPLIES);
        if (!m_pMessage->IsException())
        {
            result = S_OK;
            break;
        }
        result = m_pMessage->GetExceptionResult();
        if (result != MODBUSCOMM_E_EXCEPTION_BASE + kBusyException)
        {
            Count(MODBUS_STAT_EXCEPTIONS);
            break;
        }
        PauseLine(ELinePause::Busy, m_nBusyResponseDelay);
        Count(MODBUS_STAT_INVALID_REPLIES);
        busy = true;
        ++attempt;
    }
    return result;
}
