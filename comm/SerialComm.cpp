#include "comm/SerialComm.h"

namespace NVTools
{

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

HRESULT CSerialComm::PurgeInput()
{
    return IsValid() ? m_pImpl->PurgeInput() : SERIALCOMM_E_OBJECT_INVALID;
}

HRESULT CSerialComm::PurgeOutput()
{
    return IsValid() ? m_pImpl->PurgeOutput() : SERIALCOMM_E_OBJECT_INVALID;
}

} // namespace NVTools
