#include "foundation/TransferControl.h"

#include <mutex>

CTransferControl::~CTransferControl()
{
    std::lock_guard lock(m_ProgressLock);
    for (uint32_t& word : m_Progress)
        word = 0;
}

void CTransferControl::RequestCancel()
{
    std::lock_guard lock(m_ProgressLock);
    m_Progress[kCancelWord] = 1;
}

BOOL CTransferControl::IsCancelRequested() const
{
    std::lock_guard lock(m_ProgressLock);
    return m_Progress[kCancelWord] != 0 ? TRUE : FALSE;
}

void CTransferControl::Reset()
{
    {
        std::lock_guard lock(m_ProgressLock);
        for (uint32_t& word : m_Progress)
            word = 0;
    }
    m_Stopwatch.Stop();
}
