#include "foundation/PathTools.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/ProgramVersion.h"
#include "platform/Folders.h"
#include "platform/Utf.h"

namespace
{

std::u16string_view View(const char16_t* text)
{
    return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

CWideString Wide(std::u16string_view text)
{
    return CWideString(std::u16string(text).c_str());
}

std::string Narrow(const char16_t* path)
{
    return platform::Utf16ToUtf8(View(path));
}

std::u16string_view LastElement(std::u16string_view path)
{
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

bool HasExtension(std::u16string_view path)
{
    const std::u16string_view name = LastElement(path);
    const size_t dot = name.rfind(u'.');
    return dot != std::u16string_view::npos && dot + 1 < name.size();
}

} // namespace

CWideString GetProgramPath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return CWideString();
    return Wide(platform::Utf8ToUtf16(exe.string()));
}

CWideString GetProgramDirectory()
{
    // Executables have no extension here, so the folder rule of GetDirectoryFromPath would take
    // the program's own path for a folder.
    return Wide(platform::Utf8ToUtf16(platform::ExecutableDir().string()));
}

CWideString GetProgramVersion()
{
    return Wide(platform::Utf8ToUtf16(TARNWICK_PROGRAM_VERSION));
}

CWideString GetFileExtension(const char16_t* path)
{
    const std::u16string_view name = LastElement(View(path));
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot + 1 >= name.size())
        return CWideString();
    return Wide(name.substr(dot + 1));
}

CWideString GetFileNameFromPath(const char16_t* path)
{
    if (!HasExtension(View(path)))
        return CWideString();
    return Wide(LastElement(View(path)));
}

CWideString GetDirectoryFromPath(const char16_t* path)
{
    std::u16string_view p = View(path);
    if (!(p.starts_with(u'/') || p.starts_with(u"./")))
        return CWideString();
    if (HasExtension(p))
        p = p.substr(0, p.rfind(u'/') + 1);
    while (p.size() > 1 && p.ends_with(u'/'))
        p.remove_suffix(1);
    return Wide(p);
}

BOOL FileExists(const char16_t* path)
{
    struct stat st
    {
    };
    return path != nullptr && *path != 0 && ::stat(Narrow(path).c_str(), &st) == 0 ? TRUE : FALSE;
}

BOOL IsDirectory(const char16_t* path)
{
    struct stat st
    {
    };
    if (path == nullptr || *path == 0 || ::stat(Narrow(path).c_str(), &st) != 0)
        return FALSE;
    return S_ISDIR(st.st_mode) ? TRUE : FALSE;
}

uint64_t GetFileSizeByName(const char16_t* path)
{
    struct stat st
    {
    };
    if (path == nullptr || *path == 0 || ::stat(Narrow(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

BOOL ReadTextLine(FILE* file, CWideString& line)
{
    line.SetEmpty();
    if (file == nullptr)
        return FALSE;
    std::u16string text;
    bool readAny = false;
    for (;;)
    {
        const int low = std::fgetc(file);
        if (low == EOF)
            break;
        const int high = std::fgetc(file);
        readAny = true;
        if (high == EOF)
            break; // a stray last byte is no unit
        const auto unit = static_cast<char16_t>(low | (high << 8));
        if (unit == u'\n')
            break;
        if (unit != u'\r')
            text += unit;
    }
    line = text.c_str();
    return readAny ? TRUE : FALSE;
}

CWideString CombinePath(const char16_t* folder, const char16_t* name)
{
    std::u16string_view f = View(folder);
    std::u16string_view n = View(name);
    if (f.empty())
        return Wide(n);
    if (n.empty())
        return Wide(f);
    // The root keeps its one slash.
    while (f.size() > 1 && f.ends_with(u'/'))
        f.remove_suffix(1);
    while (n.starts_with(u'/'))
        n.remove_prefix(1);
    std::u16string joined(f);
    if (!joined.ends_with(u'/'))
        joined += u'/';
    joined += n;
    return Wide(joined);
}

CWideString CreateTempFileName()
{
    std::string pattern = (platform::TempDir() / "NVCXXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return CWideString();
    ::close(fd);
    return Wide(platform::Utf8ToUtf16(pattern));
}
