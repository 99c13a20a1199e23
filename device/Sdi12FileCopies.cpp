// The device's SDI-12 parameter set copied to a disk file and back.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "comm/FileCmdSeq.h"
#include "device/DeviceComm.h"
#include "device/FileTransfer.h"
#include "platform/Utf.h"

namespace NVSystem
{

namespace
{

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};

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
    std::unique_ptr<FILE, FileCloser> file(std::fopen(DiskPath(path).c_str(), "wb"));
    if (!file)
    {
        Trace(TRACE_LEVEL1) << u" - failed to write data to disk - " << TRACE_END;
        return MODBUSCOMM_E_UNKNOWN_WRITE_ERROR;
    }
    const bool written = std::fwrite(data.GetData(), data.GetLength(), 1, file.get()) == 1;
    const int writeError = errno;
    // A write that the close has to flush fails there.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed)
    {
        Trace(TRACE_LEVEL1) << u" - failed to write data to disk - LE: "
                            << static_cast<unsigned int>(written ? errno : writeError) << TRACE_END;
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
