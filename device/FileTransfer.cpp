// The transfer scope that frames every file transfer, note write and flash of a device, the
// public file operations and what the user interface asks while a transfer runs (progress, cancel).
#include "device/FileTransfer.h"

#include <memory>

#include "device/DeviceComm.h"

namespace NVSystem
{

namespace
{

struct NetworkReference
{
    void operator()(CModbusComm* network) const { network->Release(); }
};

} // namespace

HRESULT CDeviceComm::RunTransferScope(uint32_t guards,
                                      const std::function<HRESULT(const sTransferLine&)>& operation)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    bool active = false;
    try
    {
        // Fail fast, before waiting for a transfer that may run for minutes.
        {
            CScopedLock lock(m_DeviceLock);
            if (const HRESULT hr = CheckGuards(guards); Failed(hr))
                return hr;
        }

        // The file-transfer lock lies outside the device lock: it is never waited for while the
        // device lock is held, so a transfer on another thread can always finish its steps.
        CScopedLock transfer(m_FileTransferLock);
        sTransferLine line;
        {
            CScopedLock lock(m_DeviceLock);
            if (const HRESULT hr = CheckGuards(guards); Failed(hr))
                return hr;
            line.network = m_pNetwork.load();
            if (line.network == nullptr || !line.network->IsTagged())
                return MODBUSCOMM_E_NO_CONNECTION;
            line.network->AddRef();
            line.address = Address();
            line.retries = m_nRetryCount;
            line.readTimeoutMs = m_nReadTimeout;
            line.writeTimeoutMs = m_nWriteTimeout;
            line.registerMapVersion = m_SlaveId.RegisterMapVersion;
            line.maxPacketSize = m_SlaveId.MaxPacketSize;
        }
        const std::unique_ptr<CModbusComm, NetworkReference> reference(line.network);

        SetFileTransferActive(true);
        active = true;
        m_pTransferProgress->Start();
        m_TransferControl.Reset();

        HRESULT hr = S_OK;
        try
        {
            hr = operation(line);
        }
        catch (...)
        {
            hr = MODBUSCOMM_E_EXCEPTION_CDEVICE;
        }

        m_pTransferProgress->SetResult(hr);
        m_pTransferProgress->Stop();
        SetFileTransferActive(false);
        return hr;
    }
    catch (...)
    {
        if (active)
            SetFileTransferActive(false);
        return MODBUSCOMM_E_EXCEPTION_CDEVICE;
    }
}

HRESULT CDeviceComm::GetFileTransferProgress(USHORT& percent, ULONG& total, ULONG& done, ULONG& state,
                                             double& secondsLeft, HRESULT& result)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    percent = 0;
    total = 0;
    done = 0;
    state = 0;
    secondsLeft = 0.0;
    result = S_OK;
    if (!m_pTransferProgress)
        return E_POINTER;
    const CTransferProgress::sSnapshot snapshot = m_pTransferProgress->Get();
    percent = snapshot.percent;
    total = snapshot.total;
    done = snapshot.done;
    result = snapshot.result;
    secondsLeft = snapshot.SecondsLeft();
    return S_OK;
}

HRESULT CDeviceComm::CancelFileTransfer()
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    if (!IsFileTransferActive())
        return S_OK;
    return Guarded(GUARDS_ALL,
                   [&]
                   {
                       Trace(TRACE_LEVEL1) << u" - starting file transfer cancel (Async)." << TRACE_END;
                       m_TransferControl.RequestCancel();
                       Trace(TRACE_LEVEL1) << u" - file transfer cancel posted (Async)." << TRACE_END;
                       return S_OK;
                   });
}

HRESULT CDeviceComm::ReadDeviceFile(USHORT fileNumber, CByteBuffer& data)
{
    data.Allocate(0);
    auto read = [&](const sTransferLine& line)
    {
        HRESULT hr = S_OK;
        if (line.registerMapVersion >= 3)
        {
            sFileCommand request(FILECMD_READ, fileNumber, 0);
            hr = ExtendedFileRead(line, request, data);
        }
        else
        {
            hr = ReadFileTransfer(line, fileNumber, data);
        }
        if (Failed(hr))
            Trace(TRACE_LEVEL1) << u" - failed to read file - error: " << TraceHr(hr) << TRACE_END;
        else
            Trace(TRACE_LEVEL1) << u" - read file success" << TRACE_END;
        return hr;
    };
    const HRESULT hr = RunTransferScope(GUARDS_ALL, read);
    // Part of a file must not pass for the file, whichever generation moved it.
    if (Failed(hr))
        data.Allocate(0);
    return hr;
}

HRESULT CDeviceComm::WriteDeviceFile(USHORT fileNumber, const CByteBuffer& data)
{
    return RunTransferScope(GUARDS_ALL,
                            [&](const sTransferLine& line)
                            {
                                if (line.registerMapVersion >= 3)
                                {
                                    sFileCommand request(FILECMD_WRITE, fileNumber, data.GetLength());
                                    return ExtendedFileWrite(line, request, data);
                                }
                                return WriteFileTransfer(line, fileNumber, data);
                            });
}

} // namespace NVSystem
