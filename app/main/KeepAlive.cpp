#include "app/main/KeepAlive.h"

#include "foundation/ResultCodes.h"

bool IsLinkLostResult(HRESULT hr)
{
    return hr == SERIALCOMM_E_PORT_CLOSED || hr == SERIALCOMM_E_WRITE || hr == SERIALCOMM_E_READ ||
           hr == SERIALCOMM_E_READ_TIMEOUT;
}

CKeepAlive::CKeepAlive(CProbeConnection& connection, INotifyWindow& window, std::function<bool()> isPaused,
                       std::chrono::milliseconds period)
    : m_Connection(connection), m_Window(window), m_IsPaused(std::move(isPaused)), m_Period(period)
{
}

CKeepAlive::~CKeepAlive()
{
    Stop();
}

bool CKeepAlive::Start()
{
    return m_Worker.Start([this] { Run(); });
}

void CKeepAlive::Stop()
{
    m_Worker.Stop();
}

void CKeepAlive::PostLost()
{
    m_Window.PostNotify(windowmsg::WM_CONNECTION_LOST, m_nWatchedId);
}

bool CKeepAlive::Probe()
{
    // Counted busy only while connected: a link already torn down is never touched, and the count
    // lowered afterwards is the one taken here.
    if (!m_Connection.AddBusy(&m_nWatchedId))
    {
        PostLost();
        return false;
    }
    HRESULT hr = E_FAIL;
    if (CModbusComm* network = m_Connection.GetModbus())
    {
        const USHORT address = m_Connection.m_nAddress.load();
        // A probe heard within its wake-up time (the EOS it holds) is awake: it is not woken again
        // every second. A read that fails without a wake-up is tried again after one before it
        // counts as a loss.
        hr = network->ExchangeAwake(address,
                                    [&]
                                    {
                                        USHORT deviceType = 0;
                                        return network->ReadUShort(address, KEEP_ALIVE_REGISTER, deviceType,
                                                                   KEEP_ALIVE_READ_TIMEOUT_MS,
                                                                   KEEP_ALIVE_READ_RETRIES);
                                    });
    }
    m_Connection.ReleaseBusy();
    // A probe that an operation found silent is refused at once, without traffic.
    if (IsLinkLostResult(hr) || m_Connection.IsMarkedSilent())
    {
        PostLost();
        return false;
    }
    return true;
}

void CKeepAlive::Run()
{
    m_nWatchedId = m_Connection.GetConnectionId();
    if (m_nWatchedId == 0)
    {
        PostLost();
        return;
    }
    for (;;)
    {
        // While paused the connection belongs to whoever paused it (a popup may reconnect it):
        // a link seen down then is not a lost one.
        const bool paused = m_IsPaused && m_IsPaused();
        if (!paused && !Probe())
            return;
        if (m_Worker.StopEvent().Wait(static_cast<uint64_t>(m_Period.count())))
            return;
        if (!paused && !m_Connection.IsConnected())
        {
            PostLost();
            return;
        }
    }
}
