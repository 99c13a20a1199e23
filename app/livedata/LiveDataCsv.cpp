#include "app/livedata/LiveDataCsv.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "connection/SensorStatusText.h"
#include "foundation/NameLookups.h"
#include "foundation/PathTools.h"
#include "platform/Format.h"
#include "platform/Utf.h"

namespace
{

std::string Utf8(const CWideString& text)
{
    return text.IsEmpty() ? std::string() : platform::Utf16ToUtf8(static_cast<const char16_t*>(text));
}

std::string PathBytes(const CWideString& path)
{
    return Utf8(path);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty())
    {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

} // namespace

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text)
    {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

CWideString GetLocalTimeZoneName()
{
    TIME_ZONE_INFORMATION info;
    const DWORD id = GetTimeZoneInformation(info);
    return CWideString(id == TIME_ZONE_ID_DAYLIGHT ? info.DaylightName : info.StandardName);
}

std::string BuildCsvHeader(const CDynArray<sParameterReading>& pollList, BOOL utc,
                           const CWideString& zoneName)
{
    std::string header = CsvField(utc ? std::string("Timestamp(UTC)") : "Timestamp(" + Utf8(zoneName) + ")");
    header += ",Elapsed(sec)";
    for (uint32_t i = 0; i < pollList.GetCount(); ++i)
    {
        const sParameterReading& row = pollList[i];
        header += ',';
        header += CsvField(Utf8(GetParameterDisplayName(row.SensorId, row.ParameterId)) + " (" +
                           Utf8(GetUnitAbbreviation(row.UnitId)) + ")");
    }
    return header + CSV_LINE_END;
}

std::string FormatCsvTimestamp(const std::optional<SYSTEMTIME>& timestamp)
{
    if (!timestamp)
        return std::string();
    const SYSTEMTIME& t = *timestamp;
    return platform::Format("%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                            t.wSecond);
}

std::string BuildCsvLine(const sLiveRound& round)
{
    std::string line = FormatCsvTimestamp(round.Timestamp);
    line += ',';
    line += platform::Format("%0.1f", round.ElapsedSeconds);
    for (const sLiveValue& value : round.Values)
    {
        line += ',';
        if (!Failed(value.Status))
            line += platform::Format("%g", static_cast<double>(value.Value));
    }
    return line + CSV_LINE_END;
}

BOOL CreateCsvFile(const CWideString& path, const std::string& header)
{
    std::FILE* file = std::fopen(PathBytes(path).c_str(), "wb");
    if (file == nullptr)
        return FALSE;
    const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    return std::fclose(file) == 0 && written ? TRUE : FALSE;
}

CsvAppend AppendCsvLine(const CWideString& path, const std::string& line)
{
    const std::string name = PathBytes(path);
    // Without O_CREAT: a file deleted while reading stays deleted.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? CsvAppend::FileGone : CsvAppend::Failed;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    bool written = end >= 0 && WriteAll(fd, line);
    // Half a line (a full disk, the file-size limit) would have the next round glued onto it and a
    // reader take a corrupt row: the file is cut back to its last whole line.
    // A cut that fails too leaves nothing better to do: the failure is reported either way.
    if (!written && end >= 0) [[maybe_unused]]
        const int cut = ::ftruncate(fd, end);
    if (::close(fd) != 0 && written)
    {
        written = false;
        [[maybe_unused]] const int cut = ::truncate(name.c_str(), end);
    }
    return written ? CsvAppend::Written : CsvAppend::Failed;
}

CWideString BuildLogFilePath(const CWideString& folder, const CWideString& name)
{
    CWideString directory = folder;
    while (!directory.IsEmpty())
    {
        const char16_t last = static_cast<const char16_t*>(directory)[directory.GetLength() - 1];
        if (last != u'/' && last != u' ')
            break;
        directory.RemoveRight(1);
    }
    CWideString fileName = name;
    fileName.Trim();
    CWideString path = directory + u"/" + fileName;
    path.Trim();
    if (GetFileExtension(path).CompareNoCase(u"csv") != 0)
        path = path + u".csv";
    return path;
}
