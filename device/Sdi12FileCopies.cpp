// The device's SDI-12 parameter set copied to a disk file and back.
#include <string>

#include "comm/FileCmdSeq.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "platform/FileReplacement.h"
#include "platform/Utf.h"

namespace NVSystem
{

namespace
{

std::string DiskPath(const char16_t* path)
{
    return path != nullptr ? platform::Utf16ToUtf8(path) : std::string();
}

} // namespace

HRESULT CDeviceComm::SaveDeviceFileToDisk(const char16_t* path)
{
    CByteBuffer data;
    const HRESULT hr = ReadDeviceFile(SDI12_PARAMSET_FILE_ID, data);
    // A part of the file must not replace a whole one on disk.
    if (Failed(hr) || data.GetLength() == 0)
        return hr;
    // Nor may a write that fails part-way (a full disk): the copy on disk is replaced whole or
    // not at all.
    platform::CFileReplacement file(DiskPath(path));
    if (file.Open() != 0)
    {
        Trace(TRACE_LEVEL1) << u" - failed to write data to disk - " << TRACE_END;
        return MODBUSCOMM_E_UNKNOWN_WRITE_ERROR;
    }
    int error = file.Write(data.GetData(), data.GetLength());
    if (error == 0)
        error = file.Commit();
    if (error != 0)
    {
        Trace(TRACE_LEVEL1) << u" - failed to write data to disk - LE: " << static_cast<unsigned int>(error)
                            << TRACE_END;
        return MODBUSCOMM_E_UNKNOWN_WRITE_ERROR;
    }
    return hr;
}

HRESULT CDeviceComm::SendDiskFileToDevice(const char16_t* path)
{
    if (!IsTagged())
        return MODBUSCOMM_E_INVALID_DEVICE_THIS;
    CByteBuffer data;
    if (const HRESULT hr = data.LoadFromFile(DiskPath(path)); Failed(hr))
    {
        Trace(TRACE_LEVEL1) << u" - failed to open file - " << TraceHr(hr) << TRACE_END;
        return hr;
    }
    return WriteDeviceFile(SDI12_PARAMSET_FILE_ID, data);
}

} // namespace NVSystem
