// Device files of instruments before register map version 3: one file command sequence per
// transfer over the file command registers.
#include "comm/FileCmdSeq.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"

namespace NVSystem
{

HRESULT SendFileCommand(CFileCmdSeq& sequence, USHORT command, CTraceLog& trace, CTransferProgress* progress,
                        const char16_t* failure)
{
    if (sequence.GetNetwork() == nullptr)
        return E_POINTER;
    if (sequence.IsCancelled())
        return MODBUSCOMM_E_CANCELLED;
    HRESULT hr = sequence.SendCommand(command);
    if (Failed(hr))
    {
        trace << TRACE_LEVEL1 << failure << TraceHr(hr) << TRACE_END;
        if (progress != nullptr)
            progress->SetResult(hr);
    }
    if (sequence.IsCancelled())
        hr = MODBUSCOMM_E_CANCELLED;
    return hr;
}

HRESULT CDeviceComm::BeginFileSequence(CFileCmdSeq& sequence, CTransferProgress* progress,
                                       const char16_t* initFailure)
{
    sequence.SetTransferControl(&m_TransferControl);
    sequence.SetProgress(progress);
    sequence.SetTraceLog(m_Trace);
    const HRESULT hr = sequence.Begin();
    if (Failed(hr))
        Trace(TRACE_LEVEL1) << initFailure << TraceHr(hr) << TRACE_END;
    return hr;
}

HRESULT CDeviceComm::ReadFileTransfer(const sTransferLine& line, USHORT fileNumber, CByteBuffer& data)
{
    data.Allocate(0);
    if (line.registerMapVersion >= 3)
        return E_FAIL;
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    Trace(TRACE_LEVEL1) << u" - starting read file.\n" << u"\tFile Id: " << fileNumber << TRACE_END;

    CFileCmdSeq sequence(line.network, line.address, fileNumber, line.writeTimeoutMs, line.readTimeoutMs,
                         line.retries);
    HRESULT hr = BeginFileSequence(sequence, m_pTransferProgress.get(),
                                   u" - Failed to init read file xver command - ");
    if (Failed(hr))
        return hr;
    hr = SendFileCommand(sequence, FILECMD_READ, m_Trace, m_pTransferProgress.get(),
                         u"Failed read file cmd - ");
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - Failed to send read file cmd - " << TraceHr(hr) << TRACE_END;
        return hr;
    }

    hr = sequence.ReadFileData(line.maxPacketSize, data);
    if (Failed(hr))
        Trace(TRACE_LEVEL1) << u" - failed to read file - error: " << TraceHr(hr) << TRACE_END;
    else
        Trace(TRACE_LEVEL1) << u" - read file success" << TRACE_END;
    return hr;
}

HRESULT CDeviceComm::WriteFileTransfer(const sTransferLine& line, USHORT fileNumber, const CByteBuffer& data)
{
    if (line.registerMapVersion >= 3)
        return E_FAIL;
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    Trace(TRACE_LEVEL1) << u" - starting write file.\n"
                        << u"\tFile Id: " << fileNumber << u" #Bytes: " << data.GetLength() << TRACE_END;

    CFileCmdSeq sequence(line.network, line.address, fileNumber, line.writeTimeoutMs, line.readTimeoutMs,
                         line.retries);
    HRESULT hr = BeginFileSequence(sequence, m_pTransferProgress.get(),
                                   u" - Failed to init write file xfer command - ");
    if (Failed(hr))
        return hr;
    if (hr = sequence.WriteTransferSize(data.GetLength()); Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - Failed to send write file size - " << TraceHr(hr) << TRACE_END;
        return hr;
    }
    hr = SendFileCommand(sequence, FILECMD_WRITE, m_Trace, m_pTransferProgress.get(),
                         u"Failed to write file cmd - ");
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - Failed to send write file command - " << TraceHr(hr) << TRACE_END;
        return hr;
    }

    hr = sequence.WriteFileData(line.maxPacketSize, data);
    if (Failed(hr))
        Trace(TRACE_LEVEL1) << u" - failed to write file - error: " << TraceHr(hr) << TRACE_END;
    else
        Trace(TRACE_LEVEL1) << u" - write file success" << TRACE_END;
    return hr;
}

} // namespace NVSystem
