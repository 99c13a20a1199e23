// Device files of instruments from register map version 3 on: a function-102 setup that names the
// command and the file, function-100 or function-101 blocks at byte offsets, and a function-102
// request that returns the file machinery to idle.
#include <algorithm>
#include <new>
#include <vector>

#include "comm/FileCmdSeq.h"
#include "comm/ModbusLengthRules.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

constexpr BYTE kReadFileBlock = 100;
constexpr BYTE kWriteFileBlock = 101;
constexpr USHORT kLongReplyForm = 2;  // reply data followed by the end-of-file byte
constexpr USHORT kWriteBlockForm = 0; // the write has no reply form of its own

// The request lines of a trace record; numbers in hexadecimal or decimal.
void TraceRequest(CTraceLog& trace, const sFileCommand& request, bool hex, ULONG timeoutMs, USHORT retries)
{
    auto number = [&](ULONG value) -> CTraceLog&
    {
        if (hex)
            trace << TRACE_HEX;
        return trace << value;
    };
    trace << u"Command: ";
    number(request.Command) << u"\nFile#: ";
    number(request.FileNumber) << u"\nStart: " << request.Start.Format() << u"\nStop:  "
                               << request.Stop.Format() << u"\nSize:  ";
    number(request.Size) << u"\nCmd TO(ms): ";
    number(timeoutMs) << u" Retry: ";
    number(retries);
}

} // namespace

HRESULT CDeviceComm::ReturnFileSetupToIdle(const sTransferLine& line, USHORT fileNumber)
{
    sFileCommand request(FILECMD_IDLE, fileNumber, 0);
    const HRESULT hr =
        line.network->ExtendedFileRequest(line.address, request, GetFileWriteCmdTimeout(), line.retries);
    if (Failed(hr))
        Trace(TRACE_LEVEL1) << u" - failed extended file setup write cmd, return to idle - error: "
                            << TraceHr(hr) << TRACE_END;
    return hr;
}

HRESULT CDeviceComm::SetUpExtendedTransfer(const sTransferLine& line, sFileCommand& request,
                                           ULONG commandTimeoutMs, const char16_t* setupFailure,
                                           const char16_t* cancelled)
{
    const HRESULT hr =
        line.network->ExtendedFileRequest(line.address, request, commandTimeoutMs, line.retries);
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << setupFailure << TraceHr(hr) << TRACE_END;
        return hr;
    }
    if (m_TransferControl.IsCancelRequested())
    {
        Trace(TRACE_LEVEL1) << cancelled << TRACE_END;
        ReturnFileSetupToIdle(line, request.FileNumber);
        return MODBUSCOMM_E_CANCELLED;
    }
    return hr;
}

HRESULT CDeviceComm::ExtendedFileRead(const sTransferLine& line, sFileCommand& request, CByteBuffer& data)
{
    const ULONG commandTimeout = GetFileReadCmdTimeout();
    if (!IsFileReadCommand(request.Command))
        return MODBUSCOMM_E_UNKNOWN_FILE_ERROR;
    {
        CTraceLog& trace = Trace(TRACE_LEVEL1) << u" - Starting file read...\n";
        TraceRequest(trace, request, true, commandTimeout, line.retries);
        trace << TRACE_END;
    }

    HRESULT hr = SetUpExtendedTransfer(line, request, commandTimeout,
                                       u" - failed extended file setup read cmd - error: ",
                                       u" - read file transfer cancelled.");
    if (Failed(hr))
        return hr;
    {
        CTraceLog& trace = Trace(TRACE_LEVEL1) << u" - file read cmd response:\n";
        TraceRequest(trace, request, true, commandTimeout, line.retries);
        trace << TRACE_END;
    }

    // From here on the instrument is set up for the transfer: every way out returns it to idle.
    ULONG mode = 0;
    if (hr = line.network->GetTransmissionMode(mode); Failed(hr))
    {
        ReturnFileSetupToIdle(line, request.FileNumber);
        return hr;
    }
    const ULONG total = request.Size;
    const ULONG blockSize = GetMaxPayloadSize(line.maxPacketSize, mode, kReadFileBlock, kLongReplyForm);
    // A packet too small to carry a byte of the file would make the block loop stand still.
    if (blockSize == 0 && total != 0)
    {
        Trace(TRACE_LEVEL1) << u" - failed to calculate msg payload - " << TraceHr(MODBUSCOMM_E_MAX_PACKET)
                            << TRACE_END;
        ReturnFileSetupToIdle(line, request.FileNumber);
        return MODBUSCOMM_E_MAX_PACKET;
    }

    // Nothing is set aside for the size the instrument announces: the bytes gather as they arrive,
    // and a size no device file can have is refused outright.
    data.Allocate(0);
    if (total > DEVICE_FILE_SIZE_LIMIT)
    {
        Trace(TRACE_LEVEL1) << u" - failed to init read buffer." << TRACE_END;
        ReturnFileSetupToIdle(line, request.FileNumber);
        return MODBUSCOMM_E_FILE_TOO_LARGE;
    }
    m_pTransferProgress->Start();
    m_pTransferProgress->SetTotal(total);

    const ULONG blockTimeout = GetFileReadBlkTimeout();
    std::vector<uint8_t> received;
    ULONG offset = 0;
    CByteBuffer block; // one block for every request
    try
    {
        while (offset < total)
        {
            const ULONG length = std::min(total - offset, blockSize);
            if (m_TransferControl.IsCancelRequested())
            {
                Trace(TRACE_LEVEL1) << u" - Read File Xfer cancelled" << TRACE_END;
                hr = MODBUSCOMM_E_CANCELLED;
                break;
            }
            hr = line.network->ReadFileBlock(line.address, offset, static_cast<USHORT>(length), block,
                                             blockTimeout, line.retries, kLongReplyForm);
            if (m_TransferControl.IsCancelRequested())
            {
                Trace(TRACE_LEVEL1) << u" - Read File Xfer cancelled" << TRACE_END;
                hr = MODBUSCOMM_E_CANCELLED;
                break;
            }
            if (Failed(hr))
            {
                Trace(TRACE_LEVEL1) << u" - Failed to read blk - " << TraceHr(hr) << TRACE_END;
                break;
            }
            if (block.GetLength() < 2)
            {
                Trace(TRACE_LEVEL1) << u" - Empty read" << TRACE_END;
                hr = MODBUSCOMM_E_EMPTY_READ;
                break;
            }
            // The reply's last byte is the end-of-file flag, not file data. A shorter block is what
            // the instrument had ready; only more than was asked cannot belong to the request.
            const ULONG fileBytes = block.GetLength() - 1;
            if (fileBytes > length)
            {
                Trace(TRACE_LEVEL1) << u" - Block of " << fileBytes << u" bytes for " << length << TRACE_END;
                hr = MODBUSCOMM_E_INVALID_RESPONSE_LENGTH;
                break;
            }
            received.insert(received.end(), block.GetData(), block.GetData() + fileBytes);
            offset += fileBytes;
            m_pTransferProgress->SetDone(offset);
        }
    }
    catch (const std::bad_alloc&)
    {
        hr = E_OUTOFMEMORY;
    }
    if (Succeeded(hr) && !received.empty() &&
        !data.Append(static_cast<uint32_t>(received.size()), received.data()))
        hr = E_OUTOFMEMORY;

    Trace(TRACE_LEVEL1) << u" - xfer ended - bytes: " << offset << u" HR: " << TraceHr(hr) << TRACE_END;
    ReturnFileSetupToIdle(line, request.FileNumber);
    if (Failed(hr))
        data.Allocate(0);
    return hr;
}

HRESULT CDeviceComm::ExtendedFileWrite(const sTransferLine& line, sFileCommand& request,
                                       const CByteBuffer& data)
{
    const ULONG length = data.GetLength();
    m_pTransferProgress->SetTotal(length);
    ULONG commandTimeout = GetFileWriteCmdTimeout();
    if (!IsFileWriteCommand(request.Command))
        return MODBUSCOMM_E_UNKNOWN_FILE_ERROR;
    if (request.Command == FILECMD_WRITE_CONFIG)
        commandTimeout = GetFileWriteCfgCmdTimeout();
    {
        CTraceLog& trace = Trace(TRACE_LEVEL1) << u" - Starting file write...\n";
        TraceRequest(trace, request, false, commandTimeout, line.retries);
        trace << TRACE_END;
    }

    ULONG mode = 0;
    HRESULT hr = line.network->GetTransmissionMode(mode);
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed to get protocol mode - hr: " << TraceHr(hr) << TRACE_END;
        return hr;
    }
    // A packet too small to carry a byte of the file would make the block loop stand still.
    const ULONG blockSize = GetMaxPayloadSize(line.maxPacketSize, mode, kWriteFileBlock, kWriteBlockForm);
    if (blockSize == 0)
    {
        Trace(TRACE_LEVEL1) << u" - failed to calculate msg payload - " << TraceHr(MODBUSCOMM_E_MAX_PACKET)
                            << TRACE_END;
        return MODBUSCOMM_E_MAX_PACKET;
    }

    hr = SetUpExtendedTransfer(line, request, commandTimeout,
                               u" - failed extended file setup write cmd - error: ",
                               u" - write file transfer cancelled.");
    if (Failed(hr))
        return hr;

    const ULONG blockTimeout = GetFileWriteBlkTimeout();
    ULONG offset = 0;
    CByteBuffer block; // one block for every request
    while (offset < length)
    {
        const ULONG n = std::min(length - offset, blockSize);
        block.Clear();
        if (!block.Append(n, data.GetData() + offset))
        {
            hr = E_OUTOFMEMORY;
            break;
        }
        hr = line.network->WriteFileBlock(line.address, offset, block, blockTimeout, line.retries);
        if (Failed(hr))
            break;
        offset += n;
        if (m_TransferControl.IsCancelRequested())
        {
            Trace(TRACE_LEVEL1) << u" - write file transfer cancelled." << TRACE_END;
            hr = MODBUSCOMM_E_CANCELLED;
            break;
        }
        m_pTransferProgress->SetDone(offset);
    }

    Trace(TRACE_LEVEL1) << u" - xfer ended - bytes: " << offset << u" HR: " << TraceHr(hr) << TRACE_END;
    ReturnFileSetupToIdle(line, request.FileNumber);
    return hr;
}

} // namespace NVSystem
