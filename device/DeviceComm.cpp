// Construction and destruction, references, the guards, the link to the network and the trace.
#include "device/DeviceComm.h"

#include "device/SensorCache.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kUnlinkedAddress = 255;

} // namespace

CDeviceComm::CDeviceComm(const SlaveIdInfo& slaveId)
    : m_nRetryCount(::GetRetryCount()), m_nReadTimeout(GetReadRegisterTimeout()),
      m_nWriteTimeout(GetWriteRegisterTimeout()), m_SlaveId(slaveId),
      m_pCacheSettings(std::make_unique<CCacheSettings>())
{
    m_SlaveId.MaxPacketSize = ClampMaxPacketSize(::GetMaxPacketSize());

    if ((ReadCommTunable(CommTunable::DebugFlags) & DEBUG_FLAG_DEVICE_TRACE) != 0 &&
        Succeeded(m_Trace.OpenFile(u"DeviceControlTraceLog.txt", u"CDeviceComm")))
    {
        m_Trace.SetMaxLevel(1);
        m_Trace << TRACE_LEVEL1 << u"New device created" << TRACE_END;
    }
}

CDeviceComm::~CDeviceComm()
{
    // The network's device list still names this object until RemoveDevice, which asks for its
    // address: the tag and the network stay until then.
    if (CModbusComm* network = m_pNetwork.load(); network != nullptr && network->IsTagged())
    {
        network->RemoveDevice(this);
        m_pNetwork.store(nullptr);
        network->Release();
    }
    m_pNetwork.store(nullptr);
    DeleteSensorCache();
    m_pCacheSettings.reset();
    m_Trace.Close();
    m_SlaveId.Clear();
    m_nTag.store(0);
}

// The count is atomic and needs no lock: a worker holds the device lock across its reads of the
// probe, and whoever takes or gives back a reference meanwhile (the windows) must not wait for them.
ULONG CDeviceComm::AddRef()
{
    if (!IsTagged())
        return 0;
    return ++m_nRefCount;
}

ULONG CDeviceComm::Release()
{
    if (!IsTagged())
        return 0;
    ULONG count = m_nRefCount.load();
    while (count > 1)
        if (m_nRefCount.compare_exchange_weak(count, count - 1))
            return count - 1;
    // The last reference, or none ever taken (the creator discards the object).
    m_nRefCount.store(0);
    delete this;
    return 0;
}

CModbusComm* CDeviceComm::GetModbusComm()
{
    if (!IsTagged())
        return nullptr;
    CScopedLock lock(m_DeviceLock);
    CModbusComm* network = m_pNetwork.load();
    if (network != nullptr)
        network->AddRef();
    return network;
}

USHORT CDeviceComm::GetAddress() const
{
    if (!IsTagged() || m_pNetwork.load() == nullptr)
        return kUnlinkedAddress;
    return m_nAddress.load();
}

USHORT CDeviceComm::GetRetryCount() const
{
    return IsTagged() ? m_nRetryCount : 0;
}

SlaveIdInfo CDeviceComm::HeldSlaveId()
{
    CScopedLock lock(m_DeviceLock);
    return m_SlaveId;
}

void CDeviceComm::StoreSlaveId(const SlaveIdInfo& slaveId)
{
    CScopedLock lock(m_DeviceLock);
    m_SlaveId = slaveId;
    m_SlaveId.MaxPacketSize = ClampMaxPacketSize(slaveId.MaxPacketSize);
}

bool CDeviceComm::IsLinked() const
{
    const CModbusComm* network = m_pNetwork.load();
    return network != nullptr && network->IsTagged();
}

HRESULT CDeviceComm::CheckGuards(uint32_t guards) const
{
    if ((guards & GUARD_LINK) != 0 && !IsLinked())
        return MODBUSCOMM_E_NO_CONNECTION;
    if ((guards & GUARD_CHANGED) != 0 && m_pCacheSettings->m_bDeviceChanged != 0)
        return MODBUSCOMM_E_DEVICE_CHANGED;
    if ((guards & GUARD_FIRMWARE) != 0 && !RunsApplication())
        return MODBUSCOMM_E_NO_APP_FIRMWARE;
    return S_OK;
}

CTraceLog& CDeviceComm::Trace(TraceCtrl level)
{
    return m_Trace << level << u"Device: " << Address();
}

void CDeviceComm::SetFileTransferActive(bool active)
{
    CScopedLock lock(m_FileTransferActiveLock);
    m_bFileTransferActive = active ? 1 : 0;
}

bool CDeviceComm::IsFileTransferActive()
{
    CScopedLock lock(m_FileTransferActiveLock);
    return m_bFileTransferActive != 0;
}

HRESULT CDeviceComm::AttachCommLink(USHORT address, const SlaveIdInfo& slaveId, CModbusComm* network)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    try
    {
        m_Trace << TRACE_LEVEL1 << u"Attaching communication link using device address: " << Address()
                << TRACE_END;
        if (network == nullptr)
            return E_POINTER;
        if (address > 255)
            return MODBUSCOMM_E_INVALID_ADDRESS;

        CScopedLock lock(m_DeviceLock);
        if (m_pNetwork.load() != nullptr)
            return E_FAIL;
        network->AddRef();
        m_pNetwork.store(network);
        m_nAddress.store(address);
        StoreSlaveId(slaveId);

        HRESULT result = S_OK;
        if (!RunsApplication())
        {
            // Boot code has no template-version register to ask.
            m_nProbeRegisterMapVersion = m_SlaveId.RegisterMapVersion;
        }
        else if (m_RegisterMap.TemplateVersion != 0)
        {
            USHORT version = 0;
            result = network->ReadUShort(address, m_RegisterMap.TemplateVersion, version, m_nReadTimeout,
                                         m_nRetryCount);
            if (Failed(result))
            {
                Trace(TRACE_LEVEL1) << u" - failed to get probe register map ver, EC: " << TraceHr(result)
                                    << TRACE_END;
                return result;
            }
            m_nProbeRegisterMapVersion = version;
        }

        // Another link may reach another instrument: its sensors are found again on first use.
        DeleteSensorCache();
        m_pCacheSettings->Reset();
        m_pCacheSettings->m_IdentityCheckStopwatch.Start();
        InitRegisterMap();
        m_Trace << TRACE_LEVEL1 << u"Communication link attached - device address: " << Address()
                << TRACE_END;
        return result;
    }
    catch (...)
    {
        return MODBUSCOMM_E_EXCEPTION_CDEVICE;
    }
}

HRESULT CDeviceComm::DetachCommLink(CModbusComm* network)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    m_Trace << TRACE_LEVEL1 << u"Deattaching communication link using device address: " << Address()
            << TRACE_END;
    if (network == nullptr)
        return E_POINTER;
    CModbusComm* attached = nullptr;
    {
        CScopedLock lock(m_DeviceLock);
        attached = m_pNetwork.exchange(nullptr);
    }
    // A network without its signature is being destroyed and is letting go of its devices: its
    // count is spent and its list is its own. Any other leaves its list before the reference goes,
    // so that it never calls back into a device that has let go of it; the reference goes outside
    // the device lock, as the network's last one may destroy it.
    if (attached != nullptr && attached->IsTagged())
    {
        attached->RemoveDevice(this);
        attached->Release();
    }
    return S_OK;
}

HRESULT CDeviceComm::AttachTraceLog(ULONG fileId)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    // Lines above the maximum level are dropped; an attached trace writes the failures at least.
    if (Succeeded(m_Trace.AttachFile(fileId, u"CDeviceComm")) && m_Trace.GetMaxLevel() == 0)
        m_Trace.SetMaxLevel(1);
    CScopedLock lock(m_DeviceLock);
    CopyTraceToSensors();
    return S_OK;
}

// The base class is no instrument class and has no built-in sensor.
CBarrikComm* CDeviceComm::QueryBarrikComm()
{
    return nullptr;
}
CBluetoothCommDeviceComm* CDeviceComm::QueryBluetoothCommDeviceComm()
{
    return nullptr;
}
CStiloComm* CDeviceComm::QueryStiloComm()
{
    return nullptr;
}
CMariskComm* CDeviceComm::QueryMariskComm()
{
    return nullptr;
}
CVoxProComm* CDeviceComm::QueryVoxProComm()
{
    return nullptr;
}
CPendraProComm* CDeviceComm::QueryPendraProComm()
{
    return nullptr;
}
CFluvarComm* CDeviceComm::QueryFluvarComm()
{
    return nullptr;
}
CBlueToothSkiffCom* CDeviceComm::QueryBlueToothSkiffCom()
{
    return nullptr;
}
CSledraComm* CDeviceComm::QuerySledraComm()
{
    return nullptr;
}
CPokkoComm* CDeviceComm::QueryPokkoComm()
{
    return nullptr;
}
CMK600Comm* CDeviceComm::QueryMK600Comm()
{
    return nullptr;
}
CVOXCoreICComm* CDeviceComm::QueryVOXCoreICComm()
{
    return nullptr;
}
ISensor_VoxPro* CDeviceComm::GetVoxProSensor()
{
    return nullptr;
}
ISensor_ConductivityPTL* CDeviceComm::GetConductivityPTLSensor()
{
    return nullptr;
}
ISensor_Conductivity* CDeviceComm::GetConductivitySensor()
{
    return nullptr;
}
ISensor_PressureTempLevel* CDeviceComm::GetPressureTempLevelSensor()
{
    return nullptr;
}
ISensor_PressureDepth* CDeviceComm::GetPressureDepthSensor()
{
    return nullptr;
}
ISensor_pHORP* CDeviceComm::GetpHORPSensor()
{
    return nullptr;
}
ISensor_pH* CDeviceComm::GetpHSensor()
{
    return nullptr;
}
ISensor_ORP* CDeviceComm::GetORPSensor()
{
    return nullptr;
}
ISensor_PressureTemp* CDeviceComm::GetPressureTempSensor()
{
    return nullptr;
}
ISensor_Temperature* CDeviceComm::GetTemperatureSensor()
{
    return nullptr;
}
ISensor_Turbidity* CDeviceComm::GetTurbiditySensor()
{
    return nullptr;
}
ISensor_Barometric* CDeviceComm::GetBarometricSensor()
{
    return nullptr;
}
ISensor_Nitrate* CDeviceComm::GetNitrateSensor()
{
    return nullptr;
}
ISensor_Ammonium* CDeviceComm::GetAmmoniumSensor()
{
    return nullptr;
}
ISensor_Chloride* CDeviceComm::GetChlorideSensor()
{
    return nullptr;
}

} // namespace NVSystem
