#include "comm/IPComm.h"

namespace NVTools
{

CIPComm::CIPComm() : m_pImpl(CIPCommImpl::Create()) {}

CIPComm::CIPComm(CIPCommImpl* impl) : m_pImpl(impl) {}

CIPComm::CIPComm(const CIPComm& other)
{
    if (other.IsValid() && other.m_pImpl->AddRef() != 0)
        m_pImpl = other.m_pImpl;
    else
        m_pImpl = CIPCommImpl::Create();
}

CIPComm::~CIPComm()
{
    Release();
}

void CIPComm::Release()
{
    if (m_pImpl != nullptr)
    {
        if (m_pImpl->IsTagged())
            m_pImpl->Release();
        m_pImpl = nullptr;
    }
}

void CIPComm::Reset()
{
    Release();
    m_pImpl = CIPCommImpl::Create();
}

bool CIPComm::IsValid() const
{
    return m_pImpl != nullptr && m_pImpl->IsTagged();
}

HRESULT CIPComm::Open(const char16_t* address, USHORT port)
{
    if (!IsValid())
        Reset();
    return IsValid() ? m_pImpl->Open(address, port) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::Close()
{
    return IsValid() ? m_pImpl->Close() : IPCOMM_E_OBJECT_INVALID;
}

bool CIPComm::IsOpen() const
{
    return IsValid() && m_pImpl->IsOpen();
}

ULONG CIPComm::GetRefCount() const
{
    return IsValid() ? m_pImpl->GetRefCount() : 0;
}

HRESULT CIPComm::Write(const CByteBuffer& data, ULONG timeoutMs)
{
    return IsValid() ? m_pImpl->Write(data, timeoutMs) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                      CTransferControl* cancel)
{
    return IsValid() ? m_pImpl->Read(expectedBytes, buffer, totalTimeoutMs, cancel) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::PurgeInput()
{
    return IsValid() ? m_pImpl->Purge() : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::PurgeOutput()
{
    // Nothing waits to be sent: a write hands its bytes to the socket at once.
    return IsValid() ? S_OK : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::Purge()
{
    return IsValid() ? m_pImpl->Purge() : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::AttachTraceLog(ULONG fileId)
{
    if (!IsValid())
        Reset();
    return IsValid() ? m_pImpl->AttachTraceLog(fileId) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::DetachTraceLog()
{
    return IsValid() ? m_pImpl->DetachTraceLog() : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::OpenTraceLog(const char16_t* path, ULONG* fileId)
{
    return IsValid() ? m_pImpl->OpenTraceLog(path, fileId) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::CloseTraceLog()
{
    return DetachTraceLog();
}

bool CIPComm::IsTraceLogOpen() const
{
    return IsValid() && m_pImpl->IsTraceLogOpen();
}

ULONG CIPComm::GetLastErrorCode() const
{
    return IsValid() ? m_pImpl->GetLastErrorCode() : 0;
}

CWideString CIPComm::GetLastErrorText() const
{
    return IsValid() ? m_pImpl->GetLastErrorText() : CWideString();
}

HRESULT CIPComm::GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered)
{
    return IsValid() ? m_pImpl->GetStatistics(sent, received, delivered) : IPCOMM_E_OBJECT_INVALID;
}

HRESULT CIPComm::ResetStatistics()
{
    return IsValid() ? m_pImpl->ResetStatistics() : IPCOMM_E_OBJECT_INVALID;
}

CWideString CIPComm::GetName() const
{
    return IsValid() ? m_pImpl->GetName() : CWideString();
}

} // namespace NVTools
