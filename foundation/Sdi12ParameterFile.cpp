#include "foundation/Sdi12ParameterFile.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "foundation/BufferReader.h"
#include "foundation/ByteBuffer.h"
#include "foundation/ResultCodes.h"
#include "platform/FileReplacement.h"
#include "platform/Utf.h"

namespace
{

constexpr HRESULT LOGFILE_E_INVALID_PATH = ResultCode(0x81020001u);
constexpr HRESULT LOGFILE_E_OPEN_FAILED = ResultCode(0x81020004u);
constexpr HRESULT LOGFILE_E_SDI12_FORMAT_VERSION = ResultCode(0x810200A3u);

std::filesystem::path ToFilePath(const char16_t* path)
{
    return std::filesystem::path(platform::Utf16ToUtf8(path));
}

void AppendBigEndian(std::string& bytes, uint16_t value)
{
    bytes.push_back(static_cast<char>(value >> 8));
    bytes.push_back(static_cast<char>(value & 0xFF));
}

} // namespace

void sParameterSet::Clear()
{
    selections.RemoveAll();
    path.SetEmpty();
}

HRESULT LoadParameterSetFile(sParameterSet& set, const char16_t* path)
{
    if (path == nullptr || path[0] == 0)
        return LOGFILE_E_INVALID_PATH;
    const std::filesystem::path file = ToFilePath(path);
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return LOGFILE_E_INVALID_PATH;

    set.selections.RemoveAll();
    set.address = '0';
    CByteBuffer buffer;
    HRESULT hr = buffer.LoadFromFile(file);
    if (Failed(hr))
        return hr;

    CBufferReader reader(buffer);
    uint16_t version = 0;
    if (Failed(hr = reader.ReadUShort(version)))
        return hr;
    if (version != SDI12_FILE_FORMAT_VERSION)
        return LOGFILE_E_SDI12_FORMAT_VERSION;
    uint16_t count = 0;
    if (Failed(hr = reader.ReadUShort(set.address)) || Failed(hr = reader.ReadUShort(count)))
        return hr;
    if (!set.selections.SetSize(count))
        return E_OUTOFMEMORY;
    for (uint16_t i = 0; i < count; ++i)
    {
        sParamSelection& selection = set.selections[i];
        if (Failed(hr = reader.ReadUShort(selection.Connection)) ||
            Failed(hr = reader.ReadUShort(selection.ParameterNumber)))
        {
            // Keep the pairs that were whole, not placeholders for the ones the file lacks.
            set.selections.SetSize(i);
            return hr;
        }
    }
    set.path = path;
    return S_OK;
}

HRESULT SaveParameterSetFile(const sParameterSet& set, const char16_t* path)
{
    if (path == nullptr || path[0] == 0)
        return LOGFILE_E_INVALID_PATH;
    const uint32_t count = set.selections.GetCount();
    if (count > UINT16_MAX)
        return E_INVALIDARG;

    std::string bytes;
    bytes.reserve(6 + 4 * count);
    AppendBigEndian(bytes, SDI12_FILE_FORMAT_VERSION);
    AppendBigEndian(bytes, set.address);
    AppendBigEndian(bytes, static_cast<uint16_t>(count));
    for (uint32_t i = 0; i < count; ++i)
    {
        AppendBigEndian(bytes, set.selections.GetData()[i].Connection);
        AppendBigEndian(bytes, set.selections.GetData()[i].ParameterNumber);
    }

    // The set the user kept stays whole until the new one is: a short write (a full disk) must
    // neither pass for a saved set nor cost the previous one.
    platform::CFileReplacement file(ToFilePath(path));
    if (file.Open() != 0)
        return LOGFILE_E_OPEN_FAILED;
    return file.Write(bytes.data(), bytes.size()) == 0 && file.Commit() == 0 ? S_OK : E_FAIL;
}
