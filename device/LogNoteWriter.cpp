// Notes appended to the log that the device records at the moment (the active log): every
// calibration and setting change that the instrument must remember ends here.
#include "comm/FileCmdSeq.h"
#include "comm/ModbusLengthRules.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "device/StdNote.h"
#include "device/UserNote.h"

namespace NVSystem
{

namespace
{

constexpr BYTE kWriteFileBlock = 101;
constexpr USHORT kWriteBlockForm = 0; // the write has no reply form of its own

} // namespace

HRESULT CDeviceComm::WriteLogNote(const CNVStdNote& note)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    USHORT file = 0;
    if (const HRESULT hr = GetActiveLogFileNumber(file); Failed(hr))
        return hr;
    return WriteLogNoteToFile(file, note);
}

HRESULT CDeviceComm::WriteLogNoteToFile(USHORT fileNumber, const CNVStdNote& note)
{
    return RunTransferScope(GUARDS_ALL,
                            [&](const sTransferLine& line) { return WriteFileNote(line, fileNumber, note); });
}

HRESULT CDeviceComm::FitNoteBlockToPacket(const sTransferLine& line, const CNVStdNote& note,
                                          CByteBuffer& block)
{
    ULONG mode = 0;
    if (const HRESULT hr = line.network->GetTransmissionMode(mode); Failed(hr))
        return hr;
    const ULONG room = GetMaxPayloadSize(line.maxPacketSize, mode, kWriteFileBlock, kWriteBlockForm);
    if (block.GetLength() <= room)
        return S_OK;
    // The user name is what can give way: the note is worth more than the whole of the name.
    const auto* userNote = dynamic_cast<const CNVUserNote*>(&note);
    const uint32_t length = block.GetLength();
    uint32_t kept = 0;
    if (userNote == nullptr || Failed(userNote->SerialiseNoteBlockWithin(room, block, kept)))
    {
        Trace(TRACE_LEVEL1) << u" - note blk of " << length << u" bytes exceeds the packet - "
                            << TraceHr(MODBUSCOMM_E_MAX_PACKET) << TRACE_END;
        return MODBUSCOMM_E_MAX_PACKET;
    }
    Trace(TRACE_LEVEL1) << u" - user name shortened to " << kept << u" of "
                        << userNote->GetUserName().GetLength() << u" characters to fit the packet"
                        << TRACE_END;
    return S_OK;
}

HRESULT CDeviceComm::WriteFileNote(const sTransferLine& line, USHORT fileNumber, const CNVStdNote& note)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    Trace(TRACE_LEVEL1) << u" - starting write file note\n"
                        << u"\tFile: " << fileNumber << u"\tNote: " << note.DescribeNote() << TRACE_END;

    // The log may have changed since the caller asked: a note belongs only to the log that runs.
    USHORT active = 0;
    if (Succeeded(GetActiveLogFileNumber(active)) && active != fileNumber)
    {
        Trace(TRACE_LEVEL1) << u" - write file note terminated - not active log" << TRACE_END;
        return MODBUSCOMM_E_NO_ACTIVE_LOG;
    }

    CByteBuffer block;
    HRESULT hr = note.SerialiseNoteBlock(block);
    if (Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - error getting blk for note - EC:" << TraceHr(hr) << TRACE_END;
        return hr;
    }
    // Older instruments take the note in one function-101 request, which must fit their packet.
    if (line.registerMapVersion < 3)
    {
        if (hr = FitNoteBlockToPacket(line, note, block); Failed(hr))
            return hr;
    }

    if (line.registerMapVersion >= 3)
    {
        sFileCommand request(FILECMD_WRITE_NOTE, fileNumber, block.GetLength());
        hr = ExtendedFileWrite(line, request, block);
    }
    else
    {
        CFileCmdSeq sequence(line.network, line.address, fileNumber, line.writeTimeoutMs, line.readTimeoutMs,
                             line.retries);
        hr = BeginFileSequence(sequence, nullptr, u" - Failed to init note write command - ");
        if (Failed(hr))
        {
            m_pTransferProgress->SetResult(hr);
            return hr;
        }
        if (hr = sequence.WriteTransferSize(block.GetLength()); Succeeded(hr))
            hr = SendFileCommand(sequence, FILECMD_WRITE_NOTE, m_Trace, nullptr, u"Failed write note cmd - ");
        if (Succeeded(hr))
            hr = line.network->WriteFileBlock(line.address, 0, block, line.writeTimeoutMs, line.retries);
    }

    if (Failed(hr))
        Trace(TRACE_LEVEL1) << u" - failed to write note: " << TraceHr(hr) << TRACE_END;
    else
        Trace(TRACE_LEVEL1) << u" - write file note success" << TRACE_END;
    return hr;
}

} // namespace NVSystem
