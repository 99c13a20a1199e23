// A device file moved through the file command registers of instruments before register map
// version 3: the handshake on the file command register (49150), the file number (49151), the
// transfer size (49152, u32 in the network's word order) and the file's bytes in function-100 and
// function-101 blocks. One object per transfer, on the caller's stack:
//
//     construct, Begin (0, 1, file number), [WriteTransferSize], SendCommand(file command),
//     ReadFileData / WriteFileData, destructor (closing 0)
//
// A progress record, when attached, receives the result of every step and the byte counts; a
// transfer control, when attached, cancels the sequence at its next check (a cancel seen at a
// check wins over the step's own result).
#pragma once

#include <cstdint>

#include "comm/CmdSequence.h"
#include "comm/TransferProgress.h"
#include "foundation/ByteBuffer.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "foundation/TraceLog.h"
#include "foundation/TransferControl.h"

namespace NVSystem
{

inline constexpr USHORT REG_FILE_COMMAND = 49150;
inline constexpr USHORT REG_FILE_ID = 49151;
inline constexpr USHORT REG_FILE_TRANSFER_SIZE = 49152;

// The largest device file the PC takes (the largest file the system reads at all, a firmware image).
// A device that announces more is refused before anything is allocated, and nothing is allocated
// ahead of the bytes that actually arrive.
inline constexpr ULONG DEVICE_FILE_SIZE_LIMIT = FIRMWARE_FILE_SIZE_LIMIT;

class CFileCmdSeq : public CCmdSequenceWrapper
{
public:
    // Block time-outs from "File Read Blk TO" and "File Write Blk TO".
    CFileCmdSeq(CModbusComm* network, USHORT address, USHORT fileId, ULONG commandTimeoutMs,
                ULONG readTimeoutMs, USHORT retries);
    // Closes the sequence with 0; after a configuration write (commit flag set) with the long
    // "File Write Cfg Commit TO", since the instrument stores the file before it answers.
    ~CFileCmdSeq() override;

    // Neither is owned; both must outlive the sequence.
    void SetProgress(CTransferProgress* progress) { m_pProgress = progress; }
    void SetTransferControl(CTransferControl* control) { m_pTransferControl = control; }
    void SetTraceLog(const CTraceLog& trace) { m_Trace = trace; }
    void SetCommit(bool commit) { m_bCommit = commit ? 1 : 0; }

    // Clears the commit flag, runs the handshake 0, 1 and selects the file.
    HRESULT Begin() override;
    HRESULT ReadTransferSize(ULONG& size);
    HRESULT WriteTransferSize(ULONG size);
    // Empties the data, then reads the size that the instrument reports and the file's bytes in
    // blocks of the largest payload the packet size allows. A size above DEVICE_FILE_SIZE_LIMIT is
    // refused with MODBUSCOMM_E_FILE_TOO_LARGE, a block of another length than requested with
    // MODBUSCOMM_E_INVALID_RESPONSE_LENGTH (an empty one with MODBUSCOMM_E_EMPTY_READ).
    HRESULT ReadFileData(USHORT maxPacket, CByteBuffer& data);
    // Writes the data in blocks of the largest payload the packet size allows.
    HRESULT WriteFileData(USHORT maxPacket, const CByteBuffer& data);
    // A cancel requested through the transfer control; sets the result to MODBUSCOMM_E_CANCELLED.
    bool IsCancelled();

private:
    void SetResult(HRESULT result);
    void SetDone(ULONG done);
    // The next block: the payload or what remains, one byte shorter when that would repeat the
    // previous block's length and more than one byte moves.
    static ULONG NextBlockLength(ULONG payload, ULONG remaining, ULONG previous);

    ULONG m_bCommit = 0;
    USHORT m_nFileId;
    ULONG m_nBlockReadTimeout;
    ULONG m_nBlockWriteTimeout;
    CTransferProgress* m_pProgress = nullptr;
    CTransferControl* m_pTransferControl = nullptr;
    CTraceLog m_Trace;
    CDeviceTimestamp m_Start;
    CDeviceTimestamp m_Stop;
};

} // namespace NVSystem
