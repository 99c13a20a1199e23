// What the device's file transfers share: the device file numbers that the program uses and the
// view of the device that one transfer works with.
#pragma once

#include <cstdint>

#include "comm/ModbusComm.h"
#include "comm/TransferProgress.h"
#include "platform/Types.h"

namespace NVSystem
{

inline constexpr USHORT FIRMWARE_FILE_ID = 65000;
inline constexpr USHORT SDI12_PARAMSET_FILE_ID = 65003;
inline constexpr USHORT OEM_CONFIG_FILE_ID = 65500;

// The device as one transfer sees it, taken under the device lock when the transfer scope opens,
// so that the transfer itself runs without the device lock (a cancel, a progress poll or any other
// device operation can then run beside it) and without racing a change of the identity record.
// The scope holds a reference on the network until it ends.
struct sTransferLine
{
    CModbusComm* network = nullptr;
    USHORT address = 0;
    USHORT retries = 0;
    ULONG readTimeoutMs = 0;
    ULONG writeTimeoutMs = 0;
    USHORT registerMapVersion = 0;
    USHORT maxPacketSize = 0;
};

class CFileCmdSeq;

// The file command of a sequence that has begun: refused without a network or once cancelled, and
// a cancel seen during the command wins over its result. A failed command is traced (the failure
// text and the result code) and goes into the progress record at once when there is one.
HRESULT SendFileCommand(CFileCmdSeq& sequence, USHORT command, CTraceLog& trace, CTransferProgress* progress,
                        const char16_t* failure);

} // namespace NVSystem
