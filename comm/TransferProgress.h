// Progress of the running or last file transfer of a device: the transfer's own stopwatch, the
// percent done, the byte counts and the result. The transfer writes it step by step; the user
// interface polls it from another thread. Every word is written and read under the record's lock.
#pragma once

#include <cstdint>

#include "foundation/Stopwatch.h"
#include "platform/Sync.h"
#include "platform/Types.h"

class CTransferProgress
{
public:
    // What a poll sees, taken in one go under the lock.
    struct sSnapshot
    {
        USHORT percent = 0;
        ULONG total = 0;
        ULONG done = 0;
        HRESULT result = S_OK;
        uint64_t elapsedMs = 0; // since the start; to the stop once the transfer is over
        // Seconds until total at the rate so far; 0 while nothing is done yet or no time has passed
        // (there is no rate to go by then).
        double SecondsLeft() const;
    };

    // The platform's tick clock unless a source is given.
    explicit CTransferProgress(CStopwatch::TickSource ticks = nullptr);
    CTransferProgress(const CTransferProgress&) = delete;
    CTransferProgress& operator=(const CTransferProgress&) = delete;

    // Zeroes the four words and starts the stopwatch.
    void Start();
    // Stops the stopwatch: the transfer is over and its elapsed time stays what it was.
    void Stop();
    void SetTotal(ULONG total);
    // Bytes done, and the percent of the total rounded to the nearest whole (0 while the total is 0).
    void SetDone(ULONG done);
    void SetResult(HRESULT result);

    sSnapshot Get() const;

private:
    CStopwatch m_Stopwatch;
    USHORT m_nPercent = 0;
    ULONG m_nTotal = 0;
    ULONG m_nDone = 0;
    HRESULT m_nResult = S_OK;
    mutable platform::CCriticalSection m_Lock;
};
