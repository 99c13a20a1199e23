// A device's control of its file transfers: a stopwatch and the progress words, the third of
// which is the cancel request that a running transfer polls.
#pragma once

#include <cstdint>

#include "foundation/Stopwatch.h"
#include "platform/Sync.h"
#include "platform/Types.h"

class CTransferControl
{
public:
    CTransferControl() = default;
    ~CTransferControl();
    CTransferControl(const CTransferControl&) = delete;
    CTransferControl& operator=(const CTransferControl&) = delete;

    void RequestCancel();
    BOOL IsCancelRequested() const;
    // Progress words 0 (a cancel left from before is cleared) and the stopwatch stopped.
    void Reset();

    CStopwatch& GetStopwatch() { return m_Stopwatch; }

private:
    static constexpr int kCancelWord = 2;

    CStopwatch m_Stopwatch;
    uint32_t m_Progress[5] = {};
    mutable platform::CCriticalSection m_ProgressLock;
};
