// The firmware flash of a device: the image checked and validated, the instrument restarted into
// its boot code, the image sent, and the device read afresh once the new application runs.
#include "device/FirmwareFlash.h"

#include "comm/ModbusLengthRules.h"
#include "device/CacheSettings.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "foundation/CommTimeouts.h"
#include "foundation/FirmwareImage.h"
#include "foundation/PathTools.h"
#include "platform/Clock.h"

namespace NVSystem
{

namespace
{

constexpr BYTE kWriteFileBlock = 101;
constexpr USHORT kWriteBlockForm = 0;
constexpr BYTE kBootCodeRunning = 0;
// Report Slave ID while the instrument restarts: one short attempt at a time.
constexpr ULONG kIdentityPollTimeoutMs = 500;
constexpr USHORT kIdentityPollRetries = 0;
// Between two polls that did not find the boot code, so that an application still answering (or a
// line that fails at once) is not asked in a tight loop.
constexpr uint64_t kIdentityPollPauseMs = 20;

} // namespace

HRESULT CDeviceComm::UpdateFirmware(const char16_t* path)
{
    // A device found in its boot code can be flashed: no application-firmware guard.
    return RunTransferScope(GUARDS_LINK_CHANGED,
                            [&](const sTransferLine& line) { return FlashFirmware(line, path); });
}

HRESULT CDeviceComm::FlashFirmware(const sTransferLine& line, const char16_t* path)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    if (path == nullptr)
        return E_POINTER;
    if (path[0] == 0)
        return MODBUSCOMM_E_INVALID_PATH;
    if (!FileExists(path))
        return MODBUSCOMM_E_FILE_DOES_NOT_EXIST;
    Trace(TRACE_LEVEL1) << u" - begin flash\n" << u"\tFile: " << path << TRACE_END;

    if (const HRESULT hr = GetSerialNumber(); Failed(hr))
        return hr;
    if (m_TransferControl.IsCancelRequested())
    {
        Trace(TRACE_LEVEL1) << u" - Flash cancelled" << TRACE_END;
        return MODBUSCOMM_E_CANCELLED;
    }

    // The bytes validated here are the bytes sent: the file is not read a second time, so a file
    // changed in between cannot slip past the checks.
    CFirmwareImage file;
    if (const HRESULT hr = file.LoadFile(path); Failed(hr))
    {
        m_Trace << TRACE_LEVEL1 << u"Failed to load flash file - " << TraceHr(hr) << TRACE_END;
        return MODBUSCOMM_E_INVALID_FLASH_FILE;
    }
    const SlaveIdInfo held = HeldSlaveId();
    const int32_t hardware = held.HardwareVersion;
    if (hardware < file.GetLowestHardwareVersion() || hardware > file.GetHighestHardwareVersion())
    {
        Trace(TRACE_LEVEL1) << u" - Hardware incompatibility" << TRACE_END;
        return MODBUSCOMM_E_INVALID_FLASH_VERSION;
    }
    sFlashImage image;
    image.data = file.GetData();
    image.size = file.GetSize();
    image.firmwareVersion = file.GetFirmwareVersion();

    // The switch and the transfer run once, whatever the retry count: each request carries the
    // retries itself.
    if (held.RunIndicator != kBootCodeRunning)
    {
        if (const HRESULT hr = SwitchToBootCode(line); Failed(hr))
            return hr;
    }

    ULONG mode = 0;
    if (const HRESULT hr = line.network->GetTransmissionMode(mode); Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed to get protocol mode - hr: " << TraceHr(hr) << TRACE_END;
        return hr;
    }
    // From here on the boot code's identity decides: its packet size and its transfer generation.
    const SlaveIdInfo boot = HeldSlaveId();
    sTransferLine bootLine = line;
    bootLine.registerMapVersion = boot.RegisterMapVersion;
    bootLine.maxPacketSize = boot.MaxPacketSize;
    const ULONG blockSize = GetMaxPayloadSize(boot.MaxPacketSize, mode, kWriteFileBlock, kWriteBlockForm);
    m_pTransferProgress->SetTotal(image.size);
    if (const HRESULT hr = PlanFlashBlocks(image.data, image.size, blockSize, image.blocks); Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed to calculate msg payload - " << TraceHr(hr) << TRACE_END;
        return hr;
    }

    HRESULT hr = S_OK;
    if (bootLine.registerMapVersion < 3)
    {
        hr = FlashFirmwareSis12(bootLine, image);
    }
    else
    {
        hr = FlashFirmwareSis3(bootLine, image);
        if (hr == MODBUSCOMM_E_FLASH_FIRST_BLOCK || hr == MODBUSCOMM_E_INVALID_FILE_NUMBER)
        {
            // A refusal at the start is no failure only when the instrument already runs the
            // image's firmware; any other answer leaves the transfer's failure standing.
            SlaveIdInfo fresh;
            const HRESULT id = line.network->ReportSlaveId(line.address, fresh, kIdentityPollTimeoutMs,
                                                           kIdentityPollRetries);
            if (Failed(id))
            {
                m_Trace << TRACE_LEVEL1 << u"Failed to update the slave id record after flash - "
                        << TraceHr(id) << TRACE_END;
            }
            else
            {
                StoreSlaveId(fresh);
                if (fresh.RunIndicator == SLAVEID_RUN_APPLICATION &&
                    static_cast<int32_t>(fresh.FirmwareVersion) == image.firmwareVersion)
                    hr = S_OK;
            }
        }
    }

    // The instrument restarts after the transfer, whatever its outcome; one that was found silent
    // is not waited for.
    if (!line.network->IsSilent())
        platform::SleepMs(ReadCommTunable(CommTunable::RebootToAppDelay));
    if (Failed(hr))
    {
        m_Trace << TRACE_LEVEL1 << u"Failed to update the device with new application firmware - "
                << TraceHr(hr) << TRACE_END;
        return hr;
    }
    Trace(TRACE_LEVEL1) << u" - flash success." << TRACE_END;
    return RefreshAfterFlash();
}

HRESULT CDeviceComm::SwitchToBootCode(const sTransferLine& line)
{
    Trace(TRACE_LEVEL1) << u" - kicking down to boot code" << TRACE_END;
    const bool handshake = line.registerMapVersion < 3;
    USHORT commandRegister = 0;
    {
        CScopedLock lock(m_DeviceLock);
        commandRegister = m_RegisterMap.DeviceCommand;
    }
    auto writeCommand = [&](USHORT value)
    {
        return line.network->WriteUShort(line.address, commandRegister, value, line.writeTimeoutMs,
                                         line.retries);
    };
    // Older instruments keep an armed command register until it is written back to 0.
    auto giveUp = [&](HRESULT hr)
    {
        if (handshake)
            writeCommand(0);
        return hr;
    };
    auto cancelled = [&]
    {
        Trace(TRACE_LEVEL1) << u" - flash operation cancelled" << TRACE_END;
        return giveUp(MODBUSCOMM_E_CANCELLED);
    };

    if (handshake)
    {
        if (const HRESULT hr = writeCommand(1); Failed(hr))
        {
            m_Trace << TRACE_LEVEL1 << u"Failed to start device command - " << TraceHr(hr) << TRACE_END;
            return giveUp(hr);
        }
    }
    if (m_TransferControl.IsCancelRequested())
        return cancelled();
    HRESULT hr = writeCommand(DEVCMD_SWITCH_TO_BOOT);
    if (Succeeded(hr))
    {
        if (m_TransferControl.IsCancelRequested())
            return cancelled();
        hr = WaitForBootCode(line);
    }
    if (hr == MODBUSCOMM_E_CANCELLED)
        return cancelled();
    if (hr == MODBUSCOMM_E_SWITCH_TO_BOOT_FAILED)
    {
        Trace(TRACE_LEVEL1) << u" - switch to boot failed" << TRACE_END;
        return giveUp(hr);
    }
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed to read slave-id after reboot" << TRACE_END;
        return giveUp(hr);
    }
    return hr;
}

HRESULT CDeviceComm::WaitForBootCode(const sTransferLine& line)
{
    // A wake-up frame would only be lost on an instrument that is restarting.
    CModbusComm& network = *line.network;
    const bool wakeUp = network.IsAutoWakeUpEnabled() != FALSE;
    network.DisableAutoWakeUp();
    // Nor is the instrument silent while it restarts: the polls go on until the boot code answers.
    const CModbusComm::CSilenceCheckPause pause(network);

    // Until the boot code itself answers: the application may still answer before it restarts.
    // The result is the last poll's: no reply at all, or the application still running.
    HRESULT result = MODBUSCOMM_E_SWITCH_TO_BOOT_FAILED;
    const platform::CTickStopwatch waited;
    for (;;)
    {
        if (waited.ElapsedMs() >= ReadCommTunable(CommTunable::RebootToBootDelay))
            break;
        if (m_TransferControl.IsCancelRequested())
        {
            result = MODBUSCOMM_E_CANCELLED;
            break;
        }
        SlaveIdInfo reply;
        const HRESULT hr =
            network.ReportSlaveId(line.address, reply, kIdentityPollTimeoutMs, kIdentityPollRetries);
        if (Succeeded(hr))
        {
            StoreSlaveId(reply);
            if (reply.RunIndicator == kBootCodeRunning)
            {
                result = S_OK;
                break;
            }
            result = MODBUSCOMM_E_SWITCH_TO_BOOT_FAILED;
        }
        else
        {
            result = hr;
        }
        platform::SleepMs(kIdentityPollPauseMs);
    }

    if (wakeUp)
        network.EnableAutoWakeUp();
    return result;
}

HRESULT CDeviceComm::RefreshAfterFlash()
{
    {
        CScopedLock lock(m_DeviceLock);
        m_pCacheSettings->Reset();
        DeleteSensorCache(); // built afresh when next needed
    }
    if (const HRESULT hr = UpdateSlaveId(); Failed(hr))
    {
        m_Trace << TRACE_LEVEL1 << u"Failed to update the slave id record after flash - " << TraceHr(hr)
                << TRACE_END;
        return hr;
    }
    // The new firmware may place its registers by another template; an instrument without the
    // register has none (0), and a read that failed leaves the one held.
    USHORT templateVersion = 0;
    const HRESULT read = GetRegisterMapTemplateVersion(templateVersion);
    if (Succeeded(read) || read == MODBUSCOMM_E_NOT_SUPPORTED)
    {
        CScopedLock lock(m_DeviceLock);
        m_nProbeRegisterMapVersion = Succeeded(read) ? templateVersion : 0;
    }
    InitRegisterMap();
    const HRESULT hr = UpdateCache();
    if (Failed(hr))
        m_Trace << TRACE_LEVEL1 << u"Failed to cache static values after flash - " << TraceHr(hr)
                << TRACE_END;
    else
        Trace(TRACE_LEVEL1) << u" - flash complete" << TRACE_END;
    return hr;
}

} // namespace NVSystem
