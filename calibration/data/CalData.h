// One calibration run of one sensor: the state machine that the wizard pages drive, the worker
// that reads the sensor on a fixed period while the wizard is open, the stability of the current
// point, the commit into the sensor and the report. CCalDataConductivity, CCalDataPHORP and
// CCalDataVOX are its kinds.
//
// How a wizard uses a data object (all calls on the user-interface thread):
//   1. Construct it with the probe connection; StartReading(sensor, window) before the wizard
//      shows. From then on the worker reads every period and posts to the window:
//        WM_NEW_DATA           after every good cycle: read the latest values (the kind's getters)
//        WM_CAL_SAMPLES_READY  while sampling, from the 5th sample of the point on: Accept may be
//                              offered when GetStability() is Nominal or Full
//        WM_CAL_NEXT_POINT     after an Accept when another point follows: prompt for it, then Run()
//        WM_CAL_ACCEPTED       after the Accept of the last point: CommitCalibration()
//        WM_READ_ERROR         the worker has ended (a read failed, or the sensor left calibration
//                              mode): show the error and close; GetLastResult() may hold the code
//      A cycle that posts ACCEPTED, NEXT_POINT or SAMPLES_READY posts them before its NEW_DATA.
//   2. PrepareStabilization(), then BeginCalibration(): the sensor goes into calibration mode and
//      sampling of the first point begins (state RUN). Hold(), Run() and Accept() steer it.
//   3. CommitCalibration() computes and writes the calibration, lets the device take it over,
//      re-reads the sensor header and builds the report; GetReport() then holds the lines.
//   4. EndReading() when the wizard closes (destroying the object does it too): the worker stops,
//      the sensor leaves calibration mode and the device's measurement-cache time-out and EOS
//      setting get their old values back, whether the run was committed, cancelled or abandoned.
//      A step that fails (the line lost for a moment) does not keep the others from being tried;
//      what failed in the worker's end step is tried once more, and what the probe may still hold
//      of the run comes back as text for the user.
//
// A probe that stops answering: the line's own rule (CModbusComm's silence check) applies to the
// run's exchanges as to every other. Once an exchange has gone unanswered (a time-out, not a
// refusal), the next one of the worker or of a page is preceded by one short check of the probe.
// While the probe answers it, everything goes on as before; when it does not, nothing more goes out
// (IsProbeSilent): what the run could not give back is named, and nobody waits for the time-outs of
// every remaining step.
//
// Tests and tools may drive the worker's steps on their own thread instead: StartManual(...) in
// place of StartReading, then RunStartSteps(), RunCycle() as often as wanted and RunEndStep().
//
// Locks, outermost first: the turn of the run's exchanges (Talk), the data lock, the state lock,
// then a sample store's lock or the device's own lock. The worker holds no lock
// of this object but the turn while it talks to the device.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "calibration/data/CalProbe.h"
#include "calibration/data/CalReport.h"
#include "calibration/data/CalSampleStore.h"
#include "calibration/data/CalTypes.h"
#include "foundation/Stopwatch.h"
#include "foundation/WindowMessages.h"
#include "models/SensorInterfaces.h"
#include "platform/Sync.h"

class CCalData
{
public:
    // What tells the kinds apart in the shared worker.
    struct Kind
    {
        uint32_t sampleInterval;      // ms
        USHORT cacheTimeout;          // ms, during the run
        bool headerBeforeSettings;    // the worker's first two start steps in this order
        const char16_t* errorCaption; // of the kind's message boxes
    };

    CCalData(const CCalData&) = delete;
    CCalData& operator=(const CCalData&) = delete;
    virtual ~CCalData();

    // Switches the sensor's connection into calibration mode, prepares the first point and starts
    // sampling. E_POINTER without a sensor, E_HANDLE without a worker or after the worker ended; a
    // refused step is shown in a message box and its code returned.
    virtual HRESULT BeginCalibration() = 0;
    virtual HRESULT Hold();
    virtual HRESULT Run();
    virtual HRESULT Accept();
    // Hold, and the kind's preparation of the first point; E_FAIL when the user chose to restore the
    // sensor's defaults instead.
    virtual HRESULT PrepareStabilization() = 0;
    virtual HRESULT CommitCalibration() = 0;
    // CAL_STABILITY_NONE, _NOMINAL or _FULL.
    virtual int32_t GetStability();
    virtual HRESULT SaveOldCalibration() { return E_FAIL; }
    virtual void BuildReport() = 0;

    int32_t GetState();
    void SetState(int32_t state);
    void SetStability(int32_t level);
    HRESULT GetLastResult();
    void SetLastResult(HRESULT hr);
    // Samples of the current point start again from 0 (after a move to the next point).
    void ResetPointSampleCount();
    // The units word of a typed standard.
    void SetUnitsText(const CWideString& text) { m_unitsText = text; }
    const CWideString& GetUnitsText() const { return m_unitsText; }
    // The report of the last commit; user-interface thread only.
    const CCalReport& GetReport() const { return m_report; }

    // True from a successful start of the worker until it ended.
    bool IsWorkerRunning() const { return m_workerAlive.load(); }
    // True once the worker has ended, or failed to start; false before it has started.
    bool HasWorkerEnded() const { return m_workerEnded.load(); }

    // Stops the worker (its end step runs), tries again every restore step that failed and gives the
    // device reference back. Returns what the probe may still hold of the run, one line each under
    // a heading, for a message to the user; empty when everything was given back. Once; a later
    // call only describes.
    virtual CWideString EndReading();
    // Signals the worker and waits for it (or runs the end step of a worker driven by hand), so that
    // what the wizard sends next does not wait behind a cycle's exchanges. EndReading does it too.
    void StopWorker();
    // The line's check after an unanswered exchange found the probe silent: the run talks to it no
    // more.
    bool IsProbeSilent() const { return m_silent.load(); }
    // An exchange of the run with the probe (the worker's, or a page's), refused by the line without
    // traffic once the probe was found silent. The run's exchanges take their turns, so that one
    // never waits behind another's time-outs only to meet its own. Not under the data lock.
    HRESULT Talk(const std::function<HRESULT()>& exchange);
    // Why the worker refused the sample of a point (a reading in a unit the calibration's arithmetic
    // cannot be given); empty when it did not.
    CWideString GetRefusalText();
    // Whether the newest cycle's temperature held no measurement (its quality says so, or it is the
    // temperature's sentinel): no sample of a point is taken with such a temperature, and the
    // sampling goes on. status then holds what the sensor says in its place ("3 - Error"), or
    // nothing when the quality itself is normal (the value is the sentinel).
    bool GetTemperatureRefusal(CWideString& status);
    // The same for the newest cycle's own reading, the quantity a point calibrates (judged as the
    // temperature is, against that quantity's sentinel): no sample is taken with it either.
    bool GetReadingRefusal(CWideString& status);

    // The worker's steps (see the head of this file). RunStartSteps: FALSE when a start step failed
    // (WM_READ_ERROR posted, nothing left changed). RunCycle: FALSE on a read error (WM_READ_ERROR
    // posted); the end step must follow.
    BOOL RunStartSteps();
    BOOL RunCycle();
    void RunEndStep();

    // The period of the cycles and the clock that keeps them on their grid; before the worker starts.
    void SetSampleInterval(uint32_t ms) { m_sampleInterval = ms == 0 ? 1 : ms; }
    uint32_t GetSampleInterval() const { return m_sampleInterval; }
    void SetTickSource(CStopwatch::TickSource ticks) { m_tickSource = ticks; }
    // The device's measurement-cache time-out during the run (the kind's own by default).
    void SetRunCacheTimeout(USHORT ms) { m_runCacheTimeout = ms; }
    // The wait after a cycle: to the next whole period since the worker started, never 0.
    static uint64_t NextWaitMs(uint64_t elapsedMs, uint32_t intervalMs)
    {
        return intervalMs - elapsedMs % intervalMs;
    }

    static constexpr USHORT kCalibrationEOS = 60000;

protected:
    CCalData(ICalProbeConnection& probe, const Kind& kind);

    // The sensor and its connection number; the kinds hold the typed pointer.
    virtual NVSystem::ISensor_Temperature* CalSensor() = 0;
    virtual USHORT CalConnection() = 0;
    // The first start step: the point's sample count starts at 0 (a kind resets more of its own).
    virtual void OnWorkerStarting();
    // One cycle's reads and bookkeeping in the state read at its start; FALSE on a read error.
    virtual BOOL ReadCycle(int32_t state) = 0;

    // With threaded the worker runs on its own thread; otherwise the caller drives the steps.
    // Returns S_OK also when the thread cannot start (after a message box: BeginCalibration then
    // fails with E_HANDLE).
    HRESULT StartWorker(INotifyWindow* window, bool threaded);
    // E_POINTER / E_HANDLE checks of BeginCalibration.
    HRESULT CheckCanBegin();
    // SetSensorCalModeOn; a refusal is shown with the kind's caption and returned.
    HRESULT SwitchCalModeOn();
    // Saves the measurement-cache time-out and EOS and sets them for the run (begin), or writes the
    // saved values back. A begin that fails part-way writes back what it had changed; the write-back
    // tries both settings, whichever fails, and returns the first failure.
    HRESULT SetDeviceSettingsForCalibration(bool begin, USHORT cacheTimeoutMs);
    // The lines of what the run may have left on the probe (a kind adds its own).
    virtual void DescribeLeftovers(std::u16string& lines);
    // Once, when the run ends after the worker: a kind's own restores tried once more.
    virtual void OnReadingEnded() {}
    void PostNotify(uint32_t message);
    // The device of the run: the worker's referenced one while it runs, else the connection's.
    NVSystem::CDeviceComm* CalDevice();
    void ShowError(const char16_t* format, HRESULT hr);
    // A calibration sample of the current point was collected: from the 5th on the page may offer
    // Accept.
    void CountPointSample();
    // The worker's answer to an Accept: sampling holds, and the page hears whether a point follows.
    void FinishAccept(BOOL pointRemains);
    // After the new calibration was written: the device takes it over, the sensor header is read
    // afresh and the report is built. The first failure is returned.
    HRESULT TakeOverCalibration();
    // The value converted into the unit, which becomes the reading's unit. A unit that does not
    // convert leaves value and unit as the sensor gave them: false.
    static bool ConvertReading(float& value, USHORT& unit, USHORT target);
    // A sample of a point in a unit the arithmetic cannot use: the point is refused and the worker
    // ends (the page shows the text). Returns FALSE, for the cycle's result.
    BOOL RefuseSample(const char16_t* quantity, USHORT unit, USHORT target);
    // Judges the cycle's temperature as the sensor gave it (before any conversion: the sentinel is in
    // the sensor's unit) and keeps the verdict for the pages; true when it holds a measurement.
    bool NoteTemperature(float value, USHORT quality);
    // The same for the cycle's own reading, with its sentinel as the sensor gave it (sentinelResult
    // its getter's result: a sentinel that cannot be had leaves the quality to decide).
    bool NoteReading(float value, USHORT quality, HRESULT sentinelResult, float sentinel);

    // The same as Talk, for an exchange made under the data lock (Talk's lock comes before it).
    HRESULT TalkWithinData(const std::function<HRESULT()>& exchange);
    // Takes over the line's verdict once it found the probe silent.
    void NoteSilence();
    // Notes an exchange's result: one of the worker's own that went unanswered ends its talking.
    HRESULT Noted(HRESULT hr);
    // A cycle's read failed: its result kept for the pages; FALSE, for the cycle's result.
    BOOL ReadFailed(HRESULT hr);

    ICalProbeConnection& m_probe;
    int32_t m_state = CAL_STATE_IDLE;         // under m_stateLock
    int32_t m_stability = CAL_STABILITY_NONE; // under m_stateLock
    platform::CCriticalSection m_stateLock;
    // The kind's own members; taken before m_stateLock.
    platform::CCriticalSection m_dataLock;
    uint32_t m_pointSampleCount = 0; // under m_dataLock
    USHORT m_savedCacheTimeout = 0;  // under m_stateLock
    USHORT m_savedEOS = 0;           // under m_stateLock
    CCalReport m_report;
    HRESULT m_lastResult = S_OK; // under m_stateLock
    CWideString m_unitsText;

private:
    enum class WorkerMode
    {
        None,
        Threaded,
        Manual,
    };

    void WorkerMain();
    // The end step's writes once more, for what they left undone.
    void RetryRestores();
    void SetPending(bool& flag, bool pending);
    // A setting written for the run: pending afterwards unless the probe refused it or it was never
    // sent.
    HRESULT WriteSetting(bool& pending, const std::function<HRESULT()>& write);
    // The worker's device reference goes back unless a restore still needs the device.
    void ReleaseHeldDevice(bool evenWithRestoresPending);
    bool RestoresPending();
    // The line's short check now, where an exchange went unanswered: false when the probe is silent.
    bool CheckProbeAnswers();
    // The verdict on a reading as the pages show it.
    bool JudgeReading(float value, USHORT quality, std::optional<float> sentinel, CWideString& status);

    const Kind m_kind;
    uint32_t m_sampleInterval;
    USHORT m_runCacheTimeout;
    CStopwatch::TickSource m_tickSource = nullptr;
    std::atomic<INotifyWindow*> m_pNotifyWnd{nullptr};
    WorkerMode m_workerMode = WorkerMode::None;
    std::thread m_worker;
    platform::CEvent m_stopEvent{platform::CEvent::Reset::Manual};
    std::unique_ptr<CStopwatch> m_stopwatch;
    std::atomic<NVSystem::CDeviceComm*> m_heldDevice{nullptr};
    std::atomic<bool> m_workerAlive{false};
    std::atomic<bool> m_workerEnded{false};
    // Calibration mode was asked for and has not been switched off since.
    std::atomic<bool> m_calModeOn{false};
    // A setting written for the run (or asked to be) and not yet written back; under m_stateLock.
    bool m_cacheTimeoutPending = false;
    bool m_eosPending = false;
    CWideString m_refusal;             // under m_stateLock
    bool m_temperatureRefused = false; // under m_stateLock
    CWideString m_temperatureStatus;   // under m_stateLock
    bool m_readingRefused = false;     // under m_stateLock
    CWideString m_readingStatus;       // under m_stateLock
    // The line found the probe silent (it stays so).
    std::atomic<bool> m_silent{false};
    // An exchange of the worker's own went unanswered, and its result.
    std::atomic<bool> m_workerUnheard{false};
    std::atomic<HRESULT> m_workerUnheardResult{S_OK};
    // Held across each of the run's exchanges (a worker's cycle as one); before the data lock.
    platform::CCriticalSection m_talkLock;
    bool m_readingEnded = false;
    USHORT m_connection = 0; // the worker's, read once at its start
};
