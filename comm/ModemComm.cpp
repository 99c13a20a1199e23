#include "comm/ModemComm.h"

namespace NVTools
{

CModemComm::CModemComm() : m_pImpl(CModemCommImpl::Create()) {}

CModemComm::CModemComm(CModemCommImpl* impl) : m_pImpl(impl) {}

CModemComm::CModemComm(const CModemComm& other)
{
    if (other.IsValid() && other.m_pImpl->AddRef() != 0)
        m_pImpl = other.m_pImpl;
    else
        m_pImpl = CModemCommImpl::Create();
}

CModemComm::~CModemComm()
{
    Release();
}

void CModemComm::Release()
{
    if (m_pImpl != nullptr)
    {
        if (m_pImpl->IsTagged())
            m_pImpl->Release();
        m_pImpl = nullptr;
    }
}

void CModemComm::Reset()
{
    Release();
    m_pImpl = CModemCommImpl::Create();
}

bool CModemComm::IsValid() const
{
    return m_pImpl != nullptr && m_pImpl->IsTagged();
}

HRESULT CModemComm::Close()
{
    return IsValid() ? m_pImpl->Close() : TAPI_E_OBJECT_INVALID;
}

bool CModemComm::IsOpen() const
{
    return IsValid() && m_pImpl->IsOpen();
}

ULONG CModemComm::GetRefCount() const
{
    return IsValid() ? m_pImpl->GetRefCount() : 0;
}

HRESULT CModemComm::Write(const CByteBuffer& data, ULONG timeoutMs)
{
    return IsValid() ? m_pImpl->Write(data, timeoutMs) : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                         CTransferControl* cancel)
{
    return IsValid() ? m_pImpl->Read(expectedBytes, buffer, totalTimeoutMs, cancel) : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::PurgeInput()
{
    return IsValid() ? m_pImpl->PurgeInput() : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::PurgeOutput()
{
    return IsValid() ? m_pImpl->PurgeOutput() : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::Purge()
{
    return IsValid() ? m_pImpl->Purge() : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::AttachTraceLog(ULONG fileId)
{
    return IsValid() ? m_pImpl->AttachTraceLog(fileId) : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::DetachTraceLog()
{
    return IsValid() ? m_pImpl->DetachTraceLog() : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::OpenTraceLog(const char16_t* path, ULONG* fileId)
{
    return IsValid() ? m_pImpl->OpenTraceLog(path, fileId) : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::CloseTraceLog()
{
    return DetachTraceLog();
}

bool CModemComm::IsTraceLogOpen() const
{
    return IsValid() && m_pImpl->IsTraceLogOpen();
}

ULONG CModemComm::GetLastErrorCode() const
{
    return IsValid() ? m_pImpl->GetLastErrorCode() : 0;
}

CWideString CModemComm::GetLastErrorText() const
{
    return IsValid() ? m_pImpl->GetLastErrorText() : CWideString();
}

HRESULT CModemComm::GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered)
{
    return IsValid() ? m_pImpl->GetStatistics(sent, received, delivered) : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::ResetStatistics()
{
    return IsValid() ? m_pImpl->ResetStatistics() : TAPI_E_OBJECT_INVALID;
}

CWideString CModemComm::GetName() const
{
    return IsValid() ? m_pImpl->GetName() : CWideString();
}

} // namespace NVTools
