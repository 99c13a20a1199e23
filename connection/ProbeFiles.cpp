// The OEM configuration file (device file 65500) and the SDI-12 configuration upload.
//
// OEM configuration file, big-endian: u8 major and u8 minor version, two spare bytes, u32 serial
// number, u16 factory Modbus address, u16 factory serial settings word. Version 0 files may end
// after the serial number.
//
// The factory settings word is not laid out as the instrument's communication settings register:
// its baud code has two bits (1-2) and bit 3 belongs to no field.
#include "connection/ProbeConnection.h"

#include <cstdio>

#include "foundation/Codec.h"
#include "foundation/MessageBoxes.h"
#include "foundation/PathTools.h"
#include "foundation/Sdi12ParameterFile.h"
#include "platform/Utf.h"

namespace
{

constexpr USHORT kOemConfigFile = 65500;
constexpr uint32_t kSerialNumberOffset = 4;
constexpr uint32_t kFactoryAddressOffset = 8;
constexpr uint32_t kSettingsWordOffset = 10;
constexpr uint32_t kSerialOnlyLength = 8;
constexpr uint32_t kWithSettingsLength = 12;
constexpr USHORT kMaxSdi12Selection = 32;

bool IsWritableVersion(BYTE major, BYTE minor)
{
    return (major == 0 && minor <= 2) || major == 1;
}

USHORT BigEndianU16(const BYTE* bytes)
{
    return static_cast<USHORT>(bytes[0] << 8 | bytes[1]);
}

// Bit 0 mode; bits 1-2 baud code (id = code + 5: 9600, 19200, 38400, 57600); bit 4 data-bits id;
// bits 5-6 parity id; bit 7 stop-bits id.
void DecodeFactorySettingsWord(USHORT word, sCommSettings& settings)
{
    settings.Mode = word & 0x1u;
    settings.BaudId = COMM_BAUD_ID_9600 + ((word >> 1) & 0x3u);
    settings.DataBitsId = (word >> 4) & 0x1u;
    settings.ParityId = (word >> 5) & 0x3u;
    settings.StopBitsId = (word >> 7) & 0x1u;
}

bool IsSelectable(const sParamSelection& selection)
{
    return selection.Connection >= 1 && selection.Connection <= kMaxSdi12Selection &&
           selection.ParameterNumber >= 1 && selection.ParameterNumber <= kMaxSdi12Selection;
}

CWideString ReadFailure(HRESULT hr)
{
    return CWideString(u"Failed to read OEM configuration file (error code: %08X)",
                       static_cast<uint32_t>(hr));
}

CWideString LengthFailure(uint32_t length)
{
    return CWideString(u"Unexpected OEM configuration file data length: %d", static_cast<int>(length));
}

} // namespace

bool IsSdi12Address(char16_t address)
{
    return (address >= u'0' && address <= u'9') || (address >= u'a' && address <= u'z') ||
           (address >= u'A' && address <= u'Z');
}

void CProbeConnection::UpdateOemConfigFile(ULONG serialNumber)
{
    const DeviceRef probe = HoldProbe();
    if (probe == nullptr)
        throw CWideString(u"Connection error.");
    CByteBuffer data;
    if (const HRESULT hr = probe->ReadDeviceFile(kOemConfigFile, data); Failed(hr))
        throw ReadFailure(hr);
    if (data.GetLength() < kSerialOnlyLength)
        throw LengthFailure(data.GetLength());
    const BYTE major = data.GetData()[0];
    const BYTE minor = data.GetData()[1];
    if (!IsWritableVersion(major, minor))
        throw CWideString(u"Incompatible OEM configuration file version: %d.%d", static_cast<int>(major),
                          static_cast<int>(minor));
    EncodeULong(serialNumber, TRUE, data.GetData() + kSerialNumberOffset);
    if (const HRESULT hr = probe->WriteDeviceFile(kOemConfigFile, data); Failed(hr))
        throw CWideString(u"Failed to write OEM configuration file (error code: %08X)",
                          static_cast<uint32_t>(hr));
}

sCommSettings CProbeConnection::GetFactoryCommSettings()
{
    sCommSettings defaults;
    defaults.Port = 0;
    if (!HasVoxCore(GetSlaveId().DeviceTypeId))
        return defaults;

    CWideString problem;
    const DeviceRef probe = HoldProbe();
    CByteBuffer data;
    const HRESULT hr = probe != nullptr ? probe->ReadDeviceFile(kOemConfigFile, data) : E_POINTER;
    if (Failed(hr))
    {
        problem = ReadFailure(hr);
    }
    else if (data.GetLength() < kWithSettingsLength)
    {
        problem = LengthFailure(data.GetLength());
    }
    else
    {
        const BYTE* bytes = data.GetData();
        const USHORT address = BigEndianU16(bytes + kFactoryAddressOffset);
        const USHORT word = BigEndianU16(bytes + kSettingsWordOffset);
        sCommSettings factory = defaults;
        DecodeFactorySettingsWord(word, factory);
        factory.Address = address;
        // The file comes from the device: settings that the connection cannot use would lose the
        // probe after a factory restore.
        if (AreCommSettingsValid(factory))
            return factory;
        problem =
            CWideString(u"Unexpected factory settings in OEM configuration file: address %u, settings 0x%04X",
                        static_cast<unsigned>(address), static_cast<unsigned>(word));
    }
    WarningMessageBox(CWideString(u"Unable to determine factory default communication settings.\n%s",
                                  static_cast<const char16_t*>(problem)),
                      GetAppMainWindow(), u"Warning");
    return defaults;
}

HRESULT CProbeConnection::WriteSdi12Config(const CDynArray<sParamSelection>& selections, char16_t address)
{
    const DeviceRef probe = HoldProbe();
    if (probe == nullptr || !IsConnected() || selections.GetCount() == 0)
        return E_FAIL;
    sParameterSet set;
    for (uint32_t i = 0; i < selections.GetCount(); ++i)
    {
        if (IsSelectable(selections[i]) && set.selections.Add(selections[i]) < 0)
            return E_OUTOFMEMORY;
    }
    if (!IsSdi12Address(address))
        return E_FAIL;
    set.address = address;

    const CWideString path = CreateTempFileName();
    HRESULT hr = SaveParameterSetFile(set, path);
    if (Succeeded(hr))
    {
        set.path = path;
        hr = probe->SendDiskFileToDevice(path);
    }
    if (!path.IsEmpty())
        std::remove(platform::Utf16ToUtf8(static_cast<const char16_t*>(path)).c_str());
    set.Clear();
    return hr;
}
