#include "app/livedata/LivePollWorker.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "foundation/ResultCodes.h"
#include "platform/Clock.h"

namespace
{

// A failure that concerns the row's sensor alone: the instrument answers for the rest.
bool IsSensorMissing(HRESULT hr)
{
    return hr == MODBUSCOMM_E_PORT_NO_SENSOR;
}

// The reading of the row's parameter in a fresh read of its sensor; null when the sensor on the
// connection no longer carries it (another sensor was plugged in).
const sParameterReading* FindRowReading(const CDynArray<sParameterReading>& readings,
                                        const sParameterReading& row)
{
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
    {
        const sParameterReading& reading = readings[i];
        if (reading.ParameterNumber == row.ParameterNumber)
            return reading.SensorId == row.SensorId && reading.ParameterId == row.ParameterId ? &reading
                                                                                              : nullptr;
    }
    return nullptr;
}

} // namespace

HRESULT ReadLiveValues(NVSystem::CDeviceComm& device, const CDynArray<sParameterReading>& rows,
                       std::vector<sLiveValue>& values, const platform::CEvent* stop)
{
    const uint32_t count = rows.GetCount();
    values.assign(count, sLiveValue{});
    std::vector<bool> done(count, false);
    for (uint32_t first = 0; first < count; ++first)
    {
        if (done[first])
            continue;
        const USHORT connection = rows[first].Connection;
        CDynArray<sParameterReading> readings;
        const HRESULT hr = device.GetSensorParameters(connection, readings, FALSE);
        if (stop != nullptr && stop->IsSet())
            return MODBUSCOMM_E_CANCELLED;
        if (Failed(hr) && !IsSensorMissing(hr))
        {
            values.clear();
            return hr;
        }
        for (uint32_t row = first; row < count; ++row)
        {
            if (done[row] || rows[row].Connection != connection)
                continue;
            done[row] = true;
            const sParameterReading* reading = Failed(hr) ? nullptr : FindRowReading(readings, rows[row]);
            if (reading == nullptr)
            {
                values[row].Status = MODBUSCOMM_E_PORT_NO_SENSOR;
                continue;
            }
            values[row].Value = reading->Value;
            values[row].Quality = reading->Quality;
        }
    }
    return S_OK;
}

sLivePollClock sLivePollClock::System()
{
    sLivePollClock clock;
    clock.NowMs = [] { return platform::GetTickCount64(); };
    clock.WaitForStop = [](platform::CEvent& stop, uint64_t ms) { return stop.Wait(ms); };
    clock.Timestamp = [](BOOL utc) -> std::optional<SYSTEMTIME>
    {
        SYSTEMTIME time;
        if (utc)
            ::GetSystemTime(time);
        else
        {
            ::GetLocalTime(time);
            time.wMilliseconds = 0;
        }
        FILETIME check;
        if (!SystemTimeToFileTime(time, check))
            return std::nullopt;
        return time;
    };
    return clock;
}

CLivePollWorker::CLivePollWorker(INotifyWindow& window, sLivePollClock clock)
    : m_window(window), m_clock(std::move(clock))
{
}

CLivePollWorker::~CLivePollWorker()
{
    Stop();
}

HRESULT CLivePollWorker::Start(NVSystem::CDeviceComm* heldDevice,
                               const CDynArray<sParameterReading>& pollList, uint64_t periodMs, BOOL utc,
                               intptr_t runTag)
{
    if (heldDevice == nullptr)
        return E_INVALIDARG;
    if (periodMs == 0 || m_bRunning.load())
    {
        heldDevice->Release();
        return periodMs == 0 ? E_INVALIDARG : E_FAIL;
    }
    const std::lock_guard threadLock(m_threadLock);
    if (m_thread.joinable())
        m_thread.join();
    m_pDevice = heldDevice;
    m_pollList = pollList;
    m_nPeriodMs = periodMs;
    m_bUtc = utc;
    m_runTag = runTag;
    {
        std::lock_guard lock(m_outboxLock);
        m_outbox.clear();
    }
    m_stop.ResetEvent();
    m_bRunning = true;
    try
    {
        m_thread = std::thread([this] { Run(); });
    }
    catch (const std::system_error&)
    {
        m_bRunning = false;
        m_pDevice = nullptr;
        heldDevice->Release();
        return E_FAIL;
    }
    return S_OK;
}

void CLivePollWorker::Stop()
{
    const std::lock_guard threadLock(m_threadLock);
    m_stop.Set();
    if (m_thread.joinable())
        m_thread.join();
}

std::optional<sLiveRound> CLivePollWorker::TakeRound(uint64_t number)
{
    std::lock_guard lock(m_outboxLock);
    const auto found = std::find_if(m_outbox.begin(), m_outbox.end(),
                                    [number](const sLiveRound& round) { return round.Number == number; });
    if (found == m_outbox.end())
        return std::nullopt;
    std::optional<sLiveRound> taken = std::move(*found);
    m_outbox.erase(found);
    return taken;
}

std::vector<sLiveRound> CLivePollWorker::TakeAllRounds()
{
    std::lock_guard lock(m_outboxLock);
    std::vector<sLiveRound> rounds(std::make_move_iterator(m_outbox.begin()),
                                   std::make_move_iterator(m_outbox.end()));
    m_outbox.clear();
    return rounds;
}

void CLivePollWorker::Run()
{
    const uint64_t start = m_clock.NowMs();
    for (uint64_t number = 1;; ++number)
    {
        sLiveRound round;
        round.Number = number;
        round.ElapsedSeconds = static_cast<double>(m_clock.NowMs() - start) / 1000.0;
        round.Timestamp = m_clock.Timestamp(m_bUtc);
        const HRESULT hr = ReadLiveValues(*m_pDevice, m_pollList, round.Values, &m_stop);
        if (hr == MODBUSCOMM_E_CANCELLED)
            break;
        round.ReadError = hr;
        Deliver(std::move(round));
        const uint64_t elapsed = m_clock.NowMs() - start;
        if (m_clock.WaitForStop(m_stop, m_nPeriodMs - elapsed % m_nPeriodMs))
            break;
    }
    m_pDevice->Release();
    m_pDevice = nullptr;
    m_bRunning = false;
}

void CLivePollWorker::Deliver(sLiveRound&& round)
{
    const uint64_t number = round.Number;
    const uint32_t message = Failed(round.ReadError) ? windowmsg::WM_READ_ERROR : windowmsg::WM_NEW_DATA;
    {
        std::lock_guard lock(m_outboxLock);
        m_outbox.push_back(std::move(round));
    }
    m_window.PostNotify(message, static_cast<uintptr_t>(number), m_runTag);
}
