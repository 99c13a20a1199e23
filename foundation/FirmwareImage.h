// A firmware image file: hex records whose first record is a header naming the device type, the
// firmware version and the hardware versions the image fits. Read whole and checked before the
// firmware dialog offers it and before the flash sends it.
#pragma once

#include <cstdint>

#include "foundation/ByteBuffer.h"
#include "foundation/VocabularyIds.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

class CFirmwareImage
{
public:
    CFirmwareImage() = default;
    CFirmwareImage(const CFirmwareImage&) = delete;
    CFirmwareImage& operator=(const CFirmwareImage&) = delete;
    ~CFirmwareImage() { Free(); }

    // E_FAIL for a null or empty path, a missing file or a read error (the image then freed);
    // E_OUTOFMEMORY above FIRMWARE_FILE_SIZE_LIMIT; otherwise the result of Validate. An image that
    // fails validation stays loaded.
    HRESULT LoadFile(const char16_t* path);
    // Takes a copy of bytes already in memory; E_OUTOFMEMORY as LoadFile. Then Validate.
    HRESULT LoadBytes(const uint8_t* bytes, size_t size);
    // S_OK for a well-formed image, else E_FAIL. Header fields are stored as they are read.
    HRESULT Validate();
    void Free();

    const uint8_t* GetData() const { return m_Image.GetData(); }
    uint32_t GetSize() const { return m_Image.GetLength(); }
    // -1 until a header has been read.
    int32_t GetDeviceTypeId() const { return m_nDeviceTypeId; }
    int32_t GetFirmwareVersion() const { return m_nFirmwareVersion; } // version x 100
    int32_t GetLowestHardwareVersion() const { return m_nLowestHardwareVersion; }
    int32_t GetHighestHardwareVersion() const { return m_nHighestHardwareVersion; }
    int32_t GetRecordCount() const { return m_nRecordCount; }

private:
    void ResetHeader();

    CByteBuffer m_Image;
    int32_t m_nDeviceTypeId = -1;
    int32_t m_nFirmwareVersion = -1;
    int32_t m_nLowestHardwareVersion = -1;
    int32_t m_nHighestHardwareVersion = -1;
    int32_t m_nRecordCount = -1;
};

// The user interface's copy of the chosen file's header.
struct sFirmwareFileInfo
{
    void Clear();

    CWideString path;
    DeviceTypeId deviceTypeId = 0;
    uint16_t firmwareVersion = 0; // hundredths
    uint16_t lowestHardwareVersion = 0;
    uint16_t highestHardwareVersion = 0;
};
