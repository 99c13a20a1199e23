// The life of a modem line: references, close and hang-up, the connection side's half of the
// queues and the last error.
#include "comm/ModemCommImpl.h"

#include <new>

#include "foundation/ByteDump.h"
#include "foundation/ScopedLock.h"
#include "foundation/SystemNames.h"
#include "platform/Utf.h"

#include <unistd.h>

namespace NVTools
{

namespace
{

// The digits of a phone number read as one number; 0 without digits or beyond 32 bits.
uint32_t PhoneNumberValue(const CWideString& phoneNumber)
{
    const char16_t* text = phoneNumber;
    uint64_t value = 0;
    for (size_t i = 0; i < platform::Utf16Length(text); ++i)
    {
        if (text[i] < u'0' || text[i] > u'9')
            continue;
        value = value * 10 + static_cast<uint64_t>(text[i] - u'0');
        if (value > UINT32_MAX)
            return 0;
    }
    return static_cast<uint32_t>(value);
}

} // namespace

CModemCommImpl* CModemCommImpl::Create()
{
    auto* impl = new (std::nothrow) CModemCommImpl();
    if (impl != nullptr)
        impl->AddRef();
    return impl;
}

CModemCommImpl::CModemCommImpl() : CLineImplBase(u"CModemCommImpl") {}

CModemCommImpl::~CModemCommImpl()
{
    m_Trace.Close();
    m_nTag = 0;
}

ULONG CModemCommImpl::AddRef()
{
    if (!IsTagged())
        return 0;
    return m_nRefCount.fetch_add(1) + 1;
}

ULONG CModemCommImpl::Release()
{
    if (!IsTagged())
        return 0;
    uint32_t count = m_nRefCount.load();
    while (count != 0 && !m_nRefCount.compare_exchange_weak(count, count - 1))
    {
    }
    if (count != 1)
        return count == 0 ? 0 : count - 1;
    if (IsOpen())
        Close();
    delete this; // every lock left: no handle can reach the object any more
    return 0;
}

ULONG CModemCommImpl::GetRefCount() const
{
    return m_nRefCount.load();
}

CWideString CModemCommImpl::GetName() const
{
    return CWideString(u"Phone-%u", PhoneNumberValue(m_PhoneNumber));
}

bool CModemCommImpl::IsOpen() const
{
    CScopedLock state(m_StateLock);
    return m_nDataHandle >= 0;
}

HRESULT CModemCommImpl::Close()
{
    CScopedLock lock(m_ObjectLock);
    m_Trace << TRACE_LEVEL1 << u"Modem: " << m_ModemName << u" connection closing - phone#:" << m_PhoneNumber
            << TRACE_END;
    if (!IsOpen())
    {
        m_Trace << TRACE_LEVEL1 << u"Modem: " << m_ModemName << u" connection already closed" << TRACE_END;
        return S_OK;
    }
    HangUp();
    m_WriteRequest.Set();
    m_Closing.Set();
    m_nLastError = 0;
    ClearQueues();
    m_Trace << TRACE_LEVEL1 << u"Modem connection closed" << TRACE_END;
    return S_OK;
}

void CModemCommImpl::HangUp()
{
    CScopedLock state(m_StateLock);
    if (m_nDataHandle < 0)
        return;
    ::close(m_nDataHandle);
    m_nDataHandle = -1;
    m_Closing.Set();
    m_WriteRequest.Set();
    m_WriteDone.Set();
    m_DataReceived.Set();
    m_Trace << TRACE_LEVEL1 << u"Modem: " << m_ModemName << u" port closed" << TRACE_END;
}

void CModemCommImpl::ClearQueues()
{
    CScopedLock queue(m_QueueLock);
    m_OutputQueue.Allocate(0);
    m_InputQueue.Allocate(0);
}

// --- the connection side's half ----------------------------------------------------------------

HRESULT CModemCommImpl::AttachLine(int dataHandle)
{
    if (dataHandle < 0)
        return E_INVALIDARG;
    CScopedLock lock(m_ObjectLock);
    CScopedLock state(m_StateLock);
    if (m_nDataHandle >= 0)
        return TAPI_E_ALREADY_OPEN;
    ClearQueues();
    m_Closing.ResetEvent();
    m_WriteRequest.ResetEvent();
    m_WriteDone.ResetEvent();
    m_DataReceived.ResetEvent();
    m_nDataHandle = dataHandle;
    return S_OK;
}

bool CModemCommImpl::TakeWriteRequest(CByteBuffer& data, uint64_t timeoutMs)
{
    if (!m_WriteRequest.Wait(timeoutMs) || m_Closing.IsSet())
        return false;
    CScopedLock queue(m_QueueLock);
    data = m_OutputQueue;
    m_OutputQueue.Allocate(0);
    return true;
}

void CModemCommImpl::CompleteWrite(HRESULT status)
{
    m_nWriteStatus = status;
    m_WriteDone.Set();
}

void CModemCommImpl::DeliverReceived(const uint8_t* data, uint32_t count)
{
    if (count == 0)
        return;
    {
        CScopedLock queue(m_QueueLock);
        if (!m_InputQueue.Append(count, data))
            return;
    }
    m_nBytesReceived += count;
    m_DataReceived.Set();
}

// --- last error --------------------------------------------------------------------------------

ULONG CModemCommImpl::GetLastErrorCode() const
{
    CScopedLock lock(m_ObjectLock);
    return m_nLastError;
}

CWideString CModemCommImpl::GetLastErrorText() const
{
    return GetSystemErrorText(GetLastErrorCode());
}

CWideString CModemCommImpl::Dump(const CByteBuffer& data) const
{
    return FormatPrintableDump(data);
}

} // namespace NVTools
