#include "comm/ComPortDiscovery.h"

#include <mutex>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "platform/CaseFold.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"

namespace
{

using platform::Hive;

// Port names longer than this do not fit the name buffer of the system and are left out.
constexpr size_t kMaxPortNameUnits = 9;

struct PortEntry
{
    std::u16string path;
    USHORT number;
};

// Numbering reads the table and writes it back: two threads doing that at once could give one
// number twice.
std::mutex& TableMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<PortEntry> ReadPortTable()
{
    std::vector<PortEntry> entries;
    for (auto& [name, value] : platform::settings::EnumValues(Hive::LocalMachine, SERIALCOMM_PORT_TABLE_KEY))
    {
        if (value.type != platform::RegType::String || name.empty())
            continue;
        entries.push_back({name, ParseComPortName(value.text.c_str())});
    }
    return entries;
}

bool IsCharacterDevice(const std::u16string& path)
{
    struct stat info
    {
    };
    return stat(platform::Utf16ToUtf8(path).c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

bool TableHasPath(const std::vector<PortEntry>& entries, std::u16string_view path)
{
    for (const PortEntry& entry : entries)
        if (platform::EqualsIgnoreCase(entry.path, path))
            return true;
    return false;
}

// Enters the scanned devices that the table lacks; returns the table as it is afterwards.
std::vector<PortEntry> UpdatePortTable(const std::vector<std::string>& devices)
{
    std::lock_guard lock(TableMutex());
    std::vector<PortEntry> entries = ReadPortTable();
    std::set<USHORT> taken;
    for (const PortEntry& entry : entries)
        if (entry.number != 0)
            taken.insert(entry.number);
    USHORT next = 1;
    for (const std::string& device : devices)
    {
        const std::u16string path = platform::Utf8ToUtf16(device);
        if (TableHasPath(entries, path))
            continue;
        while (next != 0 && taken.contains(next))
            ++next;
        if (next == 0)
            break; // every number is taken
        const std::u16string name = u"COM" + platform::Utf8ToUtf16(std::to_string(next));
        // A device that cannot be entered is not listed: it could not be opened by its number. The
        // entry is the program's own, not a change the user asked for: a file that refuses it is
        // told once, not at every listing.
        bool entered = false;
        {
            const platform::settings::CChangeScope change(platform::settings::ChangeBy::Program);
            entered = platform::settings::SetString(Hive::LocalMachine, SERIALCOMM_PORT_TABLE_KEY, path, name);
        }
        if (!entered)
            continue;
        entries.push_back({path, next});
        taken.insert(next);
    }
    return entries;
}

std::u16string FindPath(const std::vector<PortEntry>& entries, USHORT port)
{
    const PortEntry* first = nullptr;
    for (const PortEntry& entry : entries)
    {
        if (entry.number != port)
            continue;
        if (IsCharacterDevice(entry.path))
            return entry.path;
        if (first == nullptr)
            first = &entry;
    }
    return first != nullptr ? first->path : std::u16string();
}

} // namespace

USHORT ParseComPortName(const char16_t* name)
{
    if (name == nullptr)
        return 0;
    std::u16string text(name);
    if (text.size() > kMaxPortNameUnits || text.find(u"COM") == std::u16string::npos)
        return 0;
    for (char16_t& unit : text)
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
    for (size_t at = text.find(u"COM"); at != std::u16string::npos; at = text.find(u"COM", at))
        text.erase(at, 3);
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    if (i < text.size() && text[i] == u'+')
        ++i;
    uint32_t number = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    {
        number = number * 10 + static_cast<uint32_t>(text[i] - u'0');
        if (number > 0xFFFF)
            return 0;
    }
    return static_cast<USHORT>(number);
}

HRESULT EnumerateComPorts(CDynArray<USHORT>& ports)
{
    return EnumerateComPorts(ports, platform::kSysClassTty);
}

HRESULT EnumerateComPorts(CDynArray<USHORT>& ports, const std::filesystem::path& scanRoot)
{
    ports.RemoveAll();
    const std::vector<std::string> devices = platform::ScanSerialDevices(scanRoot);
    const std::vector<PortEntry> entries = UpdatePortTable(devices);

    std::set<std::u16string> scanned;
    for (const std::string& device : devices)
        scanned.insert(platform::FoldCase(platform::Utf8ToUtf16(device)));
    std::set<USHORT> present;
    for (const PortEntry& entry : entries)
    {
        if (entry.number == 0)
            continue;
        if (scanned.contains(platform::FoldCase(entry.path)) || IsCharacterDevice(entry.path))
            present.insert(entry.number);
    }
    if (!ports.SetSize(static_cast<uint32_t>(present.size())))
        return S_OK; // out of memory: nothing listed
    uint32_t index = 0;
    for (USHORT number : present)
        ports[index++] = number;
    return S_OK;
}

std::string FindComPortDevicePath(USHORT port)
{
    if (port == 0)
        return {};
    return platform::Utf16ToUtf8(FindPath(ReadPortTable(), port));
}

std::string ResolveComPortDevicePath(USHORT port)
{
    if (port == 0)
        return {};
    std::u16string path = FindPath(ReadPortTable(), port);
    if (path.empty())
        path = FindPath(UpdatePortTable(platform::ScanSerialDevices()), port);
    return platform::Utf16ToUtf8(path);
}

CWideString FormatComPortDisplayName(USHORT port)
{
    const std::string path = FindComPortDevicePath(port);
    if (path.empty())
        return CWideString(u"COM %u", static_cast<unsigned>(port));
    return CWideString(u"COM %u (%S)", static_cast<unsigned>(port), path.c_str());
}
