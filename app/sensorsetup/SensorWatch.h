// The sensor watch of the sensor setup page: a worker that looks at the probe once a period (1 s)
// and posts WM_SENSORS_CHANGED to the page when the probe's set of sensors (the connection mask,
// register 49301) or the optical sensor's cap (its status or serial number) has changed since it
// last looked; wParam is the id of the connection it looked at (CProbeConnection::GetConnectionId).
//
// It looks only while the page is active (isActive, asked on the worker thread before each look:
// the page is shown and no modal popup or wizard holds the main window), so it never interleaves
// with a popup. Each look counts the watch busy in the connection, which a disconnect waits for,
// and gives back exactly that count; the connection lock is held only to take and give back the
// count, never while the line is used. The watch ends by itself, posting nothing, when a read
// fails, the cap cannot be read or the connection is down; the keep-alive notices a lost link.
#pragma once

#include <chrono>
#include <functional>

#include "connection/ProbeConnection.h"
#include "foundation/WindowMessages.h"
#include "platform/Sync.h"
#include "platform/Types.h"

inline constexpr USHORT SENSOR_MASK_REGISTER = 49301;
inline constexpr ULONG SENSOR_WATCH_FIRST_READ_TIMEOUT_MS = 500;
inline constexpr ULONG SENSOR_WATCH_READ_TIMEOUT_MS = 750;
inline constexpr USHORT SENSOR_WATCH_READ_TRIES = 1;
inline constexpr std::chrono::milliseconds SENSOR_WATCH_PERIOD{1000};

class CSensorWatch
{
public:
    // isActive must be safe to call on the worker thread.
    CSensorWatch(CProbeConnection& connection, INotifyWindow& page, std::function<bool()> isActive,
                 std::chrono::milliseconds period = SENSOR_WATCH_PERIOD);
    // Stops the worker.
    ~CSensorWatch();
    CSensorWatch(const CSensorWatch&) = delete;
    CSensorWatch& operator=(const CSensorWatch&) = delete;

    // Starts the worker (stopping one that runs); false when the thread cannot be had.
    bool Start();
    // Sets the stop event and waits for the worker without a time limit. Safe when none runs, and
    // from two threads at once: the worker is joined exactly once, the later call waits for that.
    void Stop();
    // Started and not yet stopped (it may have ended by itself).
    bool IsStarted() const { return m_Worker.IsStarted(); }
    // The worker has ended by itself or was stopped.
    bool HasEnded() const { return m_bEnded.load(); }

private:
    struct sSnapshot
    {
        ULONG mask = 0;
        ULONG capStatus = 0;
        ULONG capSerial = 0;

        friend bool operator==(const sSnapshot&, const sSnapshot&) = default;
    };

    void Run();
    // One look at the probe while counted busy; false when the watch must end. connectionId
    // receives the id of the connection looked at.
    bool Look(ULONG timeoutMs, sSnapshot& snapshot, ULONG* connectionId = nullptr);

    CProbeConnection& m_Connection;
    INotifyWindow& m_Page;
    std::function<bool()> m_IsActive;
    std::chrono::milliseconds m_Period;
    std::atomic<bool> m_bEnded{false};
    platform::CStoppableThread m_Worker;
};
