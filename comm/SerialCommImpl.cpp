// The life of a serial port object: the process-wide list, references, open and close, the
// defaults every object starts from, the last error and the statistics under the object lock.
#include "comm/SerialCommImpl.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "comm/ComPortDiscovery.h"
#include "foundation/CommTimeouts.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "foundation/SystemNames.h"

namespace NVTools
{

namespace
{

constexpr uint32_t kDefaultDcbFlags = 0x00005013u;

// The open objects of the process. Never destroyed: an object may still be released while static
// destructors run.
platform::CCriticalSection& ListLock()
{
    static auto* lock = new platform::CCriticalSection;
    return *lock;
}

std::vector<CSerialCommImpl*>& OpenObjects()
{
    static auto* list = new std::vector<CSerialCommImpl*>;
    return *list;
}

} // namespace

// --- the process-wide list ---------------------------------------------------------------------

CSerialCommImpl* CSerialCommImpl::Acquire(USHORT port, HRESULT& result)
{
    CScopedLock global(ListLock());
    CSerialCommImpl* impl = nullptr;
    bool created = false;
    if (port != 0)
    {
        for (CSerialCommImpl* candidate : OpenObjects())
        {
            if (candidate->GetPortNumber() == port)
            {
                impl = candidate;
                break;
            }
        }
    }
    if (impl == nullptr)
    {
        impl = new (std::nothrow) CSerialCommImpl();
        if (impl == nullptr)
        {
            result = E_OUTOFMEMORY;
            return nullptr;
        }
        OpenObjects().push_back(impl);
        created = true;
    }
    impl->AddRef();
    // A found object is open unless a close on another thread came in between.
    result = !created && impl->GetPortNumber() == port ? S_OK : impl->OpenPort(port);
    if (Failed(result))
    {
        impl->Release();
        return nullptr;
    }
    return impl;
}

size_t CSerialCommImpl::GetOpenObjectCount()
{
    CScopedLock global(ListLock());
    return OpenObjects().size();
}

CSerialCommImpl::CSerialCommImpl()
    : CLineImplBase(u"CSerialCommImpl"), m_Dcb(DefaultDcb()), m_nBaudRate(m_Dcb.BaudRate),
      m_Timeouts(DefaultTimeouts())
{
}

CSerialCommImpl::~CSerialCommImpl()
{
    m_Trace.Close();
    m_nPortNumber = 0;
    m_nLastError = 0;
    m_nBytesSent = m_nBytesReceived = m_nBytesDelivered = 0;
    m_nTag = 0;
}

ULONG CSerialCommImpl::AddRef()
{
    if (!IsTagged())
        return 0;
    return m_nRefCount.fetch_add(1) + 1;
}

ULONG CSerialCommImpl::Release()
{
    if (!IsTagged())
        return 0;
    // Above one reference nobody can be handed this object as a last one: count down freely.
    ULONG count = m_nRefCount.load();
    while (count > 1)
    {
        if (m_nRefCount.compare_exchange_weak(count, count - 1))
            return count - 1;
    }
    {
        // The list lock is what Acquire holds while it hands out references, so the decision to
        // destroy cannot race with a new reference.
        CScopedLock global(ListLock());
        count = m_nRefCount.load();
        if (count > 1)
            return m_nRefCount.fetch_sub(1) - 1;
        m_nRefCount = 0;
        auto& list = OpenObjects();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    if (IsOpen())
        Close();
    delete this; // every lock left: no handle can reach the object any more
    return 0;
}

ULONG CSerialCommImpl::GetRefCount() const
{
    return m_nRefCount.load();
}

CWideString CSerialCommImpl::GetName() const
{
    return CWideString(u"COM %u", static_cast<unsigned>(GetPortNumber()));
}

// --- defaults ----------------------------------------------------------------------------------

COMMTIMEOUTS CSerialCommImpl::DefaultTimeouts()
{
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    // The silence that ends an RTU frame (250 ms unless the tunable says otherwise).
    timeouts.ReadTotalTimeoutConstant = ReadCommTunable(CommTunable::RTUInterCharacterTO);
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = 0;
    return timeouts;
}

DCB CSerialCommImpl::DefaultDcb()
{
    DCB dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = 19200;
    SetDcbFlags(dcb, kDefaultDcbFlags);
    dcb.ByteSize = 8;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

// --- open and close ----------------------------------------------------------------------------

HRESULT CSerialCommImpl::OpenPort(USHORT port)
{
    CScopedLock lock(m_ObjectLock);
    if (m_Device.IsOpen())
        return SERIALCOMM_E_IN_USE;
    m_Trace << TRACE_LEVEL1 << u"Opening port: " << port << TRACE_END;
    const std::string path = ResolveComPortDevicePath(port);
    const int error = path.empty() ? ENOENT : m_Device.Open(path);
    if (error != 0)
    {
        m_nLastError = static_cast<uint32_t>(error);
        m_Trace << TRACE_LEVEL1 << u"Port Open failed LE: " << m_nLastError << TRACE_END;
        return SERIALCOMM_E_OPEN;
    }
    m_nPortNumber = port;
    m_bConfigured = m_bTimeoutsKnown = m_bDcbKnown = 0;
    m_bWriteActive = 0;
    m_bReadActive = 0;
    m_bAbort = 0;
    m_nBytesSent = m_nBytesReceived = m_nBytesDelivered = 0;
    InitialConfiguration();
    m_Trace << TRACE_LEVEL1 << u"Port " << port << u" opened successfully" << TRACE_END;
    return S_OK;
}

HRESULT CSerialCommImpl::Close()
{
    // A read or write on another thread holds the object lock until it ends; asking it to stop
    // before waiting for the lock keeps the close from waiting out the read's whole time-out.
    const bool wasActive = IsActive();
    if (wasActive)
        m_bAbort = 1;
    CScopedLock lock(m_ObjectLock);
    m_Trace << TRACE_LEVEL1 << u"Closing Port: " << GetPortNumber() << TRACE_END;
    // Holding the lock, the I/O has come to its end; one still flagged (a drain) waits for the lock
    // and finds the port closed once it has it.
    if (wasActive || IsActive())
    {
        m_Trace << TRACE_LEVEL1 << u"IO is active - waiting for completion: " << GetPortNumber() << TRACE_END;
        m_bAbort = 1;
    }
    if (m_Device.IsOpen())
    {
        const int error = m_Device.Close();
        if (error != 0)
        {
            m_nLastError = static_cast<uint32_t>(error);
            m_Trace << TRACE_LEVEL1 << u"Close port failed - " << GetLastErrorText() << TRACE_END;
        }
    }
    m_nPortNumber = 0;
    m_Trace << TRACE_LEVEL1 << u"Port closed" << TRACE_END;
    return S_OK;
}

bool CSerialCommImpl::IsOpen() const
{
    // The port number is set exactly while the device is open, and can be read without waiting for
    // a read in progress.
    return GetPortNumber() != 0;
}

ULONG CSerialCommImpl::GetLastErrorCode() const
{
    CScopedLock lock(m_ObjectLock);
    return m_nLastError;
}

CWideString CSerialCommImpl::GetLastErrorText() const
{
    CScopedLock lock(m_ObjectLock);
    const CWideString message = GetSystemErrorText(m_nLastError);
    CWideString text(u"LE: %u (%s)", m_nLastError, static_cast<const char16_t*>(message));
    text.ReplaceCharWithSpace(u'\n');
    text.Trim();
    return text;
}

// --- statistics --------------------------------------------------------------------------------

HRESULT CSerialCommImpl::GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered)
{
    CScopedLock lock(m_ObjectLock);
    return CLineImplBase::GetStatistics(sent, received, delivered);
}

HRESULT CSerialCommImpl::ResetStatistics()
{
    CScopedLock lock(m_ObjectLock);
    return CLineImplBase::ResetStatistics();
}

DCB CSerialCommImpl::GetCurrentDcb() const
{
    CScopedLock lock(m_ObjectLock);
    return m_Dcb;
}

void CSerialCommImpl::StoreDcb(const DCB& dcb)
{
    m_Dcb = dcb;
    m_nBaudRate.store(dcb.BaudRate, std::memory_order_relaxed);
}

COMMTIMEOUTS CSerialCommImpl::GetCurrentTimeouts() const
{
    CScopedLock lock(m_ObjectLock);
    return m_Timeouts;
}

ULONG CSerialCommImpl::GetFramingMode() const
{
    CScopedLock lock(m_ObjectLock);
    return m_nFramingMode;
}

} // namespace NVTools
