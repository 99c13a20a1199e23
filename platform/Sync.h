// Locks and events. Windows critical sections are re-entrant and the code relies on it, so the
// critical section is a recursive mutex.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform
{

class CCriticalSection
{
public:
    CCriticalSection() = default;
    // A lock that the watch on the user-interface thread looks at (platform/UiThreadCheck.h), under
    // this name: one that a worker may hold across a slow read.
    explicit CCriticalSection(const char* watchedName) : m_pWatchedName(watchedName) {}
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock()
    {
        if (m_pWatchedName != nullptr)
            LockWatched();
        else
            m_mutex.lock();
    }
    bool TryLock() { return m_mutex.try_lock(); }
    void Unlock() { m_mutex.unlock(); }
    // For std::lock_guard / std::unique_lock.
    void lock() { Lock(); }
    bool try_lock() { return m_mutex.try_lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    void LockWatched();

    std::recursive_mutex m_mutex;
    const char* const m_pWatchedName = nullptr;
};

// A Windows-style event: manual reset (stays signalled until Reset) or auto reset (one waiter
// consumes the signal).
class CEvent
{
public:
    enum class Reset
    {
        Manual,
        Auto
    };
    explicit CEvent(Reset mode = Reset::Auto, bool initiallySet = false);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void ResetEvent();
    bool IsSet() const;
    // Waits up to timeoutMs (kInfinite for no limit); true when signalled.
    bool Wait(uint64_t timeoutMs = kInfinite);

    static constexpr uint64_t kInfinite = UINT64_MAX;

private:
    const Reset m_mode;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set;
};

// A worker thread with the manual-reset event that asks it to stop, for the workers of the windows.
// Start and Stop may be called from any thread: a stop asked twice, or from two threads at once,
// joins the worker exactly once, and the later call returns once that join is done.
class CStoppableThread
{
public:
    CStoppableThread() = default;
    // Stops the worker.
    ~CStoppableThread();
    CStoppableThread(const CStoppableThread&) = delete;
    CStoppableThread& operator=(const CStoppableThread&) = delete;

    // Stops a worker that runs, then runs `run` on a new one; false when no thread can be had.
    bool Start(std::function<void()> run);
    // Sets the stop event and waits for the worker without a time limit. Safe when none runs.
    void Stop();
    // Started and not yet stopped (the worker may have ended by itself). Any thread.
    bool IsStarted() const { return m_bStarted.load(); }
    // What the worker waits on between its rounds: set when it is to end.
    CEvent& StopEvent() { return m_stopEvent; }

    // Tests only, set before the first Start: called by a Start where it stands. Waiting: another
    // Start or Stop holds the thread object and this one is about to wait for it. Placing: the
    // running worker is stopped and the new one is about to take its place, under the lock.
    enum class EStartPoint
    {
        Waiting,
        Placing,
    };
    void SetStartHookForTests(std::function<void(EStartPoint)> hook) { m_startHook = std::move(hook); }

private:
    CEvent m_stopEvent{CEvent::Reset::Manual};
    std::mutex m_threadLock; // held by Start and Stop around the thread object
    std::thread m_thread;
    std::atomic<bool> m_bStarted{false};
    std::function<void(EStartPoint)> m_startHook;
};

} // namespace platform
