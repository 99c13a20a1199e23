#include "comm/ModemComm.h"

namespace NVTools
{

CModemComm::CModemComm(const CModemComm& other) : CTransportHandle(Share(other))
{
    if (m_pImpl == nullptr)
        m_pImpl = CModemCommImpl::Create();
}

void CModemComm::Reset()
{
    Release();
    m_pImpl = CModemCommImpl::Create();
}

HRESULT CModemComm::PurgeInput()
{
    return IsValid() ? m_pImpl->PurgeInput() : TAPI_E_OBJECT_INVALID;
}

HRESULT CModemComm::PurgeOutput()
{
    return IsValid() ? m_pImpl->PurgeOutput() : TAPI_E_OBJECT_INVALID;
}

} // namespace NVTools
