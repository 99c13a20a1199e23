// Holds a critical section for the lifetime of a scope. A null lock is allowed and does nothing.
#pragma once

#include "platform/Sync.h"

class CScopedLock
{
public:
    explicit CScopedLock(platform::CCriticalSection* lock) : m_pLock(lock)
    {
        if (m_pLock != nullptr)
            m_pLock->Lock();
    }
    explicit CScopedLock(platform::CCriticalSection& lock) : CScopedLock(&lock) {}
    ~CScopedLock()
    {
        if (m_pLock != nullptr)
            m_pLock->Unlock();
    }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    platform::CCriticalSection* m_pLock;
};
