#include "platform/Sync.h"

#include <chrono>
#include <system_error>

#include "platform/UiThreadCheck.h"

namespace platform
{

namespace
{

// Sets the stop event and joins the worker, if there is one; the caller holds the thread lock.
void StopWorker(CEvent& stopEvent, std::thread& worker, std::atomic<bool>& started)
{
    if (!worker.joinable())
        return;
    stopEvent.Set();
    worker.join();
    started = false;
}

} // namespace

void CCriticalSection::LockWatched()
{
    if (!IsWatchedUiThread())
    {
        m_mutex.lock();
        return;
    }
    if (m_mutex.try_lock())
    {
        NoteUiThreadFault(UiThreadFault::WatchedLock, m_pWatchedName);
        return;
    }
    NoteUiThreadFault(UiThreadFault::ContendedLock, m_pWatchedName);
    m_mutex.lock();
}

CEvent::CEvent(Reset mode, bool initiallySet) : m_mode(mode), m_set(initiallySet) {}

void CEvent::Set()
{
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    // An auto-reset event releases one waiter; waking them all would only make the others loop back.
    if (m_mode == Reset::Auto)
        m_cv.notify_one();
    else
        m_cv.notify_all();
}

void CEvent::ResetEvent()
{
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool CEvent::IsSet() const
{
    std::lock_guard lock(m_mutex);
    return m_set;
}

bool CEvent::Wait(uint64_t timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto signalled = [this] { return m_set; };
    if (timeoutMs == kInfinite)
        m_cv.wait(lock, signalled);
    else
    {
        // Anything longer than a century is as good as no limit, and cannot overflow the clock.
        constexpr uint64_t kLongest = 100ull * 365 * 24 * 3600 * 1000;
        const auto limit = std::chrono::milliseconds(timeoutMs < kLongest ? timeoutMs : kLongest);
        if (!m_cv.wait_for(lock, limit, signalled))
            return false;
    }
    if (m_mode == Reset::Auto)
        m_set = false;
    return true;
}

CStoppableThread::~CStoppableThread()
{
    Stop();
}

bool CStoppableThread::Start(std::function<void()> run)
{
    // The running worker is stopped under the same lock that puts the new one in its place: two
    // starts at once must not both find the place empty.
    std::unique_lock lock(m_threadLock, std::try_to_lock);
    if (!lock.owns_lock())
    {
        if (m_startHook)
            m_startHook(EStartPoint::Waiting);
        lock.lock();
    }
    StopWorker(m_stopEvent, m_thread, m_bStarted);
    m_stopEvent.ResetEvent();
    if (m_startHook)
        m_startHook(EStartPoint::Placing);
    try
    {
        m_thread = std::thread(std::move(run));
    }
    catch (const std::system_error&)
    {
        return false;
    }
    m_bStarted = true;
    return true;
}

void CStoppableThread::Stop()
{
    const std::lock_guard lock(m_threadLock);
    StopWorker(m_stopEvent, m_thread, m_bStarted);
}

} // namespace platform
