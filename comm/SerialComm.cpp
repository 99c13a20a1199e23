#include "comm/SerialComm.h"

#include "foundation/ResultCodes.h"

namespace NVTools
{

CSerialComm::CSerialComm(const CSerialComm& other)
{
    if (other.IsValid() && other.m_pImpl->AddRef() != 0)
        m_pImpl = other.m_pImpl;
}

CSerialComm::~CSerialComm()
{
    Reset();
}

bool CSerialComm::IsValid() const
{
    return m_pImpl != nullptr && m_pImpl->IsTagged();
}

void CSerialComm::Reset()
{
    if (m_pImpl != nullptr)
    {
        if (m_pImpl->IsTagged())
            m_pImpl->Release();
        m_pImpl = nullptr;
    }
}

HRESULT CSerialComm::Open(USHORT port)
{
    if (IsValid() && m_pImpl->GetPortNumber() == port && port != 0)
        return S_OK;
    Reset();
    HRESULT result = S_OK;
    m_pImpl = CSerialCommImpl::Acquire(port, result);
    return result;
}

HRESULT CSerialComm::SetPortConfig(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId)
{
    return IsValid() ? m_pImpl->SetPortConfig(baudId, dataBitsId, parityId, stopBitsId)
                     : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::SetDTR(int value)
{
    return IsValid() ? m_pImpl->SetDTR(value) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::SetRTS(int value)
{
    return IsValid() ? m_pImpl->SetRTS(value) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::SetModeRTU()
{
    return IsValid() ? m_pImpl->SetModeRTU() : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::SetModeASCII(int eomCharacter)
{
    return IsValid() ? m_pImpl->SetModeASCII(eomCharacter) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::Close()
{
    return IsValid() ? m_pImpl->Close() : SERIALCOMM_E_OBJECT_INVALID;
}

bool CSerialComm::IsOpen() const
{
    return IsValid() && m_pImpl->IsOpen();
}

ULONG CSerialComm::GetRefCount() const
{
    return IsValid() ? m_pImpl->GetRefCount() : 0;
}

HRESULT CSerialComm::Write(const CByteBuffer& data, ULONG timeoutMs)
{
    return IsValid() ? m_pImpl->Write(data, timeoutMs) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                          CTransferControl* cancel)
{
    return IsValid() ? m_pImpl->Read(expectedBytes, buffer, totalTimeoutMs, cancel)
                     : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::PurgeInput()
{
    return IsValid() ? m_pImpl->PurgeInput() : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::PurgeOutput()
{
    return IsValid() ? m_pImpl->PurgeOutput() : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::Purge()
{
    return IsValid() ? m_pImpl->Purge() : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::AttachTraceLog(ULONG fileId)
{
    return IsValid() ? m_pImpl->AttachTraceLog(fileId) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::DetachTraceLog()
{
    return IsValid() ? m_pImpl->DetachTraceLog() : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::OpenTraceLog(const char16_t* path, ULONG* fileId)
{
    return IsValid() ? m_pImpl->OpenTraceLog(path, fileId) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::CloseTraceLog()
{
    return DetachTraceLog();
}

bool CSerialComm::IsTraceLogOpen() const
{
    return IsValid() && m_pImpl->IsTraceLogOpen();
}

ULONG CSerialComm::GetLastErrorCode() const
{
    return IsValid() ? m_pImpl->GetLastErrorCode() : 0;
}

CWideString CSerialComm::GetLastErrorText() const
{
    return IsValid() ? m_pImpl->GetLastErrorText() : CWideString();
}

HRESULT CSerialComm::GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered)
{
    return IsValid() ? m_pImpl->GetStatistics(sent, received, delivered) : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::ResetStatistics()
{
    return IsValid() ? m_pImpl->ResetStatistics() : SERIALCOMM_E_OBJECT_INVALID;
}

CWideString CSerialComm::GetName() const
{
    return IsValid() ? m_pImpl->GetName() : CWideString();
}

} // namespace NVTools
