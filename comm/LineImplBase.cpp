#include "comm/LineImplBase.h"

#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

namespace NVTools
{

namespace
{

constexpr uint32_t kTraceMaxLevel = 3;

} // namespace

CLineImplBase::CLineImplBase(const char16_t* moduleName) : m_pModuleName(moduleName)
{
    m_Trace.SetMaxLevel(kTraceMaxLevel);
}

HRESULT CLineImplBase::AttachTraceLog(ULONG fileId)
{
    CScopedLock lock(m_ObjectLock);
    return m_Trace.AttachFile(fileId, m_pModuleName);
}

HRESULT CLineImplBase::DetachTraceLog()
{
    CScopedLock lock(m_ObjectLock);
    m_Trace.Close();
    return S_OK;
}

HRESULT CLineImplBase::OpenTraceLog(const char16_t* path, ULONG* fileId)
{
    CScopedLock lock(m_ObjectLock);
    return m_Trace.OpenFile(path, m_pModuleName, fileId);
}

bool CLineImplBase::IsTraceLogOpen() const
{
    return m_Trace.IsOpen() != FALSE;
}

HRESULT CLineImplBase::GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered)
{
    if (sent != nullptr)
        *sent = m_nBytesSent.load();
    if (received != nullptr)
        *received = m_nBytesReceived.load();
    if (delivered != nullptr)
        *delivered = m_nBytesDelivered.load();
    return S_OK;
}

HRESULT CLineImplBase::ResetStatistics()
{
    m_nBytesSent = 0;
    m_nBytesReceived = 0;
    m_nBytesDelivered = 0;
    return S_OK;
}

} // namespace NVTools
