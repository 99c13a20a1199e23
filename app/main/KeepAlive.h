// The keep-alive of a connected probe: a worker thread that wakes the line where the probe may be
// asleep and reads the device type register once a period (1 s), a read that fails without a
// wake-up once more after one, so that a probe that has gone away is noticed, and posts
// WM_CONNECTION_LOST to the main window when the link is gone: when a read fails at the transport
// (port closed, write or read failure, read time-out), when the line has found the probe silent
// (the read is then refused at once: an operation's exchange went unanswered and the short check
// after it heard nothing), and whenever it finds the connection already down. Other failures (a Modbus exception, a wrong reply) count as alive. It makes no
// transaction while it is paused (the live data page is reading, a modal popup is open over the
// main window, or the window is disabled for a factory reset) and then draws no conclusion from
// the connection being down; it posts nothing when it is stopped.
//
// The loss it posts carries the id of the connection it last talked to (wParam): the window ends
// only that connection, never one made after it (a quick reconnect, the reconnect of a factory
// reset that the keep-alive then watches as well).
//
// It counts itself busy in the connection around each transaction and lowers only the count it
// took, so a disconnect waits for a read in flight and never for the keep-alive otherwise.
#pragma once

#include <chrono>
#include <functional>

#include "connection/ProbeConnection.h"
#include "foundation/WindowMessages.h"
#include "platform/Sync.h"
#include "platform/Types.h"

inline constexpr USHORT KEEP_ALIVE_REGISTER = 49001;
inline constexpr ULONG KEEP_ALIVE_READ_TIMEOUT_MS = 500;
inline constexpr USHORT KEEP_ALIVE_READ_RETRIES = 1;
inline constexpr std::chrono::milliseconds KEEP_ALIVE_PERIOD{1000};

// The transport failures that mean the probe is gone.
bool IsLinkLostResult(HRESULT hr);

class CKeepAlive
{
public:
    // isPaused is asked from the worker thread before each read; it must be safe there.
    CKeepAlive(CProbeConnection& connection, INotifyWindow& window, std::function<bool()> isPaused,
               std::chrono::milliseconds period = KEEP_ALIVE_PERIOD);
    // Stops the worker.
    ~CKeepAlive();
    CKeepAlive(const CKeepAlive&) = delete;
    CKeepAlive& operator=(const CKeepAlive&) = delete;

    // Starts the worker (stopping one that runs); false when the thread cannot be had.
    bool Start();
    // Sets the stop event and waits for the worker without a time limit. Safe when none runs, and
    // from two threads at once: the worker is joined exactly once, the later call waits for that.
    void Stop();
    bool IsStarted() const { return m_Worker.IsStarted(); }

private:
    void Run();
    // One keep-alive read; false when the link is gone (the loss already posted).
    bool Probe();
    void PostLost();

    CProbeConnection& m_Connection;
    INotifyWindow& m_Window;
    std::function<bool()> m_IsPaused;
    std::chrono::milliseconds m_Period;
    // The connection last talked to (worker thread only).
    ULONG m_nWatchedId = 0;
    platform::CStoppableThread m_Worker;
};
