#include "app/sensorsetup/SensorWatch.h"

#include "app/sensorsetup/VoxCapStatus.h"

CSensorWatch::CSensorWatch(CProbeConnection& connection, INotifyWindow& page, std::function<bool()> isActive,
                           std::chrono::milliseconds period)
    : m_Connection(connection), m_Page(page), m_IsActive(std::move(isActive)), m_Period(period)
{
}

CSensorWatch::~CSensorWatch()
{
    Stop();
}

bool CSensorWatch::Start()
{
    Stop();
    m_bEnded = false;
    if (m_Worker.Start([this] { Run(); }))
        return true;
    m_bEnded = true;
    return false;
}

void CSensorWatch::Stop()
{
    m_Worker.Stop();
}

bool CSensorWatch::Look(ULONG timeoutMs, sSnapshot& snapshot, ULONG* connectionId)
{
    // Counted busy also for the first look: a disconnect on the user-interface thread must not
    // take the line away while it is read.
    if (!m_Connection.AddBusy(connectionId))
        return false;
    bool ok = false;
    if (CModbusComm* network = m_Connection.GetModbus())
    {
        const USHORT address = m_Connection.m_nAddress.load();
        // Woken only when it may be asleep; a read that fails without a wake-up is tried again after
        // one before the watch gives up.
        ok = Succeeded(network->ExchangeAwake(address,
                                              [&]
                                              {
                                                  return network->ReadULong(address, SENSOR_MASK_REGISTER,
                                                                            snapshot.mask, timeoutMs,
                                                                            SENSOR_WATCH_READ_TRIES);
                                              }));
        if (ok)
        {
            snapshot.capStatus = GetVoxCapStatus(snapshot.capSerial, m_Connection);
            ok = snapshot.capStatus != VOX_CAP_READ_ERROR;
        }
    }
    m_Connection.ReleaseBusy();
    return ok;
}

void CSensorWatch::Run()
{
    sSnapshot seen;
    if (Look(SENSOR_WATCH_FIRST_READ_TIMEOUT_MS, seen))
    {
        for (;;)
        {
            if (m_IsActive && m_IsActive())
            {
                sSnapshot now;
                ULONG connectionId = 0;
                if (!Look(SENSOR_WATCH_READ_TIMEOUT_MS, now, &connectionId))
                    break;
                if (!(now == seen))
                {
                    m_Page.PostNotify(windowmsg::WM_SENSORS_CHANGED, connectionId);
                    seen = now;
                }
            }
            if (m_Worker.StopEvent().Wait(static_cast<uint64_t>(m_Period.count())))
                break;
            if (!m_Connection.IsConnected())
                break;
        }
    }
    m_bEnded = true;
}
