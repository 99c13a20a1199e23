// The image sent to the boot code: through the file command registers when the boot code's register
// map version is below 3, through the extended file request from 3 on, in the blocks planned for it.
#include "comm/FileCmdSeq.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "device/FirmwareFlash.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

HRESULT CDeviceComm::FlashFirmwareSis12(const sTransferLine& line, const sFlashImage& image)
{
    if (image.size == 0)
        return MODBUSCOMM_E_INVALID_FLASH_FILE;
    Trace(TRACE_LEVEL1) << u" - in boot code - starting flash update SIS 1&2" << TRACE_END;

    // The sequence's destructor closes it with 0, which tells the boot code that the image is whole.
    CFileCmdSeq sequence(line.network, line.address, FIRMWARE_FILE_ID, line.writeTimeoutMs,
                         line.readTimeoutMs, line.retries);
    auto cancelled = [&]
    {
        Trace(TRACE_LEVEL1) << u" - flash cancelled" << TRACE_END;
        return MODBUSCOMM_E_CANCELLED;
    };

    HRESULT hr = BeginFileSequence(sequence, nullptr, u" - Failed to init write file xfer command - ");
    if (Failed(hr))
        return hr;
    if (hr = sequence.WriteTransferSize(image.size); Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed to set xfer size - " << TraceHr(hr) << TRACE_END;
        return hr;
    }
    if (m_TransferControl.IsCancelRequested())
        return cancelled();
    if (hr = sequence.SendCommand(FILECMD_WRITE); Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed write file cmd - " << TraceHr(hr) << TRACE_END;
        return hr;
    }
    if (m_TransferControl.IsCancelRequested())
        return cancelled();
    return WriteFlashBlocks(line, image);
}

HRESULT CDeviceComm::FlashFirmwareSis3(const sTransferLine& line, const sFlashImage& image)
{
    if (image.size == 0)
        return MODBUSCOMM_E_INVALID_FLASH_FILE;
    Trace(TRACE_LEVEL1) << u" - in boot code - starting flash update SIS 3" << TRACE_END;

    sFileCommand request(FILECMD_WRITE, FIRMWARE_FILE_ID, image.size);
    line.network->WakeUpNetwork();
    HRESULT hr =
        line.network->ExtendedFileRequest(line.address, request, GetFileWriteCfgCmdTimeout(), line.retries);
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed extended file setup write cmd - error: " << TraceHr(hr)
                            << TRACE_END;
        return hr;
    }
    if (m_TransferControl.IsCancelRequested())
    {
        Trace(TRACE_LEVEL1) << u" - write file transfer cancelled." << TRACE_END;
        ReturnFileSetupToIdle(line, FIRMWARE_FILE_ID);
        return MODBUSCOMM_E_CANCELLED;
    }
    hr = WriteFlashBlocks(line, image);
    // The return to idle also tells the boot code that the image is whole.
    ReturnFileSetupToIdle(line, FIRMWARE_FILE_ID);
    return hr;
}

HRESULT CDeviceComm::WriteFlashBlocks(const sTransferLine& line, const sFlashImage& image)
{
    if (image.size == 0)
        return S_OK;
    // The first block makes the boot code erase the application area before it answers.
    const ULONG eraseTimeout = ReadCommTunable(CommTunable::FlashEraseAppTO);
    const ULONG blockTimeout = ReadCommTunable(CommTunable::FlashBlkWriteTO);
    HRESULT hr = S_OK;
    ULONG offset = 0;
    CByteBuffer block; // one block for every request
    for (const ULONG length : image.blocks)
    {
        if (length == 0 || length > image.size - offset)
            return MODBUSCOMM_E_MAX_PACKET;
        const ULONG timeout = offset == 0 ? eraseTimeout : blockTimeout;
        block.Clear();
        if (!block.Append(length, image.data + offset))
            return E_OUTOFMEMORY;
        hr = line.network->WriteFileBlock(line.address, offset, block, timeout, line.retries);
        if (Failed(hr))
        {
            Trace(TRACE_LEVEL1) << u" - failed to write flash blk at byte: " << offset << u" hr: "
                                << TraceHr(hr) << TRACE_END;
            return offset == 0 ? MODBUSCOMM_E_FLASH_FIRST_BLOCK : hr;
        }
        if (m_TransferControl.IsCancelRequested())
        {
            Trace(TRACE_LEVEL1) << u" - flash cancelled" << TRACE_END;
            return MODBUSCOMM_E_CANCELLED;
        }
        offset += length;
        m_pTransferProgress->SetDone(offset);
    }
    // A plan that does not cover the image would leave the boot code with part of it.
    return offset == image.size ? hr : MODBUSCOMM_E_MAX_PACKET;
}

} // namespace NVSystem
