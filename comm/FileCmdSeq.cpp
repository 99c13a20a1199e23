#include "comm/FileCmdSeq.h"

#include <algorithm>
#include <new>
#include <vector>

#include "comm/ModbusLengthRules.h"
#include "foundation/CommTimeouts.h"

namespace NVSystem
{

namespace
{

constexpr BYTE kReadFileBlock = 100;
constexpr BYTE kWriteFileBlock = 101;
constexpr USHORT kShortReplyForm = 1;

// The file bytes that one block of the function carries on the network's line;
// MODBUSCOMM_E_MAX_PACKET when the packet size leaves room for none.
HRESULT BlockPayload(CModbusComm& network, USHORT maxPacket, BYTE function, ULONG& payload)
{
    ULONG mode = 0;
    HRESULT hr = network.GetTransmissionMode(mode);
    payload = Succeeded(hr) ? GetMaxPayloadSize(maxPacket, mode, function, kShortReplyForm) : 0;
    if (Succeeded(hr) && payload == 0)
        hr = MODBUSCOMM_E_MAX_PACKET;
    return hr;
}

} // namespace

CFileCmdSeq::CFileCmdSeq(CModbusComm* network, USHORT address, USHORT fileId, ULONG commandTimeoutMs,
                         ULONG readTimeoutMs, USHORT retries)
    : CCmdSequenceWrapper(REG_FILE_COMMAND, network, address, commandTimeoutMs, readTimeoutMs, retries),
      m_nFileId(fileId), m_nBlockReadTimeout(GetFileReadBlkTimeout()),
      m_nBlockWriteTimeout(GetFileWriteBlkTimeout())
{
}

CFileCmdSeq::~CFileCmdSeq()
{
    if (m_bCommit != 0)
        m_nCommandTimeout = ReadCommTunable(CommTunable::FileWriteCfgCommitTO);
    m_Start.Clear();
    m_Stop.Clear();
    m_Trace.Close();
    Close();
}

void CFileCmdSeq::SetResult(HRESULT result)
{
    if (m_pProgress != nullptr)
        m_pProgress->SetResult(result);
}

void CFileCmdSeq::SetDone(ULONG done)
{
    if (m_pProgress != nullptr)
        m_pProgress->SetDone(done);
}

bool CFileCmdSeq::IsCancelled()
{
    if (m_pTransferControl == nullptr || !m_pTransferControl->IsCancelRequested())
        return false;
    SetResult(MODBUSCOMM_E_CANCELLED);
    return true;
}

ULONG CFileCmdSeq::NextBlockLength(ULONG payload, ULONG remaining, ULONG previous)
{
    ULONG length = std::min(payload, remaining);
    if (length == previous && length > 1)
        --length;
    return length;
}

HRESULT CFileCmdSeq::Begin()
{
    if (m_pNetwork == nullptr)
        return E_POINTER;
    m_bCommit = 0;
    if (const HRESULT hr = CCmdSequenceWrapper::Begin(); Failed(hr))
    {
        SetResult(hr);
        return hr;
    }
    if (IsCancelled())
        return MODBUSCOMM_E_CANCELLED;
    const HRESULT hr =
        m_pNetwork->WriteUShort(m_nAddress, REG_FILE_ID, m_nFileId, m_nCommandTimeout, m_nRetries);
    if (Failed(hr))
        m_Trace << TRACE_LEVEL1 << u"Failed to write file id - " << TraceHr(hr) << TRACE_END;
    SetResult(hr);
    return IsCancelled() ? MODBUSCOMM_E_CANCELLED : hr;
}

HRESULT CFileCmdSeq::ReadTransferSize(ULONG& size)
{
    if (m_pNetwork == nullptr)
        return E_POINTER;
    if (IsCancelled())
        return MODBUSCOMM_E_CANCELLED;
    const HRESULT hr =
        m_pNetwork->ReadULong(m_nAddress, REG_FILE_TRANSFER_SIZE, size, m_nReadTimeout, m_nRetries);
    if (Failed(hr))
        m_Trace << TRACE_LEVEL1 << u"Failed read xfer size - " << TraceHr(hr) << TRACE_END;
    SetResult(hr);
    return IsCancelled() ? MODBUSCOMM_E_CANCELLED : hr;
}

HRESULT CFileCmdSeq::WriteTransferSize(ULONG size)
{
    if (m_pNetwork == nullptr)
        return E_POINTER;
    if (IsCancelled())
        return MODBUSCOMM_E_CANCELLED;
    const HRESULT hr =
        m_pNetwork->WriteULong(m_nAddress, REG_FILE_TRANSFER_SIZE, size, m_nCommandTimeout, m_nRetries);
    if (Failed(hr))
        m_Trace << TRACE_LEVEL1 << u"Failed write xfer size - " << TraceHr(hr) << TRACE_END;
    SetResult(hr);
    return IsCancelled() ? MODBUSCOMM_E_CANCELLED : hr;
}

HRESULT CFileCmdSeq::ReadFileData(USHORT maxPacket, CByteBuffer& data)
{
    data.Allocate(0);
    if (m_pNetwork == nullptr)
        return E_POINTER;
    if (IsCancelled())
        return MODBUSCOMM_E_CANCELLED;

    ULONG payload = 0;
    HRESULT hr = BlockPayload(*m_pNetwork, maxPacket, kReadFileBlock, payload);
    if (Failed(hr))
    {
        m_Trace << TRACE_LEVEL1 << u"Failed to calculate msg payload - " << TraceHr(hr) << TRACE_END;
        SetResult(hr);
        return hr;
    }

    ULONG size = 0;
    if (hr = ReadTransferSize(size); Failed(hr))
        return hr;
    if (IsCancelled())
        return MODBUSCOMM_E_CANCELLED;
    if (size == 0)
        return S_OK;
    if (size > DEVICE_FILE_SIZE_LIMIT)
    {
        m_Trace << TRACE_LEVEL1 << u"Device: " << m_nAddress << u"- File too large: " << size << TRACE_END;
        SetResult(MODBUSCOMM_E_FILE_TOO_LARGE);
        return MODBUSCOMM_E_FILE_TOO_LARGE;
    }

    if (m_pProgress != nullptr)
    {
        m_pProgress->Start();
        m_pProgress->SetTotal(size);
    }

    // The bytes gather here as they arrive; the size the device announced is only an upper bound.
    std::vector<uint8_t> received;
    CByteBuffer block; // one block for every request
    ULONG offset = 0;
    ULONG previous = 0;
    try
    {
        for (;;)
        {
            const ULONG length = NextBlockLength(payload, size - offset, previous);
            if (IsCancelled())
            {
                m_Trace << TRACE_LEVEL1 << u"Device: " << m_nAddress << u"- Read File Xfer cancelled"
                        << TRACE_END;
                hr = MODBUSCOMM_E_CANCELLED;
                break;
            }
            hr = m_pNetwork->ReadFileBlock(m_nAddress, offset, static_cast<USHORT>(length), block,
                                           m_nBlockReadTimeout, m_nRetries, kShortReplyForm);
            if (IsCancelled())
            {
                m_Trace << TRACE_LEVEL1 << u"Device: " << m_nAddress << u"- Read File Xfer cancelled"
                        << TRACE_END;
                hr = MODBUSCOMM_E_CANCELLED;
                break;
            }
            if (Failed(hr))
            {
                m_Trace << TRACE_LEVEL1 << u"Device: " << m_nAddress << u"- Failed to read blk - "
                        << TraceHr(hr) << TRACE_END;
                break;
            }
            if (block.GetLength() == 0)
            {
                m_Trace << TRACE_LEVEL1 << u"Device: " << m_nAddress << u"- Empty read" << TRACE_END;
                hr = MODBUSCOMM_E_EMPTY_READ;
                break;
            }
            // A shorter block is what the instrument had ready: the next request asks from where it
            // ended. Only more than was asked cannot belong to the request.
            if (block.GetLength() > length)
            {
                m_Trace << TRACE_LEVEL1 << u"Device: " << m_nAddress << u"- Block of " << block.GetLength()
                        << u" bytes for " << length << TRACE_END;
                hr = MODBUSCOMM_E_INVALID_RESPONSE_LENGTH;
                break;
            }
            received.insert(received.end(), block.GetData(), block.GetData() + block.GetLength());
            offset += block.GetLength();
            previous = length;
            SetDone(offset);
            if (offset >= size)
                break;
        }
    }
    catch (const std::bad_alloc&)
    {
        hr = E_OUTOFMEMORY;
    }

    // What arrived stays in the data, also after a failure.
    if (!received.empty() && !data.Append(static_cast<uint32_t>(received.size()), received.data()))
        hr = E_OUTOFMEMORY;
    if (IsCancelled())
        hr = MODBUSCOMM_E_CANCELLED;
    SetResult(hr);
    return hr;
}

HRESULT CFileCmdSeq::WriteFileData(USHORT maxPacket, const CByteBuffer& data)
{
    if (m_pNetwork == nullptr)
        return E_POINTER;
    const ULONG length = data.GetLength();
    if (length == 0)
        return S_OK;
    if (IsCancelled())
        return MODBUSCOMM_E_CANCELLED;

    ULONG payload = 0;
    HRESULT hr = BlockPayload(*m_pNetwork, maxPacket, kWriteFileBlock, payload);
    if (Failed(hr))
    {
        SetResult(hr);
        return hr;
    }
    if (m_pProgress != nullptr)
        m_pProgress->SetTotal(length);

    ULONG offset = 0;
    ULONG previous = 0;
    CByteBuffer block; // one block for every request
    for (;;)
    {
        const ULONG n = NextBlockLength(payload, length - offset, previous);
        block.Clear();
        if (!block.Append(n, data.GetData() + offset))
        {
            hr = E_OUTOFMEMORY;
            break;
        }
        hr = m_pNetwork->WriteFileBlock(m_nAddress, offset, block, m_nBlockWriteTimeout, m_nRetries);
        if (Failed(hr))
            break;
        offset += n;
        previous = n;
        if (IsCancelled())
            return MODBUSCOMM_E_CANCELLED;
        SetDone(offset);
        if (offset >= length)
            break;
    }
    SetResult(hr);
    return hr;
}

} // namespace NVSystem
