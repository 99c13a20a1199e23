// The life of the network object, its transport, framing mode and wake-up settings.
#include "comm/ModbusComm.h"

#include <new>

#include "comm/IPComm.h"
#include "comm/ModbusModes.h"
#include "comm/ModemComm.h"
#include "comm/SerialComm.h"
#include "foundation/CommTimeouts.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

namespace
{

constexpr int kAsciiEndOfMessage = '\n';
constexpr uint32_t kLineTraceLevel = 3;

} // namespace

CModbusComm* CModbusComm::Create()
{
    CModbusComm* network = nullptr;
    try
    {
        network = new CModbusComm;
    }
    catch (...)
    {
        return nullptr;
    }
    network->AddRef();
    return network;
}

CModbusComm::CModbusComm()
    : m_bAutoWakeUp(ReadCommTunable(CommTunable::AutoWakeUpNetwork)),
      m_nBusyResponseDelay(ReadCommTunable(CommTunable::BusyResponseDelay)),
      m_nBusyRetryLimit(ReadCommTunable(CommTunable::BusyRetryLimit)), m_pMessage(new CModbusMessage)
{
}

CModbusComm::~CModbusComm()
{
    // Untagged first: a device told to let go finds a network that takes nothing back. No other
    // thread holds a reference any more, so the list is walked without the line lock, which a
    // device letting go under its own lock must not find held.
    m_nSignature.store(0);
    for (uint32_t i = 0; i < m_Devices.GetCount(); ++i)
        m_Devices[i]->DetachCommLink(this);
    m_Devices.RemoveAll();
    delete m_pTransport;
    m_pTransport = nullptr;
    m_pMessage.reset();
    m_Trace.Close();
}

ULONG CModbusComm::AddRef()
{
    return m_nRefCount.fetch_add(1) + 1;
}

ULONG CModbusComm::Release()
{
    // A count already at 0 does not wrap round to keep a released object alive for ever.
    uint32_t count = m_nRefCount.load();
    while (count != 0 && !m_nRefCount.compare_exchange_weak(count, count - 1))
    {
    }
    const ULONG remaining = count == 0 ? 0 : count - 1;
    if (remaining != 0)
        return remaining;
    // The line lock is left before the object (and the lock with it) is destroyed.
    DisconnectCommLink();
    delete this;
    return 0;
}

HRESULT CModbusComm::ConnectCommLink(NVTools::CSerialComm& port)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            std::unique_ptr<NVTools::CSerialComm> handle(new NVTools::CSerialComm(port));
            const HRESULT hr = AttachTransport(handle.get());
            if (Succeeded(hr))
                handle.release();
            return hr;
        });
}

HRESULT CModbusComm::AttachTransport(NVTools::IIOAbstract* transport)
{
    return Guarded(
        [&]
        {
            if (transport == nullptr)
                return E_POINTER;
            CScopedLock line(m_LineLock);
            if (m_pTransport != nullptr)
                return m_pTransport == transport ? S_OK : MODBUSCOMM_E_CONNECTION_MISMATCH;
            m_pTransport = transport;
            if ((ReadCommTunable(CommTunable::DebugFlags) & DEBUG_FLAG_LINE_TRACE) != 0)
                OpenLineTrace();
            return S_OK;
        });
}

void CModbusComm::OpenLineTrace()
{
    uint32_t fileId = 0;
    if (m_Trace.IsOpen())
    {
        fileId = static_cast<uint32_t>(m_Trace.GetFileId());
    }
    else
    {
        const CWideString path(u"%s_TraceLog.txt", static_cast<const char16_t*>(m_pTransport->GetName()));
        if (Failed(m_Trace.OpenFile(path, u"CModbusComm", &fileId)))
            return;
    }
    m_Trace.SetMaxLevel(kLineTraceLevel);
    m_Trace << TRACE_LEVEL1 << u"MobusComm Attached" << TRACE_END;
    m_pTransport->AttachTraceLog(fileId);
}

HRESULT CModbusComm::DisconnectCommLink()
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            delete m_pTransport;
            m_pTransport = nullptr;
            return S_OK;
        });
}

NVTools::IIOAbstract* CModbusComm::CloneCommLink()
{
    try
    {
        CScopedLock line(m_LineLock);
        if (m_pTransport == nullptr)
            return nullptr;
        switch (m_pTransport->GetConnectionType())
        {
        case NVTools::IOCONNECTION_SERIAL:
        {
            NVTools::CSerialComm* serial = m_pTransport->AsSerial();
            return serial != nullptr && serial->IsValid() ? new NVTools::CSerialComm(*serial) : nullptr;
        }
        case NVTools::IOCONNECTION_MODEM:
        {
            NVTools::CModemComm* modem = m_pTransport->AsModem();
            return modem != nullptr && modem->IsValid() ? new NVTools::CModemComm(*modem) : nullptr;
        }
        case NVTools::IOCONNECTION_IP:
        {
            NVTools::CIPComm* ip = m_pTransport->AsIP();
            return ip != nullptr && ip->IsValid() ? new NVTools::CIPComm(*ip) : nullptr;
        }
        default:
            return nullptr;
        }
    }
    catch (...)
    {
        return nullptr;
    }
}

HRESULT CModbusComm::GetConnectionType(ULONG& type)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            if (m_pTransport == nullptr)
                return MODBUSCOMM_E_NO_CONNECTION;
            type = m_pTransport->GetConnectionType();
            return S_OK;
        });
}

HRESULT CModbusComm::SetTransmissionMode(ULONG mode)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            if (m_pTransport != nullptr && m_pTransport->GetConnectionType() == NVTools::IOCONNECTION_SERIAL)
            {
                NVTools::CSerialComm* serial = m_pTransport->AsSerial();
                if (serial == nullptr)
                    return MODBUSCOMM_E_INVALID_CONNECTION_TYPE;
                if (mode == MODBUS_MODE_RTU || mode == MODBUS_MODE_TCP)
                    serial->SetModeRTU();
                else
                    serial->SetModeASCII(kAsciiEndOfMessage);
            }
            m_nMode = mode;
            return S_OK;
        });
}

HRESULT CModbusComm::GetTransmissionMode(ULONG& mode)
{
    CScopedLock line(m_LineLock);
    mode = m_nMode;
    return S_OK;
}

HRESULT CModbusComm::GetTransmissionDelay(USHORT& delay)
{
    CScopedLock line(m_LineLock);
    delay = m_nTransmissionDelay;
    return S_OK;
}

void CModbusComm::EnableAutoWakeUp()
{
    CScopedLock line(m_LineLock);
    m_bAutoWakeUp = 1;
}

void CModbusComm::DisableAutoWakeUp()
{
    CScopedLock line(m_LineLock);
    m_bAutoWakeUp = 0;
}

BOOL CModbusComm::IsAutoWakeUpEnabled()
{
    CScopedLock line(m_LineLock);
    return m_bAutoWakeUp != 0 ? TRUE : FALSE;
}

HRESULT CModbusComm::SetDeviceEOS(USHORT address, USHORT ms)
{
    CScopedLock line(m_LineLock);
    return m_WakeUpTable.SetIdleMs(address, ms) ? S_OK : MODBUSCOMM_E_INVALID_ADDRESS;
}

USHORT CModbusComm::GetDeviceEOS(USHORT address)
{
    CScopedLock line(m_LineLock);
    return m_WakeUpTable.GetIdleMs(address);
}
