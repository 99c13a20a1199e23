// Zeroing the pressure/depth sensor of a probe: the work behind the pressure calibration dialog.
//
// Begin puts the sensor into calibration mode with the device's measurement cache switched off
// (its time-out saved and set to 0), so that every reading comes from the sensor and is the raw
// one; a worker then reads the pressure on a grid of one period (2 s) from its start, whatever each
// read takes (the clock can be given), and posts WM_NEW_DATA after each reading or WM_READ_ERROR when a read
// fails. Each reading says whether it may become the zero: one whose quality says it holds no
// measurement (error, sensor missing or disabled) or that is the parameter's sentinel may not; one
// taken while the sensor warms up or calibrates may. Finish either writes the reading shown as the
// sensor's pressure offset and has the sensor take it (refusing a reading that may not be the zero),
// or restores the sensor's calibration defaults. Every way out (Finish, Cancel, or the object going without
// either) stops the worker, switches calibration mode off and gives the cache its time-out back, once:
// each is tried whether or not the other could be, what failed is tried once more, and what the probe
// may still hold after that comes back as text for the user.
//
// The object holds a reference on the device for its life. Everything but the worker runs on the
// user-interface thread.
#pragma once

#include <chrono>
#include <mutex>
#include <thread>

#include "app/livedata/LivePollWorker.h"
#include "app/sensorsetup/SensorSettings.h"
#include "connection/ProbeConnection.h"
#include "foundation/WindowMessages.h"
#include "platform/Sync.h"
#include "platform/Types.h"

inline constexpr std::chrono::milliseconds PRESSURE_READING_PERIOD{2000};

struct sPressureReading
{
    float value = 0.0f;
    USHORT quality = 0;
    // A measurement that may become the sensor's zero.
    bool usable = false;
};

class CPressureCalibration
{
public:
    CPressureCalibration(CProbeConnection& connection, NVSystem::ISensor_PressureDepth* sensor,
                         USHORT sensorConnection, INotifyWindow& window,
                         std::chrono::milliseconds period = PRESSURE_READING_PERIOD,
                         sLivePollClock clock = sLivePollClock::System());
    // The way out of Cancel, when neither Finish nor Cancel ran.
    ~CPressureCalibration();
    CPressureCalibration(const CPressureCalibration&) = delete;
    CPressureCalibration& operator=(const CPressureCalibration&) = delete;

    // The sensor header read again, the pressure unit, the cache switched off, calibration mode on;
    // the first failure stops it ("Failed to update sensor cache", "Failed to get pressure units",
    // "Failed to disable measurement cache", "Failed to start calibration").
    sSettingsFailure Begin(USHORT& pressureUnitId);
    // Starts the reading worker; false without a sensor or when the thread cannot be had.
    bool StartReading();
    // Sets the stop event and waits for the worker without a time limit. Safe when none runs.
    void StopReading();
    // The last reading of the worker (0 and not usable before the first).
    sPressureReading GetLastReading() const;

    struct sFinishFailures
    {
        sSettingsFailure calibration; // "Failed to commit new calibration" / "Failed to restore ..."
        sSettingsFailure header;      // "Failed to update sensor cache"
        CWideString leftovers;        // what the way out could not give back; empty when nothing
    };
    // OK: with restoreFactory the sensor's calibration defaults come back, otherwise zero becomes the
    // sensor's pressure offset and the sensor takes it (a zero that is not usable is refused with
    // nothing written); then the way out, then the sensor header is read again.
    sFinishFailures Finish(BOOL restoreFactory, const sPressureReading& zero);
    // Cancel, and a read error: the way out, nothing written. Returns what the probe may still hold
    // (empty when everything came back).
    CWideString Cancel();

    // The measurement-cache time-out that Begin found (0 when none was saved).
    USHORT GetSavedCacheTimeout() const { return m_nSavedCacheTimeout; }

private:
    void Run();
    // Stops the worker, switches calibration mode off and gives back the cache time-out, trying once
    // more what failed; once. Returns what could not be given back.
    CWideString Leave();
    // Each restore still owed, once; a failure leaves it owed.
    void TryRestores();
    HRESULT SwitchCalModeOff();

    const DeviceRef m_pDevice; // null while disconnected
    NVSystem::ISensor_PressureDepth* m_pSensor;
    USHORT m_nConnection;
    INotifyWindow& m_Window;
    uint64_t m_nPeriodMs;
    const sLivePollClock m_Clock;
    USHORT m_nSavedCacheTimeout = 0;
    USHORT m_nPressureParameter = 0; // its number in the sensor, found by Begin; 0 unknown
    // Calibration mode was asked for (a command that went unanswered may have been carried out) and has
    // not been switched off since.
    bool m_bCalModePending = false;
    // The cache time-out was switched off and has not been given back.
    bool m_bCachePending = false;
    bool m_bLeft = false;
    CWideString m_Leftovers;          // what the way out could not give back
    mutable std::mutex m_ReadingLock; // leaf lock
    sPressureReading m_Reading;       // under m_ReadingLock
    platform::CEvent m_StopEvent{platform::CEvent::Reset::Manual};
    std::thread m_thread;
};
