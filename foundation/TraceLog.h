// The diagnostic trace of the communication objects. Each object carries a CTraceLog and builds
// lines in stream style:
//
//     m_Trace << TRACE_LEVEL1 << u"Device: " << address << u" - read failed - " << TraceHr(hr)
//             << TRACE_END;
//
// A level item starts a line, TRACE_END writes it as one record (module name, local time, thread
// id) to a trace file that all objects of the process share by path. The pending line belongs to
// the thread that builds it: two threads writing to one trace never mix their items, and a line
// that is never ended blocks nothing (the thread's next level item starts afresh). No lock is held
// between two appends. Without an attached file every append does nothing; lines left unfinished
// when the file was closed are dropped when a file is attached again.
//
// Trace files are written in the state folder (platform::StateDir()) when given as a relative path,
// start empty when the process first opens them, and start again empty when they pass 10 MiB.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "foundation/SystemTime.h"
#include "foundation/WideString.h"
#include "platform/Sync.h"
#include "platform/Types.h"

// Stream controls. Any value other than TRACE_HEX and TRACE_END starts a line at that level
// (TraceCtrl(n) for levels without a name).
enum TraceCtrl : uint32_t
{
    TRACE_LEVEL1 = 1,
    TRACE_LEVEL2 = 2,
    TRACE_LEVEL3 = 3,
    TRACE_HEX = 4, // the next value is written in hexadecimal
    TRACE_LEVEL7 = 7,
    TRACE_END = 100,
};

inline constexpr uint32_t TRACE_FILE_SIZE_LIMIT = 0xA00000u;

// A result code is an int here, so it needs a wrapper to be told from a number: TraceHr(hr) writes
// "%04X" (upper case, at least four digits) in either mode.
struct TraceResultCode
{
    HRESULT code;
};
constexpr TraceResultCode TraceHr(HRESULT code)
{
    return TraceResultCode{code};
}

// One open trace file, shared by every trace of the process that names the same path (compared
// without regard to case). Reference counted; the process list holds every open one.
class CTraceLogFile
{
public:
    // The file for a path: the open one with a reference more, or a new one (created empty unless
    // append is set and it exists). Null for a null or empty path or when the file cannot be made.
    static CTraceLogFile* OpenShared(BOOL append, const char16_t* path);
    // The open file with that id with a reference more, or null.
    static CTraceLogFile* AttachShared(uint32_t fileId);
    // Where a trace path is written: a relative path resolves in the state folder.
    static std::filesystem::path ResolvePath(const char16_t* path);

    // One reference less; the last one flushes, closes, leaves the process list and deletes.
    void Release();

    // Appends one finished record (CR LF line ends applied here), restarting the file first when it
    // would pass the size limit.
    void WriteRecord(std::u16string_view record);

    uint32_t GetFileId() const { return m_nFileId; }
    BOOL IsOpen() const;
    uint32_t GetRefCount() const;
    const std::filesystem::path& GetPath() const { return m_Path; }

private:
    CTraceLogFile(uint32_t fileId, std::filesystem::path path, int fd);
    ~CTraceLogFile();
    void Restart();
    void CloseFile();

    mutable platform::CCriticalSection m_Lock;
    int m_nFd = -1;
    std::filesystem::path m_Path;
    uint32_t m_nSizeLimit = TRACE_FILE_SIZE_LIMIT;
    uint64_t m_nBytesWritten = 0;
    const uint32_t m_nFileId;
    uint32_t m_nRefCount = 1; // changed only under the process list lock
};

class CTraceLog
{
public:
    CTraceLog() = default;
    // Shares the other's file and settings (as operator=).
    CTraceLog(const CTraceLog& other);
    ~CTraceLog();
    // Drops the pending lines, releases the own file, then copies module name, maximum level and
    // level and shares the other's file.
    CTraceLog& operator=(const CTraceLog& other);

    // E_FAIL when a file is already attached or the file cannot be had; fileId receives the id.
    HRESULT OpenFile(const char16_t* path, const char16_t* moduleName, uint32_t* fileId = nullptr);
    // Attaches to a file of the process that is open already; E_FAIL when a file is attached here
    // or no open file has that id.
    HRESULT AttachFile(uint32_t fileId, const char16_t* moduleName);
    void Close();
    // Without a file the answer needs no lock and no call.
    BOOL IsOpen() const { return HasFile() ? IsFileOpen() : FALSE; }
    // -1 when no file is attached.
    int32_t GetFileId() const;

    // Lines above the maximum level are dropped (1 for the device trace, 3 for a line trace).
    void SetMaxLevel(uint32_t level) { m_nMaxLevel.store(level); }
    uint32_t GetMaxLevel() const { return m_nMaxLevel.load(); }

    // Inline, so that a trace without a file costs its callers one test and nothing else (the
    // communication objects trace around every transaction whether a file is open or not).
    CTraceLog& operator<<(TraceCtrl control)
    {
        if (HasFile())
            Control(control);
        return *this;
    }
    // Text form and hex form of each operand:
    // UTF-8 text; each byte "%02X"
    CTraceLog& operator<<(const char* text) { return Add(&AppendText8, text); }
    // UTF-16 text; each unit "%04X"
    CTraceLog& operator<<(const char16_t* text) { return Add(&AppendText16, text); }
    // "%d"; "%04X"
    CTraceLog& operator<<(unsigned short value) { return Add(&AppendU16, &value); }
    // "%d"; "%08X"
    CTraceLog& operator<<(int value) { return Add(&AppendI32, &value); }
    // "%u"; "%08X"
    CTraceLog& operator<<(unsigned int value) { return Add(&AppendU32, &value); }
    // "%g"; its 32 bits "%08X"
    CTraceLog& operator<<(float value) { return Add(&AppendFloat, &value); }
    // "%g"; its 64 bits, low word first
    CTraceLog& operator<<(double value) { return Add(&AppendDouble, &value); }
    CTraceLog& operator<<(const SYSTEMTIME& time) { return Add(&AppendTime, &time); }
    // "%04X" in either mode; the hex flag stays
    CTraceLog& operator<<(TraceResultCode code) { return Add(&AppendResultCode, &code, true); }
    CTraceLog& operator<<(const CWideString& text) { return *this << static_cast<const char16_t*>(text); }

private:
    struct PendingLine
    {
        std::u16string text;
        uint32_t level = 0;
        bool hex = false;
    };
    using AppendFn = void (*)(std::u16string& text, bool hex, const void* operand);

    static void AppendText8(std::u16string& text, bool hex, const void* operand);
    static void AppendText16(std::u16string& text, bool hex, const void* operand);
    static void AppendU16(std::u16string& text, bool hex, const void* operand);
    static void AppendI32(std::u16string& text, bool hex, const void* operand);
    static void AppendU32(std::u16string& text, bool hex, const void* operand);
    static void AppendFloat(std::u16string& text, bool hex, const void* operand);
    static void AppendDouble(std::u16string& text, bool hex, const void* operand);
    static void AppendTime(std::u16string& text, bool hex, const void* operand);
    static void AppendResultCode(std::u16string& text, bool hex, const void* operand);

    bool HasFile() const { return m_pFileHint.load(std::memory_order_acquire); }
    // The calls past HasFile are marked cold: the compiler then moves the building of a trace line,
    // and what its caller does only for an open trace, out of the way of the code around it, which
    // runs for every transaction with the trace closed.
    [[gnu::cold]] BOOL IsFileOpen() const;
    CTraceLog& Add(AppendFn fn, const void* operand, bool keepHex = false)
    {
        if (HasFile())
            Append(fn, operand, keepHex);
        return *this;
    }
    // Starts a line, sets the hex flag or ends the line (with a file attached).
    [[gnu::cold]] void Control(TraceCtrl control);
    // Adds one item to the calling thread's line; clears the one-shot hex flag unless keepHex.
    [[gnu::cold]] void Append(AppendFn fn, const void* operand, bool keepHex);
    void DropPendingLines();
    // Writes the calling thread's line (if its level passes) and forgets it.
    void EndLine();
    void ReleaseFileLocked();

    // Guards the module name and the file pointer; taken only to open, close or write a record.
    mutable platform::CCriticalSection m_LineLock;
    CWideString m_ModuleName;
    std::atomic<uint32_t> m_nMaxLevel{0};
    std::atomic<uint32_t> m_nLevel{0}; // the last level set; a thread's line starts with it
    CTraceLogFile* m_pFile = nullptr;
    std::atomic<bool> m_pFileHint{false};

    // The lines being built, one per thread (a leaf lock, never held while writing).
    std::mutex m_PendingLock;
    std::unordered_map<std::thread::id, PendingLine> m_Pending;
};
