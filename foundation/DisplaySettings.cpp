#include "foundation/DisplaySettings.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

#include "foundation/DateTimeFormat.h"
#include "foundation/PathTools.h"
#include "foundation/RegistryKey.h"
#include "foundation/TimeTools.h"
#include "platform/Folders.h"
#include "platform/Utf.h"

namespace
{

constexpr const char16_t* kSuiteKey = u"Software\\Norvane\\Fieldmere";
constexpr const char16_t* kSystemSettingsKey = u"Software\\Norvane\\Fieldmere\\SystemSettings";

// The last value each setting was read with: the default of the next read.
std::atomic<DWORD> g_useUtc{0};
std::atomic<DWORD> g_ignoreDst{0};
std::atomic<DWORD> g_useCustomDateFormat{0};
std::mutex g_patternLock;
CWideString g_customDateFormat;
CWideString g_customTimeFormat;

BOOL ReadFlag(const char16_t* name, std::atomic<DWORD>& last)
{
    DWORD value = last.load();
    CRegistryKey key;
    if (key.Open(platform::Hive::CurrentUser, kSystemSettingsKey) == ERROR_SUCCESS &&
        key.QueryDword(name, value) == ERROR_SUCCESS)
        last.store(value);
    return value != 0 ? TRUE : FALSE;
}

CWideString ReadPattern(const char16_t* name, CWideString& last)
{
    CWideString value;
    CRegistryKey key;
    const bool read = key.Open(platform::Hive::CurrentUser, kSystemSettingsKey) == ERROR_SUCCESS &&
                      key.QueryString(name, value) == ERROR_SUCCESS && !value.IsEmpty();
    std::lock_guard lock(g_patternLock);
    if (read)
        last = value;
    return last;
}

// "WorkingDir" of the hive when it names an existing folder.
bool ReadWorkingDir(platform::Hive hive, CWideString& folder)
{
    CRegistryKey key;
    CWideString value;
    if (key.Open(hive, kSuiteKey) != ERROR_SUCCESS ||
        key.QueryString(u"WorkingDir", value) != ERROR_SUCCESS || !IsDirectory(value))
        return false;
    folder = value;
    return true;
}

CWideString WithoutTrailingSlash(const CWideString& path)
{
    std::u16string text = path.IsEmpty() ? u"" : static_cast<const char16_t*>(path);
    while (text.size() > 1 && text.back() == u'/')
        text.pop_back();
    return CWideString(text.c_str());
}

CWideString EnsureFolder(const CWideString& folder)
{
    if (!folder.IsEmpty() && !IsDirectory(folder))
    {
        std::error_code ec;
        std::filesystem::create_directories(platform::Utf16ToUtf8(static_cast<const char16_t*>(folder)), ec);
    }
    return folder;
}

// The time the user wants to see for a UTC time.
SYSTEMTIME DisplayTime(const SYSTEMTIME& utc)
{
    SYSTEMTIME shown = utc;
    if (!GetUseUTC())
        SystemTimeUtcToLocal(utc, GetIgnoreDST(), shown);
    return shown;
}

} // namespace

CWideString GetWorkingFolder()
{
    const std::u16string documents = platform::Utf8ToUtf16(platform::DocumentsDir().string());
    CWideString folder = CombinePath(documents.c_str(), u"Fieldmere Data");
    if (!ReadWorkingDir(platform::Hive::CurrentUser, folder))
        ReadWorkingDir(platform::Hive::LocalMachine, folder);
    return EnsureFolder(WithoutTrailingSlash(folder));
}

CWideString GetTranslateFolder()
{
    return EnsureFolder(CombinePath(GetWorkingFolder(), u"Translate"));
}

BOOL GetUseUTC()
{
    return ReadFlag(u"UseUTC", g_useUtc);
}
BOOL GetIgnoreDST()
{
    return ReadFlag(u"IgnoreDST", g_ignoreDst);
}
BOOL GetUseCustomDateFormat()
{
    return ReadFlag(u"UseCustomDateFormat", g_useCustomDateFormat);
}
CWideString GetCustomDateFormat()
{
    return ReadPattern(u"CustomDateFormat", g_customDateFormat);
}
CWideString GetCustomTimeFormat()
{
    return ReadPattern(u"CustomTimeFormat", g_customTimeFormat);
}

void ResetDisplaySettingsForTests()
{
    g_useUtc.store(0);
    g_ignoreDst.store(0);
    g_useCustomDateFormat.store(0);
    std::lock_guard lock(g_patternLock);
    g_customDateFormat.SetEmpty();
    g_customTimeFormat.SetEmpty();
}

CWideString FormatDisplayDate(const SYSTEMTIME& utc)
{
    const SYSTEMTIME shown = DisplayTime(utc);
    if (GetUseCustomDateFormat())
    {
        const CWideString pattern = GetCustomDateFormat();
        if (!pattern.IsEmpty())
            return FormatDateTimePattern(pattern, shown);
    }
    return FormatDate(shown);
}

CWideString FormatDisplayTime(const SYSTEMTIME& utc)
{
    const SYSTEMTIME shown = DisplayTime(utc);
    if (GetUseCustomDateFormat())
    {
        const CWideString pattern = GetCustomTimeFormat();
        if (!pattern.IsEmpty())
            return FormatDateTimePattern(pattern, shown);
    }
    return FormatTime(shown);
}

CWideString FormatDisplayDateTime(const SYSTEMTIME& utc)
{
    return FormatDisplayDate(utc) + u" " + FormatDisplayTime(utc);
}
