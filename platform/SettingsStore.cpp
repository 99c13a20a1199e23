// The two hives in memory, kept in step with their files.
//
// Each hive is cached as a tree together with the identity of the file it came from (device,
// inode, size, modification time). Every call compares that identity with the file on disk and
// reads the file again when it differs, so changes made by other processes are seen. The loaded
// file is kept open: while its inode is in use, no later file can get the same inode number, so a
// replacement written within the same clock tick and of the same size is still noticed.
//
// A change is made under an exclusive flock on "<hive>.lock" beside the hive: the file is read
// again under the lock, changed, written to a temporary file in the same folder, flushed with
// fsync and renamed over the hive. A file is only ever loaded under that lock too, so a file that
// cannot be used is renamed aside (never overwritten) before another process can replace it.
#include "platform/SettingsStore.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "platform/CaseFold.h"
#include "platform/Folders.h"
#include "platform/MessageBox.h"
#include "platform/Utf.h"

namespace platform
{

RegValue RegValue::FromString(std::u16string_view s)
{
    RegValue value;
    value.type = RegType::String;
    value.text = s;
    return value;
}

RegValue RegValue::FromDword(uint32_t v)
{
    RegValue value;
    value.type = RegType::Dword;
    value.number = v;
    return value;
}

RegValue RegValue::FromQword(uint64_t v)
{
    RegValue value;
    value.type = RegType::Qword;
    value.number = v;
    return value;
}

RegValue RegValue::FromBinary(std::vector<uint8_t> b)
{
    RegValue value;
    value.type = RegType::Binary;
    value.bytes = std::move(b);
    return value;
}

RegValue RegValue::FromMultiString(std::vector<std::u16string> list)
{
    RegValue value;
    value.type = RegType::MultiString;
    value.texts = std::move(list);
    return value;
}

namespace settings
{

namespace
{

namespace fs = std::filesystem;

// Far more than any settings hive holds; a larger file is not one of ours.
constexpr size_t kMaxHiveBytes = 16u << 20;
// The bound in force: kMaxHiveBytes, or a smaller whole number of MiB that a test sets.
std::atomic<size_t> g_maxHiveBytes{kMaxHiveBytes};

size_t MaxHiveBytes()
{
    return g_maxHiveBytes.load();
}

std::string MaxHiveSizeText()
{
    return std::to_string(MaxHiveBytes() >> 20) + " MiB";
}

// The same for a box, which must not break its line between the number and the unit.
std::u16string MaxHiveSizeBoxText()
{
    return Utf8ToUtf16(std::to_string(MaxHiveBytes() >> 20)) + u"\u00A0MiB";
}

// Hashes and compares names as their case folding would, without making the folded copy: a lookup
// runs before every transaction and must not allocate.
struct FoldedHash
{
    using is_transparent = void;
    size_t operator()(std::u16string_view name) const
    {
        uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
        for (char16_t unit : name)
            hash = (hash ^ FoldCase(unit)) * 0x100000001b3ull;
        return static_cast<size_t>(hash);
    }
};

struct FoldedEqual
{
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const { return EqualsIgnoreCase(a, b); }
};

struct Node
{
    std::u16string name;
    std::vector<std::unique_ptr<Node>> children;
    std::unordered_map<std::u16string, Node*, FoldedHash, FoldedEqual> childIndex; // by name
    std::vector<std::pair<std::u16string, RegValue>> values;

    Node* Child(std::u16string_view childName) const
    {
        auto found = childIndex.find(childName);
        return found == childIndex.end() ? nullptr : found->second;
    }

    Node* AddChild(std::u16string_view childName)
    {
        if (Node* existing = Child(childName))
            return existing;
        auto child = std::make_unique<Node>();
        child->name = childName;
        Node* raw = child.get();
        childIndex.emplace(child->name, raw);
        children.push_back(std::move(child));
        return raw;
    }

    bool RemoveChild(std::u16string_view childName)
    {
        auto found = childIndex.find(childName);
        if (found == childIndex.end())
            return false;
        Node* doomed = found->second;
        childIndex.erase(found);
        std::erase_if(children, [doomed](const std::unique_ptr<Node>& c) { return c.get() == doomed; });
        return true;
    }

    RegValue* Value(std::u16string_view valueName)
    {
        for (auto& [stored, value] : values)
            if (EqualsIgnoreCase(stored, valueName))
                return &value;
        return nullptr;
    }
};

// Any change of what this process holds of a hive advances it (see CacheVersion).
std::atomic<uint64_t> g_cacheVersion{1};

void CacheChanged()
{
    g_cacheVersion.fetch_add(1, std::memory_order_release);
}

// The identity of a hive file as far as change detection needs it.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    time_t mtimeSec = 0;
    long mtimeNsec = 0;

    static FileStamp Of(const struct stat& st)
    {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct HiveState
{
    const char* fileName;
    std::u16string_view rootName;

    // Found once: every call looks at the file, and building its path each time would cost more
    // than the look itself.
    bool dirKnown = false;
    fs::path dir;
    fs::path path;
    fs::path lockPath;

    Node root;
    bool cached = false;     // root matches the file named by fileExists / stamp
    bool fileExists = false; // a hive file was loaded (else the hive is empty because there is none)
    FileStamp stamp;
    int heldFd = -1; // the loaded file, kept open (see above)

    bool blocked = false; // a file is there that could neither be used nor moved aside
    FileStamp blockedStamp;

    std::string lastProblem;
    std::optional<settings::SetAsideFile> setAside; // not yet taken
    bool refusedAtBound = false; // the last save was refused at kMaxHiveBytes; told outside the lock

    const fs::path& Dir()
    {
        if (!dirKnown)
        {
            dir = ConfigDir();
            path = dir / fileName;
            lockPath = dir / (std::string(fileName) + ".lock");
            dirKnown = true;
        }
        return dir;
    }
    const fs::path& Path()
    {
        Dir();
        return path;
    }
    const fs::path& LockPath()
    {
        Dir();
        return lockPath;
    }

    void Forget()
    {
        if (heldFd >= 0)
            close(heldFd);
        heldFd = -1;
        root = Node();
        cached = false;
        fileExists = false;
        stamp = {};
        CacheChanged();
    }

    void Reset()
    {
        Forget();
        dirKnown = false;
        dir.clear();
        path.clear();
        lockPath.clear();
        blocked = false;
        blockedStamp = {};
        lastProblem.clear();
        setAside.reset();
        refusedAtBound = false;
    }
};

std::mutex g_mutex;
HiveState g_hives[] = {{"user.reg", u"HKEY_CURRENT_USER"}, {"machine.reg", u"HKEY_LOCAL_MACHINE"}};

HiveState& State(Hive hive)
{
    return g_hives[hive == Hive::CurrentUser ? 0 : 1];
}

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

void Report(HiveState& h, std::string message)
{
    std::fprintf(stderr, "settings: %s\n", message.c_str());
    h.lastProblem = std::move(message);
}

// An exclusive flock on the hive's lock file for as long as the object lives.
class CFileLock
{
public:
    explicit CFileLock(const fs::path& path)
    {
        m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
        {
            m_error = errno;
            return;
        }
        while (flock(m_fd, LOCK_EX) != 0)
        {
            if (errno != EINTR)
            {
                m_error = errno;
                close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~CFileLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    bool Held() const { return m_fd >= 0; }
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

std::string UtcStampText()
{
    const time_t now = std::time(nullptr);
    struct tm utc
    {
    };
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Renames the hive to "<hive>.broken-<UTC time>[-n]" without replacing an earlier one.
std::optional<fs::path> MoveAside(HiveState& h, int& error)
{
    const fs::path path = h.Path();
    const std::string base = std::string(h.fileName) + ".broken-" + UtcStampText();
    for (int n = 1; n <= 100; ++n)
    {
        const fs::path aside = h.Dir() / (n == 1 ? base : base + "-" + std::to_string(n));
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
        {
            error = errno;
            return std::nullopt;
        }
        // A file system without RENAME_NOREPLACE: the hive lock keeps our own processes apart.
        std::error_code ec;
        if (fs::exists(aside, ec) || ec)
            continue;
        if (rename(path.c_str(), aside.c_str()) == 0)
            return aside;
        error = errno;
        return std::nullopt;
    }
    error = EEXIST;
    return std::nullopt;
}

// The file named by `st` cannot be used. Called with the hive lock held (when it could be had).
void SetAside(HiveState& h, const struct stat& st, const std::string& reason)
{
    const fs::path path = h.Path();
    h.Forget();
    int error = 0;
    if (auto aside = MoveAside(h, error))
    {
        h.blocked = false;
        h.cached = true; // nothing is left at the path: the hive is empty
        h.setAside = settings::SetAsideFile{path.string(), reason, aside->string()};
        Report(h, path.string() + " " + reason + "; it was kept as " + aside->string() +
                      " and the hive starts empty");
        return;
    }
    h.blocked = true;
    h.blockedStamp = FileStamp::Of(st);
    h.setAside = settings::SetAsideFile{path.string(), reason, {}};
    Report(h, path.string() + " " + reason + " and could not be moved aside (" + ErrnoText(error) +
                  "); the hive is empty and will not be written");
}

void Build(Node& root, regfile::Document&& doc)
{
    for (auto& key : doc.keys)
    {
        Node* node = &root;
        std::u16string_view rest = key.path;
        while (!rest.empty())
        {
            const size_t slash = rest.find(u'\\');
            node = node->AddChild(rest.substr(0, slash));
            rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash + 1);
        }
        for (auto& value : key.values)
            node->values.push_back(std::move(value));
    }
}

// Reads the hive file into the cache. Called with the hive lock held (when it could be had).
void Load(HiveState& h)
{
    const fs::path path = h.Path();
    struct stat st
    {
    };
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        const int error = errno;
        if (error == ENOENT)
        {
            h.Forget();
            h.blocked = false;
            h.cached = true;
            return;
        }
        if (stat(path.c_str(), &st) != 0)
            st = {};
        SetAside(h, st, "cannot be read (" + ErrnoText(error) + ")");
        return;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        close(fd);
        SetAside(h, st, "is not a regular file");
        return;
    }
    std::string bytes;
    std::string problem;
    if (static_cast<uint64_t>(st.st_size) > MaxHiveBytes())
        problem = "is larger than " + MaxHiveSizeText();
    else
    {
        bytes.resize(static_cast<size_t>(st.st_size) + 1);
        size_t got = 0;
        while (got < bytes.size())
        {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
            {
                problem = "cannot be read (" + ErrnoText(errno) + ")";
                break;
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        // The extra byte notices a file that grew since fstat.
        if (problem.empty() && got > static_cast<size_t>(st.st_size))
            problem = "changed while it was read";
        bytes.resize(got);
    }
    std::optional<regfile::Document> doc;
    if (problem.empty())
    {
        std::string error;
        doc = regfile::Parse(bytes, &error);
        if (!doc)
            problem = "is malformed (" + error + ")";
        else if (!doc->hiveName.empty() && !EqualsIgnoreCase(doc->hiveName, h.rootName))
            problem =
                "holds keys of " + Utf16ToUtf8(doc->hiveName) + " instead of " + Utf16ToUtf8(h.rootName);
    }
    if (!problem.empty())
    {
        close(fd);
        SetAside(h, st, problem);
        return;
    }
    h.Forget();
    Build(h.root, std::move(*doc));
    h.heldFd = fd;
    h.fileExists = true;
    h.stamp = FileStamp::Of(st);
    h.cached = true;
    h.blocked = false;
}

// Brings the cache in step with the file. `lock` is the hive lock when the caller holds it.
void Refresh(HiveState& h, const CFileLock* lock)
{
    const fs::path& path = h.Path();
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
    {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
        {
            if (!h.cached || h.fileExists || h.blocked)
            {
                h.Forget();
                h.blocked = false;
                h.cached = true;
            }
            return;
        }
        const std::string message = "cannot examine " + path.string() + " (" + ErrnoText(error) + ")";
        h.Forget();
        if (h.lastProblem != message)
            Report(h, message);
        return;
    }
    const FileStamp now = FileStamp::Of(st);
    if (h.cached && h.fileExists && h.stamp == now)
        return;
    if (h.blocked && h.blockedStamp == now)
        return;
    if (lock)
    {
        Load(h);
        return;
    }
    // Loading may have to move a broken file aside, which must not race with another process.
    CFileLock ownLock(h.LockPath());
    Load(h);
}

// The key's path split into its names; empty parts (doubled or outer backslashes) are dropped.
std::vector<std::u16string_view> SplitKey(std::u16string_view key)
{
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    while (start <= key.size())
    {
        size_t end = key.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = key.size();
        if (end > start)
            parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

Node* Find(Node& root, std::u16string_view key)
{
    Node* node = &root;
    size_t start = 0;
    while (node != nullptr && start < key.size())
    {
        size_t end = key.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = key.size();
        if (end > start)
            node = node->Child(key.substr(start, end - start));
        start = end + 1;
    }
    return node;
}

// A name the text file can hold: one line, no zero character, well-formed UTF-16.
bool IsStorableName(std::u16string_view name)
{
    if (name.find_first_of(std::u16string_view(u"\0\r\n", 3)) != std::u16string_view::npos)
        return false;
    return Utf16ToUtf8Strict(name).has_value();
}

// Only the fields of the value's own type are kept, so that what is read back compares equal.
std::optional<RegValue> Canonical(const RegValue& value)
{
    switch (value.type)
    {
    case RegType::String:
        return RegValue::FromString(value.text);
    case RegType::ExpandString:
    {
        RegValue copy = RegValue::FromString(value.text);
        copy.type = RegType::ExpandString;
        return copy;
    }
    case RegType::Binary:
        return RegValue::FromBinary(value.bytes);
    case RegType::Dword:
        return RegValue::FromDword(static_cast<uint32_t>(value.number));
    case RegType::MultiString:
        return RegValue::FromMultiString(value.texts);
    case RegType::Qword:
        return RegValue::FromQword(value.number);
    }
    return std::nullopt;
}

// Only the keys that the file must name: those with values, and those without subkeys (an empty key
// persists). The others are made again on the way to those, and naming each of them too would write
// a deep key's path once for every level of it.
void AppendKeys(const Node& node, std::u16string& path, regfile::Document& doc)
{
    for (const auto& child : node.children)
    {
        const size_t parentLength = path.size();
        if (!path.empty())
            path += u'\\';
        path += child->name;
        if (!child->values.empty() || child->children.empty())
            doc.keys.push_back({path, child->values});
        AppendKeys(*child, path, doc);
        path.resize(parentLength);
    }
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes the cached tree over the hive file. Called with the hive lock held.
bool Save(HiveState& h)
{
    regfile::Document doc;
    doc.hiveName = h.rootName;
    if (!h.root.values.empty())
        doc.keys.push_back({u"", h.root.values});
    std::u16string keyPath;
    AppendKeys(h.root, keyPath, doc);
    const std::string text = regfile::Serialize(doc, h.rootName);

    const fs::path path = h.Path();
    // The next start would set such a file aside, and every setting with it. The user is told in a
    // box (TellRefusal), not on standard error.
    if (text.size() > MaxHiveBytes())
    {
        h.lastProblem =
            "cannot write " + path.string() + " (it would be larger than " + MaxHiveSizeText() + ")";
        h.refusedAtBound = true;
        return false;
    }
    std::string temp = (h.Dir() / (std::string(h.fileName) + ".tmp-XXXXXX")).string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
    {
        Report(h, "cannot write " + path.string() + " (" + ErrnoText(errno) + ")");
        return false;
    }
    // Someone who made the hive readable to others (or not) keeps that choice.
    struct stat old
    {
    };
    if (stat(path.c_str(), &old) == 0)
        fchmod(fd, old.st_mode & 07777);
    if (!WriteAll(fd, text) || fsync(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0)
    {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        Report(h, "cannot write " + path.string() + " (" + ErrnoText(error) + ")");
        return false;
    }
    // Make the rename itself durable.
    if (const int dirFd = open(h.Dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0)
    {
        fsync(dirFd);
        close(dirFd);
    }
    struct stat st
    {
    };
    fstat(fd, &st);
    if (h.heldFd >= 0)
        close(h.heldFd);
    h.heldFd = fd;
    h.fileExists = true;
    h.stamp = FileStamp::Of(st);
    h.cached = true;
    CacheChanged();
    return true;
}

enum class Change
{
    None,    // nothing to write; the call succeeds
    Refused, // nothing to write; the call fails
    Made,    // the tree changed and must be written
};

// The files whose writes were refused at the size bound while a CChangeScope of this thread lives.
thread_local int t_changeDepth = 0;
thread_local std::vector<std::string> t_refusedFiles;
// Whose the writes of this thread are now (the innermost scope's word).
thread_local ChangeBy t_changeBy = ChangeBy::User;

// A write, as far as knowing its refusal again goes: the key and the values it sets or deletes.
struct sWrite
{
    std::u16string key; // its names joined by backslashes, without empty parts
    bool deletesKey = false;
    std::vector<std::pair<std::u16string, std::optional<RegValue>>> values; // nullopt: deleted

    bool SameAs(const sWrite& other) const
    {
        if (deletesKey != other.deletesKey || !EqualsIgnoreCase(key, other.key) ||
            values.size() != other.values.size())
            return false;
        for (size_t i = 0; i < values.size(); ++i)
            if (!EqualsIgnoreCase(values[i].first, other.values[i].first) ||
                values[i].second != other.values[i].second)
                return false;
        return true;
    }
};

std::u16string JoinedKey(const std::vector<std::u16string_view>& parts)
{
    std::u16string key;
    for (auto part : parts)
    {
        if (!key.empty())
            key += u'\\';
        key += part;
    }
    return key;
}

struct sRefusal
{
    std::string file;
    sWrite write;
};

// The writes refused at the size bound in this process, the most recent ones: a program that keeps
// refusing new values cannot make the memory grow without end, and forgetting an old refusal only
// tells it once more.
constexpr size_t kRememberedRefusals = 64;
std::mutex g_refusalsMutex; // a leaf: no other lock is taken while it is held
std::deque<sRefusal> g_refusals;

// Whether the user is to be told of the write's refusal: of a change the user asked for always, of
// the program's own write only the first time the file refuses it with these values.
bool IsNewsToTheUser(const std::string& file, const sWrite& write)
{
    std::lock_guard guard(g_refusalsMutex);
    const bool refusedBefore = std::any_of(g_refusals.begin(), g_refusals.end(),
                                           [&](const sRefusal& refusal)
                                           { return refusal.file == file && refusal.write.SameAs(write); });
    if (!refusedBefore)
    {
        if (g_refusals.size() == kRememberedRefusals)
            g_refusals.pop_front();
        g_refusals.push_back({file, write});
    }
    return !refusedBefore || t_changeBy == ChangeBy::User;
}

void ShowRefusal(const std::string& path, const void* owner)
{
    // Plainly the file's refusal: the change itself (a probe's new address) may well have been made.
    const std::u16string text = u"The change was not saved to the settings file " + Utf8ToUtf16(path) +
                                u": the file would exceed " + MaxHiveSizeBoxText() + u".";
    ShowMessageBox(owner, text, ErrorCaption(), MB_OK | MB_ICONERROR);
}

// Called without the store's lock: a box may run an event loop whose handlers read settings.
void TellRefusal(const std::string& path)
{
    if (t_changeDepth == 0)
    {
        ShowRefusal(path, nullptr);
        return;
    }
    if (std::find(t_refusedFiles.begin(), t_refusedFiles.end(), path) == t_refusedFiles.end())
        t_refusedFiles.push_back(path);
}

// Runs `change` on the current tree; called under both locks.
template <typename F>
bool ModifyLocked(HiveState& h, F&& change)
{
    std::error_code ec;
    fs::create_directories(h.Dir(), ec);
    if (ec)
    {
        Report(h, "cannot create " + h.Dir().string() + " (" + ec.message() + ")");
        return false;
    }
    CFileLock lock(h.LockPath());
    if (!lock.Held())
    {
        Report(h, "cannot lock " + h.LockPath().string() + " (" + ErrnoText(lock.Error()) + ")");
        return false;
    }
    Refresh(h, &lock);
    if (h.blocked || !h.cached)
        return false;
    switch (change(h.root))
    {
    case Change::None:
        return true;
    case Change::Refused:
        return false;
    case Change::Made:
        break;
    }
    if (Save(h))
        return true;
    // The tree holds a change the file does not: read the file again next time.
    h.Forget();
    return false;
}

// Runs `change` on the current tree under both locks and writes the result; `write` says what the
// change asks for, should the file refuse it.
template <typename F>
bool Modify(Hive hive, const sWrite& write, F&& change)
{
    std::string refusedFile;
    bool done = false;
    {
        std::lock_guard guard(g_mutex);
        HiveState& h = State(hive);
        h.refusedAtBound = false;
        done = ModifyLocked(h, std::forward<F>(change));
        if (h.refusedAtBound)
            refusedFile = h.Path().string();
    }
    if (!refusedFile.empty() && IsNewsToTheUser(refusedFile, write))
        TellRefusal(refusedFile);
    return done;
}

// Runs `read` on the current tree under the process lock.
template <typename F>
auto Read(Hive hive, F&& read)
{
    std::lock_guard guard(g_mutex);
    HiveState& h = State(hive);
    Refresh(h, nullptr);
    return read(h.root);
}

Node* CreatePath(Node& root, const std::vector<std::u16string_view>& parts, bool& created)
{
    Node* node = &root;
    created = false;
    for (auto part : parts)
    {
        if (Node* child = node->Child(part))
            node = child;
        else
        {
            node = node->AddChild(part);
            created = true;
        }
    }
    return node;
}

// A key path that the file can hold and that lies within the registry's bounds.
bool IsStorableKey(const std::vector<std::u16string_view>& parts)
{
    if (parts.size() > regfile::kMaxKeyDepth)
        return false;
    size_t length = parts.empty() ? 0 : parts.size() - 1;
    for (auto part : parts)
    {
        if (part.size() > regfile::kMaxKeyNameLength || !IsStorableName(part))
            return false;
        length += part.size();
    }
    return length <= regfile::kMaxKeyPathLength;
}

} // namespace

bool KeyExists(Hive hive, std::u16string_view key)
{
    return Read(hive, [&](Node& root) { return Find(root, key) != nullptr; });
}

// Runs `take` on the stored value, if there is one, under the process lock.
template <typename F>
auto ReadValue(Hive hive, std::u16string_view key, std::u16string_view name, F&& take)
{
    return Read(hive,
                [&](Node& root) -> decltype(take(std::declval<const RegValue&>()))
                {
                    Node* node = Find(root, key);
                    const RegValue* value = node != nullptr ? node->Value(name) : nullptr;
                    if (value == nullptr)
                        return std::nullopt;
                    return take(*value);
                });
}

std::optional<RegValue> GetValue(Hive hive, std::u16string_view key, std::u16string_view name)
{
    return ReadValue(hive, key, name, [](const RegValue& value) -> std::optional<RegValue> { return value; });
}

std::optional<uint32_t> GetDword(Hive hive, std::u16string_view key, std::u16string_view name)
{
    return ReadValue(hive, key, name,
                     [](const RegValue& value) -> std::optional<uint32_t>
                     {
                         if (value.type != RegType::Dword)
                             return std::nullopt;
                         return static_cast<uint32_t>(value.number);
                     });
}

std::optional<std::u16string> GetString(Hive hive, std::u16string_view key, std::u16string_view name)
{
    return ReadValue(hive, key, name,
                     [](const RegValue& value) -> std::optional<std::u16string>
                     {
                         if (value.type != RegType::String)
                             return std::nullopt;
                         return value.text;
                     });
}

bool CreateKey(Hive hive, std::u16string_view key)
{
    const auto parts = SplitKey(key);
    if (!IsStorableKey(parts))
        return false;
    return Modify(hive, {JoinedKey(parts)},
                  [&](Node& root)
                  {
                      bool created = false;
                      CreatePath(root, parts, created);
                      return created ? Change::Made : Change::None;
                  });
}

bool SetValue(Hive hive, std::u16string_view key, std::u16string_view name, const RegValue& value)
{
    const auto parts = SplitKey(key);
    auto stored = Canonical(value);
    if (!stored || !IsStorableKey(parts) || !IsStorableName(name))
        return false;
    return Modify(hive, {JoinedKey(parts), false, {{std::u16string(name), *stored}}},
                  [&](Node& root)
                  {
                      bool created = false;
                      Node* node = CreatePath(root, parts, created);
                      if (RegValue* existing = node->Value(name))
                      {
                          if (*existing == *stored)
                              return Change::None;
                          *existing = std::move(*stored);
                      }
                      else
                          node->values.emplace_back(name, std::move(*stored));
                      return Change::Made;
                  });
}

bool SetValues(Hive hive, std::u16string_view key,
               const std::vector<std::pair<std::u16string, std::optional<RegValue>>>& values)
{
    const auto parts = SplitKey(key);
    if (!IsStorableKey(parts))
        return false;
    std::vector<std::pair<std::u16string_view, std::optional<RegValue>>> stored;
    for (const auto& [name, value] : values)
    {
        if (!IsStorableName(name))
            return false;
        stored.emplace_back(name, std::nullopt);
        if (value && !(stored.back().second = Canonical(*value)))
            return false;
    }
    sWrite write{JoinedKey(parts)};
    for (const auto& [name, value] : stored)
        write.values.emplace_back(name, value);
    return Modify(hive, write,
                  [&](Node& root)
                  {
                      bool created = false;
                      Node* node = CreatePath(root, parts, created);
                      bool changed = created;
                      for (auto& entry : stored)
                      {
                          // Named, not bound: a lambda cannot capture a structured binding here.
                          const std::u16string_view name = entry.first;
                          std::optional<RegValue>& value = entry.second;
                          RegValue* existing = node->Value(name);
                          if (!value)
                              changed |= std::erase_if(node->values, [&](const auto& held)
                                                       { return EqualsIgnoreCase(held.first, name); }) != 0;
                          else if (existing == nullptr)
                          {
                              node->values.emplace_back(name, std::move(*value));
                              changed = true;
                          }
                          else if (!(*existing == *value))
                          {
                              *existing = std::move(*value);
                              changed = true;
                          }
                      }
                      return changed ? Change::Made : Change::None;
                  });
}

bool SetDword(Hive hive, std::u16string_view key, std::u16string_view name, uint32_t value)
{
    return SetValue(hive, key, name, RegValue::FromDword(value));
}

bool SetString(Hive hive, std::u16string_view key, std::u16string_view name, std::u16string_view value)
{
    return SetValue(hive, key, name, RegValue::FromString(value));
}

bool DeleteValue(Hive hive, std::u16string_view key, std::u16string_view name)
{
    return Modify(hive, {JoinedKey(SplitKey(key)), false, {{std::u16string(name), std::nullopt}}},
                  [&](Node& root)
                  {
                      Node* node = Find(root, key);
                      if (!node)
                          return Change::Refused;
                      const auto erased = std::erase_if(node->values, [&](const auto& entry)
                                                        { return EqualsIgnoreCase(entry.first, name); });
                      return erased ? Change::Made : Change::Refused;
                  });
}

bool DeleteKey(Hive hive, std::u16string_view key)
{
    const auto parts = SplitKey(key);
    // The hive's own root cannot be deleted.
    if (parts.empty())
        return false;
    return Modify(hive, {JoinedKey(parts), true, {}},
                  [&](Node& root)
                  {
                      Node* parent = &root;
                      for (size_t i = 0; i + 1 < parts.size(); ++i)
                      {
                          parent = parent->Child(parts[i]);
                          if (!parent)
                              return Change::Refused;
                      }
                      return parent->RemoveChild(parts.back()) ? Change::Made : Change::Refused;
                  });
}

std::vector<std::u16string> EnumSubKeys(Hive hive, std::u16string_view key)
{
    return Read(hive,
                [&](Node& root)
                {
                    std::vector<std::u16string> names;
                    if (Node* node = Find(root, key))
                        for (const auto& child : node->children)
                            names.push_back(child->name);
                    return names;
                });
}

std::vector<std::pair<std::u16string, RegValue>> EnumValues(Hive hive, std::u16string_view key)
{
    return Read(hive,
                [&](Node& root)
                {
                    std::vector<std::pair<std::u16string, RegValue>> values;
                    if (Node* node = Find(root, key))
                        values = node->values;
                    return values;
                });
}

uint64_t CacheVersion()
{
    return g_cacheVersion.load(std::memory_order_acquire);
}

CChangeScope::CChangeScope(const void* owner, ChangeBy by) : m_owner(owner), m_outerBy(t_changeBy)
{
    ++t_changeDepth;
    t_changeBy = by;
}

CChangeScope::CChangeScope(std::vector<std::string>& handOver) : m_handOver(&handOver), m_outerBy(t_changeBy)
{
    ++t_changeDepth;
}

CChangeScope::~CChangeScope()
{
    t_changeBy = m_outerBy;
    if (--t_changeDepth > 0)
        return;
    // Taken first: a box's event loop may run another change on this thread.
    std::vector<std::string> files = std::exchange(t_refusedFiles, {});
    for (const std::string& path : files)
    {
        if (m_handOver == nullptr)
            ShowRefusal(path, m_owner);
        else if (std::find(m_handOver->begin(), m_handOver->end(), path) == m_handOver->end())
            m_handOver->push_back(path);
    }
}

void TellRefusals(const std::vector<std::string>& files)
{
    for (const std::string& path : files)
        TellRefusal(path);
}

std::string LastProblem(Hive hive)
{
    std::lock_guard guard(g_mutex);
    return State(hive).lastProblem;
}

std::optional<SetAsideFile> TakeSetAsideFile(Hive hive)
{
    std::lock_guard guard(g_mutex);
    return std::exchange(State(hive).setAside, std::nullopt);
}

void ResetForTests()
{
    std::lock_guard guard(g_mutex);
    for (auto& h : g_hives)
        h.Reset();
    g_maxHiveBytes.store(kMaxHiveBytes);
    std::lock_guard refusalsGuard(g_refusalsMutex);
    g_refusals.clear();
}

void SetSizeBoundForTests(size_t mebibytes)
{
    g_maxHiveBytes.store(mebibytes == 0 ? kMaxHiveBytes : std::min(mebibytes << 20, kMaxHiveBytes));
}

} // namespace settings

} // namespace platform
