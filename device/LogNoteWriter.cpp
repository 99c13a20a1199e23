// Notes appended to the log that the device records at the moment (the active log): every
// calibration and setting change that the instrument must remember ends here.
#include "comm/FileCmdSeq.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "device/StdNote.h"

namespace NVSystem
{

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
