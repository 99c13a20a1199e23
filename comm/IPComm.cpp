#include "comm/IPComm.h"

namespace NVTools
{

CIPComm::CIPComm(const CIPComm& other) : CTransportHandle(Share(other))
{
    if (m_pImpl == nullptr)
        m_pImpl = CIPCommImpl::Create();
}

void CIPComm::Reset()
{
    Release();
    m_pImpl = CIPCommImpl::Create();
}

HRESULT CIPComm::Open(const char16_t* address, USHORT port)
{
    if (!IsValid())
        Reset();
    return IsValid() ? m_pImpl->Open(address, port) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::PurgeInput()
{
    return Purge();
}

HRESULT CIPComm::PurgeOutput()
{
    return IsValid() ? S_OK : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::AttachTraceLog(ULONG fileId)
{
    if (!IsValid())
        Reset();
    return CTransportHandle::AttachTraceLog(fileId);
}

} // namespace NVTools
