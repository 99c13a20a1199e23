#include "connection/ProbeConnection.h"

#include <algorithm>
#include <mutex>

#include "comm/DeviceFactoryHook.h"
#include "connection/SerialLink.h"
#include "foundation/ErrorTable.h"
#include "foundation/NameLookups.h"
#include "foundation/ScopedLock.h"
#include "models/DeviceFactory.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VOXCoreICSensors.h"
#include "models/VoxProComm.h"
#include "platform/MessageBox.h"

CProbeConnection theProbeConnection;

namespace
{

constexpr USHORT kVoxCoreTypes[] = {36, 37, 39};
// Device types whose model name a skin may replace.
constexpr USHORT kSkinNamedTypes[] = {12, 19, 18};
// A disconnect looks at the busy count at least this often, and at once when a worker releases.
constexpr uint64_t kBusyPollMs = 100;

std::atomic<SkinModelNameLookup> g_SkinModelNameLookup{nullptr};
std::atomic<const void*> g_pAppMainWindow{nullptr};

template <size_t N>
bool Among(const USHORT (&types)[N], USHORT deviceType)
{
    return std::find(std::begin(types), std::end(types), deviceType) != std::end(types);
}

void ShowError(const char16_t* text)
{
    platform::ShowMessageBox(GetAppMainWindow(), text != nullptr ? text : u"", u"",
                             platform::MB_OK | platform::MB_ICONERROR);
}

// "<what> - error code: XXXXXXXX, <error table text>".
CWideString StepFailure(const char16_t* what, HRESULT hr)
{
    return CWideString(u"%s - error code: %08X, %s", what, static_cast<uint32_t>(hr),
                       LookupErrorText(static_cast<uint32_t>(hr)));
}

const char16_t* LinkStepFailure(SerialLinkStep step)
{
    switch (step)
    {
    case SerialLinkStep::OpenPort:
        return u"Failed to open serial port";
    case SerialLinkStep::CreateNetwork:
        return u"Failed to create protocol layer";
    case SerialLinkStep::AttachPort:
        return u"Failed to attach serial port to protocol layer";
    default:
        return u"Failed to configure serial port";
    }
}

} // namespace

bool IsAcceptedDeviceType(USHORT deviceType)
{
    return Among(ACCEPTED_DEVICE_TYPES, deviceType);
}

bool HasVoxCore(USHORT deviceType)
{
    return Among(kVoxCoreTypes, deviceType);
}

CProbeConnection::~CProbeConnection()
{
    if (m_pSerialComm != nullptr || m_pModbus.load() != nullptr || m_pProbe.load() != nullptr)
        DisconnectDevice();
}

HRESULT CProbeConnection::FailConnect(HRESULT hr, const CWideString& message)
{
    ShowError(message);
    DisconnectDevice();
    return hr;
}

HRESULT CProbeConnection::ConnectToDevice(std::optional<uint64_t> heardAt)
{
    if (IsConnected())
        return E_FAIL;
    // What a connect to a probe in its boot code left open.
    DisconnectDevice();

    const sCommSettings settings = GetCommSettings();
    // A stored connection string may carry any 16-bit address; the factory takes none outside the range.
    if (!IsProbeAddress(settings.Address))
        return FailConnect(MODBUSCOMM_E_INVALID_ADDRESS,
                           StepFailure(u"Failed to find probe", MODBUSCOMM_E_INVALID_ADDRESS));

    SerialLink link;
    SerialLinkStep failed = SerialLinkStep::None;
    if (const HRESULT hr = OpenSerialLink(settings, link, failed); Failed(hr))
        return FailConnect(hr, StepFailure(LinkStepFailure(failed), hr));
    m_pSerialComm = std::move(link.port);
    m_pModbus.store(link.network);
    CModbusComm& network = *link.network;

    if (const HRESULT hr = network.SetTransmissionMode(settings.Mode); Failed(hr))
        return FailConnect(hr, StepFailure(u"Failed to attach transmission mode in protocol layer", hr));
    network.EnableAutoWakeUp();
    if (heardAt)
        network.SetLastHeard(*heardAt);

    // The start-up installs the device classes; a connect without them would find no probe.
    if (GetDeviceFactoryOperations() == nullptr)
        NVSystem::InstallDeviceFactory();
    NVSystem::CDeviceComm* probe = nullptr;
    const HRESULT created = network.CreateDeviceForAddress(settings.Address, probe);
    m_pProbe.store(probe);
    if (Failed(created) || probe == nullptr)
        return FailConnect(Failed(created) ? created : E_FAIL, StepFailure(u"Failed to find probe", created));

    SlaveIdInfo slaveId;
    const HRESULT identified = probe->GetSlaveId(slaveId);
    {
        CScopedLock lock(m_Lock);
        m_SlaveId = slaveId;
    }
    if (Failed(identified))
        return FailConnect(identified, StepFailure(u"Failed to read the device id", identified));
    if (!IsAcceptedDeviceType(slaveId.DeviceTypeId))
        return FailConnect(E_FAIL, CWideString(u"The device on port %d is not supported by this software.",
                                               static_cast<int>(settings.Port)));

    const HRESULT cached = probe->UpdateCache();
    if (cached == MODBUSCOMM_E_NO_APP_FIRMWARE)
    {
        // The link stays open, not connected, so that the firmware can be loaded through it.
        ShowError(CWideString(u"No firmware is running on the connected %s. Firmware update required.",
                              static_cast<const char16_t*>(GetDeviceTypeName())));
        return cached;
    }
    if (Failed(cached))
        return FailConnect(cached, StepFailure(u"Failed to cache device information", cached));

    const HRESULT result = QueryDevice(slaveId.DeviceTypeId, cached);
    if (Failed(result))
        return result;

    // From here on every operation on the link keeps to the line's rule for a probe that stops
    // answering; the keep-alive, refused at once by a silent line, tells the loss.
    network.EnableSilenceCheck(PROBE_CHECK_REGISTER, PROBE_CHECK_TIMEOUT_MS);
    CScopedLock lock(m_Lock);
    m_nBusy = 0;
    m_bConnected = 1;
    // 0 stands for no connection; after a wrap the ids go on from 1.
    m_nConnectionId = ++m_nLastConnectionId != 0 ? m_nLastConnectionId : ++m_nLastConnectionId;
    return result;
}

HRESULT CProbeConnection::QueryDevice(USHORT deviceType, HRESULT cached)
{
    NVSystem::CDeviceComm* probe = m_pProbe.load();
    HRESULT result = cached;
    if (deviceType == DEVICE_TYPE_MULTI_SENSOR_PROBE)
    {
        m_pDevice.store(probe->QuerySledraComm());
    }
    else if (deviceType == DEVICE_TYPE_VOX_CORE_IC)
    {
        // Its sensors go into the typed device: without one there is nowhere to put them.
        NVSystem::CVOXCoreICComm* core = probe->QueryVOXCoreICComm();
        m_pDevice.store(core);
        if (core == nullptr)
            return FailConnect(E_FAIL, u"Failed to create the device");
        if (Failed(NVSystem::InitVOXCoreICSensors(core)))
            return FailConnect(E_FAIL, NVSystem::VOXCOREIC_SENSOR_INIT_FAILED);
        result = S_OK;
    }
    else
    {
        m_pDevice.store(probe->QueryVoxProComm());
    }

    NVSystem::CDeviceComm* device = m_pDevice.load();
    if (device == nullptr ||
        (!NVSystem::CSledraComm::IsSledra(device) && !NVSystem::CVoxProComm::IsVoxPro(device) &&
         !NVSystem::CVOXCoreICComm::IsVOXCoreIC(device)))
        return FailConnect(E_FAIL, u"Failed to create the device");
    return result;
}

HRESULT CProbeConnection::DisconnectDevice()
{
    std::unique_lock lock(m_Lock);
    while (m_nBusy != 0)
    {
        lock.unlock();
        if (m_BusyWaitObserver)
            m_BusyWaitObserver();
        m_BusyReleased.Wait(kBusyPollMs);
        lock.lock();
    }
    if (NVSystem::CDeviceComm* device = m_pDevice.exchange(nullptr))
        device->Release();
    if (NVSystem::CDeviceComm* probe = m_pProbe.exchange(nullptr))
        probe->Release();
    SerialLink link{std::move(m_pSerialComm), m_pModbus.exchange(nullptr)};
    CloseSerialLink(link);
    m_bConnected = 0;
    m_nConnectionId = 0;
    m_SlaveId.Clear();
    return S_OK;
}

HRESULT CProbeConnection::ResetCommSettings(USHORT port)
{
    if (IsConnected())
        return E_FAIL;
    DisconnectDevice();

    sCommSettings settings = GetCommSettings();
    settings.Port = port;
    SerialLink link;
    SerialLinkStep failed = SerialLinkStep::None;
    if (const HRESULT hr = OpenSerialLink(settings, link, failed); Failed(hr))
        return hr;
    if (m_ResetPause)
        link.network->SetResetPauseForTests(m_ResetPause);
    const HRESULT result = link.network->ResetDeviceCommunications();
    CloseSerialLink(link);
    DisconnectDevice();

    sCommSettings factory;
    factory.Port = port;
    SetCommSettings(factory);
    return result;
}

void CProbeConnection::ResetDeviceInfo()
{
    CScopedLock lock(m_Lock);
    m_SlaveId.Clear();
}

BOOL CProbeConnection::IsConnected()
{
    CScopedLock lock(m_Lock);
    return m_bConnected != 0 ? TRUE : FALSE;
}

bool CProbeConnection::IsProbeConnected()
{
    CScopedLock lock(m_Lock);
    const NVSystem::CDeviceComm* probe = m_pProbe.load();
    return m_bConnected != 0 && probe != nullptr && probe->IsTagged();
}

ULONG CProbeConnection::GetConnectionId()
{
    CScopedLock lock(m_Lock);
    return m_nConnectionId;
}

BOOL CProbeConnection::IsMarkedSilent()
{
    CScopedLock lock(m_Lock);
    const CModbusComm* network = m_pModbus.load();
    return m_nConnectionId != 0 && network != nullptr && network->IsSilent() ? TRUE : FALSE;
}

BOOL CProbeConnection::IsProbeUnheard()
{
    CScopedLock lock(m_Lock);
    const CModbusComm* network = m_pModbus.load();
    return m_bConnected != 0 && network != nullptr && network->IsUnheard() ? TRUE : FALSE;
}

BOOL CProbeConnection::CheckProbeAnswers()
{
    const NetworkRef network(GetModbusInterface());
    return network == nullptr || network->CheckIfUnheard(m_nAddress.load()) ? TRUE : FALSE;
}

BOOL CProbeConnection::AddBusy(ULONG* connectionId)
{
    CScopedLock lock(m_Lock);
    if (m_bConnected == 0)
        return FALSE;
    ++m_nBusy;
    if (connectionId != nullptr)
        *connectionId = m_nConnectionId;
    return TRUE;
}

BOOL CProbeConnection::ReleaseBusy()
{
    {
        CScopedLock lock(m_Lock);
        if (m_nBusy == 0)
            return FALSE;
        --m_nBusy;
    }
    m_BusyReleased.Set();
    return TRUE;
}

SlaveIdInfo CProbeConnection::GetSlaveId()
{
    CScopedLock lock(m_Lock);
    return m_SlaveId;
}

DeviceRef CProbeConnection::HoldProbe()
{
    CScopedLock lock(m_Lock);
    NVSystem::CDeviceComm* probe = m_pProbe.load();
    if (probe == nullptr || !probe->IsTagged())
        return nullptr;
    probe->AddRef();
    return DeviceRef(probe);
}

void CProbeConnection::SetSlaveId(const SlaveIdInfo& slaveId)
{
    CScopedLock lock(m_Lock);
    m_SlaveId = slaveId;
}

NVSystem::CDeviceComm* CProbeConnection::AcquireProbe()
{
    CScopedLock lock(m_Lock);
    NVSystem::CDeviceComm* probe = m_pProbe.load();
    if (m_bConnected == 0 || probe == nullptr)
        return nullptr;
    probe->AddRef();
    return probe;
}

sCommSettings CProbeConnection::GetCommSettings() const
{
    return {m_nBaudId.load(), m_nDataBitsId.load(), m_nParityId.load(), m_nStopBitsId.load(),
            m_nMode.load(),   m_nAddress.load(),    m_nPort.load()};
}

void CProbeConnection::SetCommSettings(const sCommSettings& settings)
{
    m_nBaudId.store(settings.BaudId);
    m_nDataBitsId.store(settings.DataBitsId);
    m_nParityId.store(settings.ParityId);
    m_nStopBitsId.store(settings.StopBitsId);
    m_nMode.store(settings.Mode);
    m_nAddress.store(settings.Address);
    m_nPort.store(settings.Port);
}

template <typename Sensor>
HRESULT CProbeConnection::GetSensorOf(Sensor* (NVSystem::CDeviceComm::*getter)(), Sensor*& sensor)
{
    NVSystem::CDeviceComm* device = nullptr;
    {
        CScopedLock lock(m_Lock);
        if (m_bConnected == 0)
            return E_FAIL;
        // Held for the call, which runs outside the connection lock: a disconnect meanwhile cannot
        // destroy the device under it. The count needs no device lock, nor do the getters: the
        // connection lock is never held while waiting for a worker's read.
        device = m_pDevice.load();
        device->AddRef();
    }
    sensor = (device->*getter)();
    device->Release();
    return S_OK;
}

HRESULT CProbeConnection::GetVoxProSensor(NVSystem::ISensor_VoxPro*& sensor)
{
    return GetSensorOf(&NVSystem::CDeviceComm::GetVoxProSensor, sensor);
}

HRESULT CProbeConnection::GetConductivitySensor(NVSystem::ISensor_Conductivity*& sensor)
{
    return GetSensorOf(&NVSystem::CDeviceComm::GetConductivitySensor, sensor);
}

HRESULT CProbeConnection::GetLevelSensor(NVSystem::ISensor_PressureTempLevel*& sensor)
{
    return GetSensorOf(&NVSystem::CDeviceComm::GetPressureTempLevelSensor, sensor);
}

HRESULT CProbeConnection::GetPressureDepthSensor(NVSystem::ISensor_PressureDepth*& sensor)
{
    return GetSensorOf(&NVSystem::CDeviceComm::GetPressureDepthSensor, sensor);
}

HRESULT CProbeConnection::GetPHORPSensor(NVSystem::ISensor_pHORP*& sensor)
{
    return GetSensorOf(&NVSystem::CDeviceComm::GetpHORPSensor, sensor);
}

BOOL CProbeConnection::IsMultiSensorProbe()
{
    CScopedLock lock(m_Lock);
    return IsProbeConnected() && (m_SlaveId.DeviceTypeId == DEVICE_TYPE_MULTI_SENSOR_PROBE ||
                                  m_SlaveId.DeviceTypeId == DEVICE_TYPE_VOX_CORE_IC)
               ? TRUE
               : FALSE;
}

CWideString CProbeConnection::GetDeviceTypeName()
{
    const USHORT deviceType = GetSlaveId().DeviceTypeId;
    if (deviceType == 0)
        return CWideString(u"device");
    if (Among(kSkinNamedTypes, deviceType))
    {
        if (const SkinModelNameLookup lookup = g_SkinModelNameLookup.load())
        {
            CWideString name = lookup(deviceType);
            if (!name.IsEmpty())
                return name;
        }
    }
    return CWideString(GetDeviceModelName(deviceType));
}

CWideString CProbeConnection::GetSerialNumberText()
{
    CScopedLock lock(m_Lock);
    if (!IsProbeConnected())
        return CWideString();
    return CWideString(u"%u", static_cast<unsigned>(m_SlaveId.SerialNumber));
}

CModbusComm* CProbeConnection::GetModbusInterface()
{
    // The device's reference keeps it while the network is asked for, outside the connection lock:
    // the network is handed out under the device lock, which a worker may hold across a slow read,
    // and nobody may wait for the connection lock meanwhile.
    DeviceRef probe;
    {
        CScopedLock lock(m_Lock);
        if (!IsProbeConnected())
            return nullptr;
        probe.reset(m_pProbe.load());
        probe->AddRef();
    }
    return probe->GetModbusComm();
}

void CProbeConnection::SetResetPauseForTests(std::function<void(ULONG ms)> pause)
{
    m_ResetPause = std::move(pause);
}

void CProbeConnection::SetBusyWaitObserverForTests(std::function<void()> observer)
{
    m_BusyWaitObserver = std::move(observer);
}

void SetSkinModelNameLookup(SkinModelNameLookup lookup)
{
    g_SkinModelNameLookup.store(lookup);
}

CWideString FormatTextWithErrorCode(const char16_t* text, HRESULT code)
{
    return CWideString(u"%s (error code 0x%08X)", text != nullptr ? text : u"", static_cast<uint32_t>(code));
}

const void* GetAppMainWindow()
{
    return g_pAppMainWindow.load();
}

void SetAppMainWindow(const void* window)
{
    g_pAppMainWindow.store(window);
}
