// What the firmware update popup decides and runs, without the window: whether an image file fits
// the connected probe, which question to ask before the flash (upgrade, reinstall or downgrade),
// the percent shown while the flash runs, and the upload worker.
#pragma once

#include <atomic>
#include <thread>

#include "comm/SlaveIdInfo.h"
#include "connection/ProbeConnection.h"
#include "foundation/FirmwareImage.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

enum class EFirmwareFileCheck
{
    Compatible,
    Unreadable,      // missing, unreadable or not a valid image
    WrongDeviceType, // the image is for another device type
    WrongHardware,   // the probe's hardware version lies outside the image's range
};

// Reads and validates the image header at path against the connected probe's identity; on
// Compatible the header goes into info, otherwise info is left as it was.
EFirmwareFileCheck CheckFirmwareFile(const char16_t* path, const SlaveIdInfo& probe, sFirmwareFileInfo& info);
// The warning text of a refused file ("Unable to read firmware header." ...); empty for Compatible.
CWideString FirmwareCheckMessage(EFirmwareFileCheck check, const CWideString& deviceTypeName,
                                 USHORT hardwareVersion);

enum class EFirmwareChange
{
    Upgrade,
    Reinstall,
    Downgrade,
};

EFirmwareChange CompareFirmwareVersions(USHORT newVersion, USHORT currentVersion);
// The confirmation question of the change; the current version shows as "[none]" when it is 0.
CWideString FirmwareConfirmText(EFirmwareChange change, const CWideString& deviceTypeName,
                                USHORT currentVersion, USHORT newVersion);
// The version as the windows show it ("%3.2f"), "[none]" for 0.
CWideString FirmwareVersionText(USHORT version);

// The percent shown while the flash runs: 100 only once the worker has finished (99 before), and 1
// as soon as some bytes have moved.
USHORT ShownFirmwarePercent(USHORT percent, ULONG bytesDone);

// The worker that flashes the image and then reads the probe's identity afresh into the
// connection. The result is written before the finished state is published, so whoever sees
// Finished() sees the flash's own result.
class CFirmwareUpload
{
public:
    enum EState
    {
        STATE_IDLE = 0,
        STATE_UPLOADING = 1,
        STATE_FINISHED = 2,
    };

    explicit CFirmwareUpload(CProbeConnection& connection = theProbeConnection);
    // Waits for the worker.
    ~CFirmwareUpload();
    CFirmwareUpload(const CFirmwareUpload&) = delete;
    CFirmwareUpload& operator=(const CFirmwareUpload&) = delete;

    // Starts the flash of the image on the connection's device object (held by a reference of
    // the worker's own for the whole flash); false when the thread cannot be had.
    bool Start(const CWideString& path);
    EState GetState() const { return static_cast<EState>(m_nState.load(std::memory_order_acquire)); }
    bool Finished() const { return GetState() == STATE_FINISHED; }
    // The flash's result (or that of the identity read after a successful flash); valid once
    // Finished.
    HRESULT GetResult() const { return m_Result; }
    // The transfer's progress; E_FAIL without a device object.
    HRESULT GetProgress(USHORT& percent, ULONG& bytesDone);
    // Asks the running transfer to stop; the worker then ends with the cancel's result.
    HRESULT Cancel();
    // Waits for the worker without a time limit.
    void Wait();

private:
    void Run(NVSystem::CDeviceComm* probe, CWideString path);

    CProbeConnection& m_Connection;
    DeviceRef m_pProbe; // from Start until destruction
    std::atomic<int> m_nState{STATE_IDLE};
    HRESULT m_Result = S_OK; // written by the worker before it publishes STATE_FINISHED
    std::thread m_thread;
};
