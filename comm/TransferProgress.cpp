#include "comm/TransferProgress.h"

#include "foundation/ScopedLock.h"

double CTransferProgress::sSnapshot::SecondsLeft() const
{
    if (done == 0 || elapsedMs == 0 || done >= total)
        return 0.0;
    const double bytesPerSecond = static_cast<double>(done) / (static_cast<double>(elapsedMs) / 1000.0);
    return static_cast<double>(total - done) / bytesPerSecond;
}

CTransferProgress::CTransferProgress(CStopwatch::TickSource ticks) : m_Stopwatch(ticks) {}

void CTransferProgress::Start()
{
    CScopedLock lock(m_Lock);
    m_nPercent = 0;
    m_nTotal = 0;
    m_nDone = 0;
    m_nResult = S_OK;
    m_Stopwatch.Start();
}

void CTransferProgress::Stop()
{
    CScopedLock lock(m_Lock);
    m_Stopwatch.Stop();
}

void CTransferProgress::SetTotal(ULONG total)
{
    CScopedLock lock(m_Lock);
    m_nTotal = total;
}

void CTransferProgress::SetDone(ULONG done)
{
    CScopedLock lock(m_Lock);
    m_nPercent = 0;
    m_nDone = done;
    if (m_nTotal == 0)
        return;
    const double percent = static_cast<double>(done) / static_cast<double>(m_nTotal) * 100.0 + 0.5;
    m_nPercent = percent >= 100.0 ? USHORT{100} : static_cast<USHORT>(percent);
}

void CTransferProgress::SetResult(HRESULT result)
{
    CScopedLock lock(m_Lock);
    m_nResult = result;
}

CTransferProgress::sSnapshot CTransferProgress::Get() const
{
    CScopedLock lock(m_Lock);
    sSnapshot snapshot;
    snapshot.percent = m_nPercent;
    snapshot.total = m_nTotal;
    snapshot.done = m_nDone;
    snapshot.result = m_nResult;
    snapshot.elapsedMs = m_Stopwatch.GetElapsedMs();
    return snapshot;
}
