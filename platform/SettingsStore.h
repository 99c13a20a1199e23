// The settings store that stands in for the Windows registry: two hives kept as text files in the
// format of Windows registry exports, user.reg (HKEY_CURRENT_USER) and machine.reg
// (HKEY_LOCAL_MACHINE), in platform::ConfigDir().
//
// Key paths are given without the hive, separated by backslashes ("Software\Norvane\ModbusComm");
// empty parts (doubled or outer backslashes) are ignored and "" is the hive's root. Key and value
// names compare without regard to case (simple case folding of the BMP, see CaseFold.h) and keep
// the spelling they were created with; "" names a key's default value. Values are typed: a string
// is never read as a DWORD. Every call sees what other threads and processes have written (one stat
// of the file per call; it is read again when its inode, size or modification time changed), and a
// read allocates nothing but the value it returns (GetDword and KeyExists nothing at all, once the
// hive has been looked at); writes are atomic (temporary file in the same folder, fsync, rename)
// and serialised between threads and, through an flock on "<hive>.lock" beside the file, between
// processes; each write starts from the file as it is then.
// Key paths stay within the bounds of the Windows registry (regfile::kMaxKeyDepth and the others): a
// write to a key beyond them fails, and so does a write that would make the hive file larger than
// the 16 MiB that a hive file may be read with; the file is then left as it was, and the user is
// told through the message-box hook (MessageBox.h) that the change was not saved: at once, or once
// per file for all the writes of a CChangeScope. A write that the program makes on its own is told
// only the first time the file refuses it with its values in this process (see ChangeBy).
// A hive file that cannot be read or parsed, or that holds keys of the other hive, is renamed to
// "<hive>.broken-<UTC time>" (never replacing an earlier one), reported on standard error and
// through LastProblem(), and the hive starts empty; the other hive is not affected. If it cannot
// even be moved aside, the hive reads as empty and every write fails. A missing hive is empty, and
// reading it creates no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform
{

enum class Hive
{
    CurrentUser,
    LocalMachine
};

// Value types with their Windows numbers.
enum class RegType : uint32_t
{
    String = 1,       // REG_SZ
    ExpandString = 2, // REG_EXPAND_SZ
    Binary = 3,       // REG_BINARY
    Dword = 4,        // REG_DWORD
    MultiString = 7,  // REG_MULTI_SZ
    Qword = 11,       // REG_QWORD
};

struct RegValue
{
    RegType type = RegType::String;
    std::u16string text;               // String, ExpandString
    std::vector<std::u16string> texts; // MultiString
    uint64_t number = 0;               // Dword (low 32 bits), Qword
    std::vector<uint8_t> bytes;        // Binary

    static RegValue FromString(std::u16string_view s);
    static RegValue FromDword(uint32_t v);
    static RegValue FromQword(uint64_t v);
    static RegValue FromBinary(std::vector<uint8_t> b);
    static RegValue FromMultiString(std::vector<std::u16string> list);
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

namespace settings
{

bool KeyExists(Hive hive, std::u16string_view key);
std::optional<RegValue> GetValue(Hive hive, std::u16string_view key, std::u16string_view name);
// Typed reads: nullopt when the key or value is missing or has another type.
std::optional<uint32_t> GetDword(Hive hive, std::u16string_view key, std::u16string_view name);
std::optional<std::u16string> GetString(Hive hive, std::u16string_view key, std::u16string_view name);

// Writes create the key (and its parents) when missing. false when the hive cannot be written, or
// when a name cannot be kept in the text file (a line break, a zero character, a lone surrogate).
bool CreateKey(Hive hive, std::u16string_view key);
bool SetValue(Hive hive, std::u16string_view key, std::u16string_view name, const RegValue& value);
bool SetDword(Hive hive, std::u16string_view key, std::u16string_view name, uint32_t value);
bool SetString(Hive hive, std::u16string_view key, std::u16string_view name, std::u16string_view value);
// Several values of one key in one write, so that all of them are kept or none: a name with nullopt
// is deleted (if it is there). false when the hive cannot be written or a name cannot be kept.
bool SetValues(Hive hive, std::u16string_view key,
               const std::vector<std::pair<std::u16string, std::optional<RegValue>>>& values);
// false when there was nothing to delete or the hive cannot be written.
bool DeleteValue(Hive hive, std::u16string_view key, std::u16string_view name);
bool DeleteKey(Hive hive, std::u16string_view key); // with everything below it; never the root

// Names as stored (original case), in file order.
std::vector<std::u16string> EnumSubKeys(Hive hive, std::u16string_view key);
std::vector<std::pair<std::u16string, RegValue>> EnumValues(Hive hive, std::u16string_view key);

// A number that changes whenever what this process holds of either hive may have changed: a write
// by this process, a file found changed by a call, a reset. A caller that keeps values it read can
// compare it instead of reading again; it is one atomic load.
uint64_t CacheVersion();

// Whose a change is. One the user asked for is told every time the file refuses it. One that the
// program makes on its own (its defaults, the state it keeps of its windows) is told the first time
// only: the same write refused before in this process, with the same values, is not told again,
// whoever's that earlier one was. Writes outside any CChangeScope are the user's.
enum class ChangeBy
{
    User,
    Program,
};

// One change that is kept as several writes (a list stored entry by entry): while a scope lives on
// a thread, the writes of that thread refused at the size bound are told in one box per file when
// the outermost scope ends, not in one box each. Scopes nest; the boxes belong to the window given
// to the outermost scope (an opaque handle for the message-box hook, null for none), and each write
// is by whom the innermost scope says.
//
// A change made on a worker for a thread that waits for it is told by the waiting thread, over its
// window and after the wait: the worker's outermost scope hands the files over instead of telling
// them, and the waiting thread passes them to TellRefusals.
class CChangeScope
{
public:
    explicit CChangeScope(const void* owner = nullptr, ChangeBy by = ChangeBy::User);
    explicit CChangeScope(ChangeBy by) : CChangeScope(nullptr, by) {}
    // Hands the files refused on this thread to `handOver` when it ends, if it is the outermost.
    explicit CChangeScope(std::vector<std::string>& handOver);
    ~CChangeScope();
    CChangeScope(const CChangeScope&) = delete;
    CChangeScope& operator=(const CChangeScope&) = delete;

private:
    const void* m_owner = nullptr;
    std::vector<std::string>* m_handOver = nullptr;
    ChangeBy m_outerBy;
};

// Tells the refusals that a scope on another thread handed over as if they were this thread's: at
// the end of this thread's outermost scope when one lives, else at once, one box per file.
void TellRefusals(const std::vector<std::string>& files);

// The most recent load or save problem of a hive ("" when none since the last ResetForTests), for
// tests and diagnostics.
std::string LastProblem(Hive hive);

// A hive file that could not be used: its path, why ("is malformed (line 3: ...)", "cannot be read
// (Permission denied)"), and where it was kept; keptAs is empty when it could not be moved aside
// (the hive then reads as empty and is not written).
struct SetAsideFile
{
    std::string path;
    std::string reason;
    std::string keptAs;
};
// The hive file last found unusable since the previous call (or ResetForTests), once: the caller
// that tells the user about it takes it.
std::optional<SetAsideFile> TakeSetAsideFile(Hive hive);
// Forgets everything cached in this process (tests call it after pointing NORVANE_CONFIG_DIR at a
// fresh folder).
void ResetForTests();
// The size bound of a hive file, in MiB, for tests that would otherwise fill 16 MiB files; 0 puts the
// 16 MiB back (ResetForTests does too).
void SetSizeBoundForTests(size_t mebibytes);

} // namespace settings

// The .reg text format, exposed for the store and its fuzz target.
namespace regfile
{

struct Key
{
    std::u16string path; // as written, without the hive
    std::vector<std::pair<std::u16string, RegValue>> values;
};

struct Document
{
    std::u16string hiveName; // "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE" as found in the file
    std::vector<Key> keys;
};

// The bounds of a key path below the hive, those of the Windows registry: names of at most 255
// UTF-16 units, at most 512 levels, and no more units than the longest counted string Windows keeps.
// Every key of a settings file of ours lies far within them; the store walks its keys level by
// level, recursively, and a file must not decide how deep that goes.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxKeyPathLength = 32767;

// Parses UTF-8 or UTF-16LE (with BOM) text; nullopt with a reason ("line 7: ...") for malformed
// input. Keys and values given twice are merged (the later data wins), and the deletions "[-key]"
// and "name"=- apply to what came before them in the same text. Empty text is an empty document.
// Value types other than those of RegType are refused, as are REGEDIT4 text, keys beyond the bounds
// above and a hive name that begins with '-'.
std::optional<Document> Parse(std::string_view bytes, std::string* error = nullptr);
// Writes "Windows Registry Editor Version 5.00" text in UTF-8 with LF line ends. A string that one
// quoted line cannot carry (line breaks, zero characters, lone surrogates) is written as hex(1).
// Names must not contain line breaks (the store refuses such names before they get here).
std::string Serialize(const Document& doc, std::u16string_view hiveName);

} // namespace regfile

} // namespace platform
