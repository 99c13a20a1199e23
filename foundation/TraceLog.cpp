#include "foundation/TraceLog.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/DynArray.h"
#include "foundation/StringTools.h"
#include "platform/CaseFold.h"
#include "platform/Folders.h"
#include "platform/Format.h"
#include "platform/Utf.h"

namespace
{

constexpr char kTranslationFailure[] = "ERROR - UNICODE to ASCII translation failure";

// The open trace files of the process and the counter their ids come from.
struct TraceFileList
{
    platform::CCriticalSection lock;
    CDynArray<CTraceLogFile*> files;
    uint32_t nextFileId = 1;
};

TraceFileList& FileList()
{
    static TraceFileList list;
    return list;
}

void AppendAscii(std::u16string& out, const std::string& ascii)
{
    out.append(ascii.begin(), ascii.end());
}

void ReplaceAll(std::u16string& text, std::u16string_view needle, std::u16string_view replacement)
{
    for (size_t at = text.find(needle); at != std::u16string::npos;
         at = text.find(needle, at + replacement.size()))
        text.replace(at, needle.size(), replacement);
}

// Trace text is nearly always ASCII, which needs no conversion; false for anything else.
bool NarrowAscii(const std::u16string& text, std::string& bytes)
{
    bytes.resize(text.size());
    const char16_t* in = text.data();
    char* out = bytes.data();
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (in[i] >= 0x80)
            return false;
        out[i] = static_cast<char>(in[i]);
    }
    return true;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int CreateTraceFile(const std::filesystem::path& path, bool append)
{
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    flags |= append ? O_APPEND : O_TRUNC;
    return ::open(path.c_str(), flags, 0644);
}

std::string TimeText(const SYSTEMTIME& t)
{
    return platform::Format("%04d/%02d/%02d %02d:%02d:%02d:%0d", t.wYear, t.wMonth, t.wDay, t.wHour,
                            t.wMinute, t.wSecond, t.wMilliseconds);
}

} // namespace

// --- CTraceLogFile -----------------------------------------------------------------------------

CTraceLogFile::CTraceLogFile(uint32_t fileId, std::filesystem::path path, int fd)
    : m_nFd(fd), m_Path(std::move(path)), m_nFileId(fileId)
{
}

CTraceLogFile::~CTraceLogFile()
{
    CloseFile();
}

std::filesystem::path CTraceLogFile::ResolvePath(const char16_t* path)
{
    const std::filesystem::path given(platform::Utf16ToUtf8(path != nullptr ? path : u""));
    if (given.empty() || given.is_absolute())
        return given;
    return platform::StateDir() / given;
}

CTraceLogFile* CTraceLogFile::OpenShared(BOOL append, const char16_t* path)
{
    if (path == nullptr || *path == 0)
        return nullptr;
    const std::filesystem::path resolved = ResolvePath(path);
    const std::u16string key = platform::Utf8ToUtf16(resolved.string());

    TraceFileList& list = FileList();
    std::lock_guard listLock(list.lock);
    for (uint32_t i = 0; i < list.files.GetCount(); ++i)
    {
        CTraceLogFile* file = list.files[i];
        if (platform::EqualsIgnoreCase(platform::Utf8ToUtf16(file->m_Path.string()), key))
        {
            ++file->m_nRefCount;
            return file;
        }
    }

    // The state folder is ours to create; a folder named in an absolute path must exist.
    if (!std::filesystem::path(platform::Utf16ToUtf8(path)).is_absolute())
    {
        std::error_code ec;
        std::filesystem::create_directories(resolved.parent_path(), ec);
    }
    std::error_code ec;
    const bool exists = std::filesystem::exists(resolved, ec);
    const int fd = CreateTraceFile(resolved, append && exists);
    if (fd < 0)
        return nullptr;
    auto* file = new CTraceLogFile(list.nextFileId++, resolved, fd);
    if (list.files.Add(file) < 0)
    {
        delete file;
        return nullptr;
    }
    return file;
}

CTraceLogFile* CTraceLogFile::AttachShared(uint32_t fileId)
{
    TraceFileList& list = FileList();
    std::lock_guard listLock(list.lock);
    for (uint32_t i = 0; i < list.files.GetCount(); ++i)
    {
        CTraceLogFile* file = list.files[i];
        if (file->m_nFileId == fileId)
        {
            ++file->m_nRefCount;
            return file;
        }
    }
    return nullptr;
}

void CTraceLogFile::Release()
{
    // Count, test and removal under the one list lock: an OpenShared of the same path on another
    // thread either finds the file with its reference still counted or does not find it at all.
    TraceFileList& list = FileList();
    {
        std::lock_guard listLock(list.lock);
        if (--m_nRefCount > 0)
            return;
        for (uint32_t i = 0; i < list.files.GetCount(); ++i)
        {
            if (list.files[i] == this)
            {
                list.files.RemoveAt(i);
                break;
            }
        }
    }
    delete this;
}

BOOL CTraceLogFile::IsOpen() const
{
    std::lock_guard lock(m_Lock);
    return m_nFd >= 0 ? TRUE : FALSE;
}

uint32_t CTraceLogFile::GetRefCount() const
{
    std::lock_guard listLock(FileList().lock);
    return m_nRefCount;
}

void CTraceLogFile::CloseFile()
{
    std::lock_guard lock(m_Lock);
    if (m_nFd >= 0)
    {
        ::fsync(m_nFd);
        ::close(m_nFd);
    }
    m_nFd = -1;
    m_nBytesWritten = 0;
}

void CTraceLogFile::Restart()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = CreateTraceFile(m_Path, false);
    m_nBytesWritten = 0;
}

void CTraceLogFile::WriteRecord(std::u16string_view record)
{
    std::u16string text(record);
    text += u"\n\n";
    ReplaceAll(text, u"\n", u"\r\n");
    std::string bytes;
    if (!NarrowAscii(text, bytes))
    {
        if (auto converted = platform::Utf16ToUtf8Strict(text))
            bytes = std::move(*converted);
        else
            bytes = std::string(kTranslationFailure) + "\r\n\r\n";
    }

    std::lock_guard lock(m_Lock);
    m_nBytesWritten += bytes.size();
    if (m_nBytesWritten > m_nSizeLimit)
        Restart(); // the record opens the new file, which counts from 0 without it
    if (m_nFd >= 0)
        WriteAll(m_nFd, bytes.data(), bytes.size());
}

// --- CTraceLog ---------------------------------------------------------------------------------

CTraceLog::CTraceLog(const CTraceLog& other)
{
    *this = other;
}

CTraceLog::~CTraceLog()
{
    Close();
}

CTraceLog& CTraceLog::operator=(const CTraceLog& other)
{
    if (this == &other)
        return *this;
    // Only one trace's line lock at a time: the other's state is copied first, with a reference
    // on its file, then installed here.
    CWideString module;
    uint32_t maxLevel = 0;
    uint32_t level = 0;
    CTraceLogFile* file = nullptr;
    {
        std::lock_guard lock(other.m_LineLock);
        module = other.m_ModuleName;
        maxLevel = other.m_nMaxLevel.load();
        level = other.m_nLevel.load();
        if (other.m_pFile != nullptr)
            file = CTraceLogFile::AttachShared(other.m_pFile->GetFileId());
    }
    std::lock_guard lock(m_LineLock);
    DropPendingLines();
    ReleaseFileLocked();
    m_ModuleName = module;
    m_nMaxLevel.store(maxLevel);
    m_nLevel.store(level);
    m_pFile = file;
    m_pFileHint.store(file != nullptr, std::memory_order_release);
    return *this;
}

HRESULT CTraceLog::OpenFile(const char16_t* path, const char16_t* moduleName, uint32_t* fileId)
{
    std::lock_guard lock(m_LineLock);
    if (m_pFile != nullptr)
        return E_FAIL;
    DropPendingLines();
    CTraceLogFile* file = CTraceLogFile::OpenShared(FALSE, path);
    if (file == nullptr)
        return E_FAIL;
    m_pFile = file;
    m_ModuleName = moduleName;
    m_pFileHint.store(true, std::memory_order_release);
    if (fileId != nullptr)
        *fileId = file->GetFileId();
    return S_OK;
}

HRESULT CTraceLog::AttachFile(uint32_t fileId, const char16_t* moduleName)
{
    std::lock_guard lock(m_LineLock);
    if (m_pFile != nullptr)
        return E_FAIL;
    CTraceLogFile* file = CTraceLogFile::AttachShared(fileId);
    if (file == nullptr)
        return E_FAIL;
    DropPendingLines();
    m_pFile = file;
    m_ModuleName = moduleName;
    m_pFileHint.store(true, std::memory_order_release);
    return S_OK;
}

void CTraceLog::Close()
{
    std::lock_guard lock(m_LineLock);
    DropPendingLines();
    ReleaseFileLocked();
}

void CTraceLog::ReleaseFileLocked()
{
    m_pFileHint.store(false, std::memory_order_release);
    if (m_pFile != nullptr)
        m_pFile->Release();
    m_pFile = nullptr;
}

BOOL CTraceLog::IsFileOpen() const
{
    std::lock_guard lock(m_LineLock);
    return m_pFile != nullptr && m_pFile->IsOpen() ? TRUE : FALSE;
}

int32_t CTraceLog::GetFileId() const
{
    std::lock_guard lock(m_LineLock);
    return m_pFile != nullptr ? static_cast<int32_t>(m_pFile->GetFileId()) : -1;
}

void CTraceLog::DropPendingLines()
{
    std::lock_guard lock(m_PendingLock);
    m_Pending.clear();
}

void CTraceLog::Append(AppendFn fn, const void* operand, bool keepHex)
{
    std::lock_guard lock(m_PendingLock);
    auto [it, created] = m_Pending.try_emplace(std::this_thread::get_id());
    if (created)
        it->second.level = m_nLevel.load();
    fn(it->second.text, it->second.hex, operand);
    if (!keepHex)
        it->second.hex = false;
}

void CTraceLog::EndLine()
{
    PendingLine line;
    {
        std::lock_guard lock(m_PendingLock);
        const auto it = m_Pending.find(std::this_thread::get_id());
        if (it != m_Pending.end())
        {
            line = std::move(it->second);
            m_Pending.erase(it);
        }
        else
            line.level = m_nLevel.load();
    }
    if (line.level > m_nMaxLevel.load())
        return;

    SYSTEMTIME now;
    GetLocalTime(now);
    ReplaceAll(line.text, u"\n", u"\n   ");
    const std::string thread = platform::Format("%u", static_cast<unsigned>(::gettid()));

    std::lock_guard lock(m_LineLock);
    if (m_pFile == nullptr)
        return;
    std::u16string record;
    if (!m_ModuleName.IsEmpty())
    {
        record = u"Module: ";
        record += static_cast<const char16_t*>(m_ModuleName);
        record += u' ';
    }
    record += u"Time: ";
    AppendAscii(record, TimeText(now));
    record += u" Thread: ";
    AppendAscii(record, thread);
    record += u"\n   ";
    record += line.text;
    m_pFile->WriteRecord(record);
}

void CTraceLog::Control(TraceCtrl control)
{
    if (control == TRACE_END)
    {
        EndLine();
        return;
    }
    std::lock_guard lock(m_PendingLock);
    PendingLine& line = m_Pending[std::this_thread::get_id()];
    if (control == TRACE_HEX)
    {
        line.hex = true;
        if (line.text.empty())
            line.level = m_nLevel.load();
        return;
    }
    line.text.clear();
    line.level = control;
    m_nLevel.store(control);
}

void CTraceLog::AppendText8(std::u16string& out, bool hex, const void* operand)
{
    const auto* p = static_cast<const char*>(operand);
    if (p == nullptr || *p == 0)
        return;
    if (!hex)
    {
        out += platform::Utf8ToUtf16(p);
        return;
    }
    for (; *p != 0; ++p)
        AppendAscii(out, platform::Format("%02X", static_cast<unsigned>(static_cast<unsigned char>(*p))));
}

void CTraceLog::AppendText16(std::u16string& out, bool hex, const void* operand)
{
    const auto* p = static_cast<const char16_t*>(operand);
    if (p == nullptr)
        return;
    if (!hex)
        out += p;
    else if (const CWideString digits = FormatWideStringHex(p); !digits.IsEmpty())
        out += static_cast<const char16_t*>(digits);
}

void CTraceLog::AppendU16(std::u16string& out, bool hex, const void* operand)
{
    const unsigned v = *static_cast<const unsigned short*>(operand);
    AppendAscii(out, platform::Format(hex ? "%04X" : "%d", v));
}

void CTraceLog::AppendI32(std::u16string& out, bool hex, const void* operand)
{
    const int v = *static_cast<const int*>(operand);
    AppendAscii(out, hex ? platform::Format("%08X", static_cast<unsigned>(v)) : platform::Format("%d", v));
}

void CTraceLog::AppendU32(std::u16string& out, bool hex, const void* operand)
{
    const unsigned v = *static_cast<const unsigned*>(operand);
    AppendAscii(out, platform::Format(hex ? "%08X" : "%u", v));
}

void CTraceLog::AppendFloat(std::u16string& out, bool hex, const void* operand)
{
    const float v = *static_cast<const float*>(operand);
    AppendAscii(out, hex ? platform::Format("%08X", std::bit_cast<uint32_t>(v))
                         : platform::Format("%g", static_cast<double>(v)));
}

void CTraceLog::AppendDouble(std::u16string& out, bool hex, const void* operand)
{
    const double v = *static_cast<const double*>(operand);
    const auto bits = std::bit_cast<uint64_t>(v);
    AppendAscii(out, hex ? platform::Format("%08X%08X", static_cast<uint32_t>(bits),
                                            static_cast<uint32_t>(bits >> 32))
                         : platform::Format("%g", v));
}

void CTraceLog::AppendTime(std::u16string& out, bool hex, const void* operand)
{
    const auto& t = *static_cast<const SYSTEMTIME*>(operand);
    if (!hex)
    {
        AppendAscii(out, TimeText(t));
        return;
    }
    for (WORD field : {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds})
        AppendAscii(out, platform::Format("%04X", static_cast<unsigned>(field)));
}

void CTraceLog::AppendResultCode(std::u16string& out, bool, const void* operand)
{
    const auto v = static_cast<uint32_t>(static_cast<const TraceResultCode*>(operand)->code);
    AppendAscii(out, platform::Format("%04X", v));
}
