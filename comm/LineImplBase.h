// What the implementations of the serial, modem and TCP/IP lines share besides their I/O: the
// object lock, the trace under the implementation's module name, and the byte counts.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/TraceLog.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVTools
{

class CLineImplBase
{
public:
    CLineImplBase(const CLineImplBase&) = delete;
    CLineImplBase& operator=(const CLineImplBase&) = delete;

    // Under the object lock: a trace is never attached or closed in the middle of an operation
    // that holds it.
    HRESULT AttachTraceLog(ULONG fileId);
    HRESULT DetachTraceLog();
    HRESULT OpenTraceLog(const char16_t* path, ULONG* fileId);
    bool IsTraceLogOpen() const;

    // Without the object lock: the counts are atomic.
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered);
    HRESULT ResetStatistics();

protected:
    // moduleName must outlive the object (a literal); the trace keeps lines up to level 3.
    explicit CLineImplBase(const char16_t* moduleName);
    ~CLineImplBase() = default;

    std::atomic<uint32_t> m_nBytesSent{0};
    std::atomic<uint32_t> m_nBytesReceived{0};  // from the line
    std::atomic<uint32_t> m_nBytesDelivered{0}; // to the readers
    CTraceLog m_Trace;
    mutable platform::CCriticalSection m_ObjectLock;

private:
    const char16_t* const m_pModuleName;
};

} // namespace NVTools
