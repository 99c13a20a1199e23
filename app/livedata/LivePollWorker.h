// The polling thread of the live data page. It reads the rows of a poll list from the device on a
// fixed grid of the log rate and hands each round to its window: the round's values wait in the
// worker's outbox under the round's number, and the window is told by WM_NEW_DATA (or WM_READ_ERROR
// when the round failed) with wParam the round number and lParam the run tag it was started with.
// The window takes the round by number, so a line it writes never mixes two rounds, however late it
// handles a message, and a message of an earlier run is told apart by its tag. The outbox has no
// bound: every round waits there until the window takes it, and what the window has not taken
// when the run ends it takes with TakeAllRounds, so that no round of a run is lost.
//
// The first round starts at once; round k starts at the first grid point k x period (from the
// start) that has not passed when round k-1 ends, so an overrunning round skips grid points and
// never shifts the grid. Elapsed time and the grid come from the 64-bit steady clock.
//
// A round reads each sensor connection of the list once (one request list for all of the sensor's
// parameter blocks) through the device reference the worker holds for its whole run, never through
// the connection's current device, which a disconnect clears. A sensor that is unplugged
// (MODBUSCOMM_E_PORT_NO_SENSOR), or no longer carries a row's parameter, fails only its rows; the
// run goes on. Any other failure ends the round as a read error; the worker keeps its grid until it
// is stopped. The stop request is tested after every read and during the wait; a round cut short by
// it is not posted.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "device/DeviceComm.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/SystemTime.h"
#include "foundation/WindowMessages.h"
#include "platform/Sync.h"
#include "platform/Types.h"

// One row's value of a round.
struct sLiveValue
{
    float Value = 0.0f;
    USHORT Quality = 0;    // the quality word
    HRESULT Status = S_OK; // the row's failure: its sensor is not there
};

struct sLiveRound
{
    uint64_t Number = 0;         // 1 for the first round of a run
    double ElapsedSeconds = 0.0; // from the start of the run to the start of the round
    // UTC with milliseconds, or the local wall-clock time in whole seconds; none when the clock
    // could not give a valid calendar time.
    std::optional<SYSTEMTIME> Timestamp;
    HRESULT ReadError = S_OK;       // the failure that ended the round; its values are then empty
    std::vector<sLiveValue> Values; // one per row of the poll list, in row order
};

// One fresh read of the rows' values: each sensor connection of the rows is read once, in the
// order the connections first appear. A row whose sensor is unplugged or no longer carries its
// parameter gets MODBUSCOMM_E_PORT_NO_SENSOR as its status. Any other failure ends the read and is
// returned, the values then empty; MODBUSCOMM_E_CANCELLED when the stop event was found set after a
// read. values holds one entry per row.
HRESULT ReadLiveValues(NVSystem::CDeviceComm& device, const CDynArray<sParameterReading>& rows,
                       std::vector<sLiveValue>& values, const platform::CEvent* stop = nullptr);

// Where the worker takes its time from; the defaults are the steady clock, the stop event's own
// timed wait and the system clock. Tests give their own so that nothing has to wait.
struct sLivePollClock
{
    std::function<uint64_t()> NowMs;
    // Waits for the stop event at most ms; true when it is set.
    std::function<bool(platform::CEvent& stop, uint64_t ms)> WaitForStop;
    // UTC when utc, else local time truncated to the second; none when it cannot be had.
    std::function<std::optional<SYSTEMTIME>(BOOL utc)> Timestamp;

    static sLivePollClock System();
};

class CLivePollWorker
{
public:
    explicit CLivePollWorker(INotifyWindow& window, sLivePollClock clock = sLivePollClock::System());
    // Stops and joins the thread.
    ~CLivePollWorker();
    CLivePollWorker(const CLivePollWorker&) = delete;
    CLivePollWorker& operator=(const CLivePollWorker&) = delete;

    // Starts a run over a copy of the poll list. The worker takes over one reference on the device
    // that the caller acquired (and releases it when the run ends, also when the start fails).
    // E_FAIL when a run is active or the thread cannot be created; E_INVALIDARG without a device or
    // with a period of 0.
    HRESULT Start(NVSystem::CDeviceComm* heldDevice, const CDynArray<sParameterReading>& pollList,
                  uint64_t periodMs, BOOL utc, intptr_t runTag);
    // Asks the thread to end and waits for it without a time limit. Safe when none runs, and from
    // two threads at once: the thread is joined exactly once, the later call waits for that.
    void Stop();
    // The thread is running (it ends only when stopped). Any thread.
    bool IsRunning() const { return m_bRunning.load(); }

    // The round with that number, taken out of the outbox; the rounds before it stay for their own
    // messages, which need not come in the order they were posted (a wait posts the messages it
    // held again behind those posted meanwhile). None when the round is not (or no longer) there.
    // User-interface thread.
    std::optional<sLiveRound> TakeRound(uint64_t number);
    // Every round still in the outbox, oldest first, taken out of it: after Stop, what the run
    // delivered and the window has not taken. User-interface thread.
    std::vector<sLiveRound> TakeAllRounds();

private:
    void Run();
    void Deliver(sLiveRound&& round);

    INotifyWindow& m_window;
    const sLivePollClock m_clock;
    platform::CEvent m_stop{platform::CEvent::Reset::Manual};
    std::mutex m_threadLock; // held by Start and Stop around the thread object
    std::thread m_thread;
    std::atomic<bool> m_bRunning{false};

    // Set before the thread starts, read only by it.
    NVSystem::CDeviceComm* m_pDevice = nullptr;
    CDynArray<sParameterReading> m_pollList;
    uint64_t m_nPeriodMs = 0;
    BOOL m_bUtc = TRUE;
    intptr_t m_runTag = 0;

    std::mutex m_outboxLock; // leaf lock
    std::deque<sLiveRound> m_outbox;
};
