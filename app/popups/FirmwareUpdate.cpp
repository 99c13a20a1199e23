#include "app/popups/FirmwareUpdate.h"

#include <system_error>

#include "comm/ModbusComm.h"
#include "foundation/CommTimeouts.h"
#include "foundation/ParameterRecords.h"
#include "foundation/ResultCodes.h"
#include "platform/Clock.h"

namespace
{

constexpr USHORT kPercentDone = 100;
constexpr char16_t kNoVersion[] = u"[none]";

// A flash that stopped short (cancelled while the probe restarted into its boot code, or failed)
// leaves the probe wherever it got to, and possibly deaf while it restarts: its identity is read
// afresh until it answers, for as long as a probe takes to come back in its boot code, so that the
// connection knows whether an application still runs. Deaf by design meanwhile, it is not taken
// for silent; one that the line has found silent already is sent nothing.
void AwaitIdentity(NVSystem::CDeviceComm& probe)
{
    CModbusComm* network = probe.GetModbusComm();
    if (network == nullptr)
        return;
    if (!network->IsSilent())
    {
        const CModbusComm::CSilenceCheckPause pause(*network);
        const platform::CTickStopwatch waited;
        const uint32_t patience = ReadCommTunable(CommTunable::RebootToBootDelay);
        while (probe.UpdateSlaveId() == SERIALCOMM_E_READ_TIMEOUT && waited.ElapsedMs() < patience)
        {
        }
    }
    network->Release();
}

} // namespace

EFirmwareFileCheck CheckFirmwareFile(const char16_t* path, const SlaveIdInfo& probe, sFirmwareFileInfo& info)
{
    CFirmwareImage image;
    if (path == nullptr || Failed(image.LoadFile(path)))
        return EFirmwareFileCheck::Unreadable;
    if (image.GetDeviceTypeId() != probe.DeviceTypeId)
        return EFirmwareFileCheck::WrongDeviceType;
    if (probe.HardwareVersion < image.GetLowestHardwareVersion() ||
        probe.HardwareVersion > image.GetHighestHardwareVersion())
        return EFirmwareFileCheck::WrongHardware;
    info.path = path;
    info.deviceTypeId = static_cast<DeviceTypeId>(image.GetDeviceTypeId());
    info.firmwareVersion = static_cast<uint16_t>(image.GetFirmwareVersion());
    info.lowestHardwareVersion = static_cast<uint16_t>(image.GetLowestHardwareVersion());
    info.highestHardwareVersion = static_cast<uint16_t>(image.GetHighestHardwareVersion());
    return EFirmwareFileCheck::Compatible;
}

CWideString FirmwareCheckMessage(EFirmwareFileCheck check, const CWideString& deviceTypeName,
                                 USHORT hardwareVersion)
{
    switch (check)
    {
    case EFirmwareFileCheck::Unreadable:
        return CWideString(u"Unable to read firmware header.");
    case EFirmwareFileCheck::WrongDeviceType:
        return CWideString(u"Firmware not compatible with %s.", static_cast<const char16_t*>(deviceTypeName));
    case EFirmwareFileCheck::WrongHardware:
        return CWideString(u"Firmware not compatible with hardware version %u.",
                           static_cast<unsigned>(hardwareVersion));
    default:
        return CWideString();
    }
}

EFirmwareChange CompareFirmwareVersions(USHORT newVersion, USHORT currentVersion)
{
    if (newVersion > currentVersion)
        return EFirmwareChange::Upgrade;
    if (newVersion == currentVersion)
        return EFirmwareChange::Reinstall;
    return EFirmwareChange::Downgrade;
}

CWideString FirmwareVersionText(USHORT version)
{
    return version == 0 ? CWideString(kNoVersion) : CWideString(GetVersionText(version));
}

CWideString FirmwareConfirmText(EFirmwareChange change, const CWideString& deviceTypeName,
                                USHORT currentVersion, USHORT newVersion)
{
    const CWideString current = FirmwareVersionText(currentVersion);
    const CWideString next = FirmwareVersionText(newVersion);
    const char16_t* name = deviceTypeName;
    switch (change)
    {
    case EFirmwareChange::Upgrade:
        return CWideString(u"Are you sure you want to upgrade the %s firmware from version %s to version %s?",
                           name, static_cast<const char16_t*>(current), static_cast<const char16_t*>(next));
    case EFirmwareChange::Reinstall:
        return CWideString(
            u"The selected firmware version is the same as the current %s firmware. Are you sure "
            u"you want to reinstall version %s?",
            name, static_cast<const char16_t*>(next));
    default:
        return CWideString(
            u"WARNING: The selected firmware version is older than the current version.\n\nAre "
            u"you sure you want to downgrade the %s firmware from version %s to version %s?",
            name, static_cast<const char16_t*>(current), static_cast<const char16_t*>(next));
    }
}

USHORT ShownFirmwarePercent(USHORT percent, ULONG bytesDone)
{
    if (percent >= kPercentDone)
        return kPercentDone - 1;
    if (percent == 0 && bytesDone > 0)
        return 1;
    return percent;
}

CFirmwareUpload::CFirmwareUpload(CProbeConnection& connection) : m_Connection(connection) {}

CFirmwareUpload::~CFirmwareUpload()
{
    Wait();
}

bool CFirmwareUpload::Start(const CWideString& path)
{
    Wait();
    if (m_pProbe == nullptr)
    {
        // A probe in boot code is open but not connected: its object is taken as it stands.
        m_pProbe = m_Connection.HoldProbe();
    }
    m_nState.store(STATE_UPLOADING, std::memory_order_release);
    try
    {
        m_thread = std::thread(&CFirmwareUpload::Run, this, m_pProbe.get(), path);
    }
    catch (const std::system_error&)
    {
        m_nState.store(STATE_IDLE, std::memory_order_release);
        return false;
    }
    return true;
}

void CFirmwareUpload::Run(NVSystem::CDeviceComm* probe, CWideString path)
{
    HRESULT result = E_FAIL;
    if (probe != nullptr && probe->IsTagged())
    {
        result = probe->UpdateFirmware(path);
        if (Failed(result) && probe->IsTagged())
            AwaitIdentity(*probe);
        SlaveIdInfo slaveId;
        const HRESULT identified = probe->IsTagged() ? probe->GetSlaveId(slaveId) : E_FAIL;
        if (Succeeded(identified))
            m_Connection.SetSlaveId(slaveId);
        if (Succeeded(result))
            result = identified;
    }
    m_Result = result;
    m_nState.store(STATE_FINISHED, std::memory_order_release);
}

HRESULT CFirmwareUpload::GetProgress(USHORT& percent, ULONG& bytesDone)
{
    if (m_pProbe == nullptr)
        return E_FAIL;
    ULONG total = 0;
    ULONG state = 0;
    double secondsLeft = 0;
    HRESULT transferResult = S_OK;
    return m_pProbe->GetFileTransferProgress(percent, total, bytesDone, state, secondsLeft, transferResult);
}

HRESULT CFirmwareUpload::Cancel()
{
    return m_pProbe != nullptr ? m_pProbe->CancelFileTransfer() : E_FAIL;
}

void CFirmwareUpload::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
