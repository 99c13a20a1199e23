#include "tools/probe-sim/PortTable.h"

#include <set>

#include "platform/SettingsStore.h"
#include "platform/Utf.h"

namespace probesim
{

namespace
{

constexpr std::u16string_view kPortTableKey = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The number of a "COMn" text; 0 for anything else.
unsigned ComNumber(std::u16string_view text)
{
    if (text.size() < 4 || text.size() > 8 || text.substr(0, 3) != u"COM")
        return 0;
    unsigned number = 0;
    for (char16_t c : text.substr(3))
    {
        if (c < u'0' || c > u'9')
            return 0;
        number = number * 10 + static_cast<unsigned>(c - u'0');
    }
    return number;
}

bool SamePath(std::u16string_view a, std::u16string_view b)
{
    // Value names compare without regard to case in the store; device paths here are ASCII.
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<unsigned> RegisterComPort(const std::string& devicePath, unsigned number, std::string& error)
{
    using platform::Hive;
    const std::u16string path = platform::Utf8ToUtf16(devicePath);
    std::set<unsigned> taken;
    for (const auto& [name, value] : platform::settings::EnumValues(Hive::LocalMachine, kPortTableKey))
    {
        if (value.type != platform::RegType::String || SamePath(name, path))
            continue;
        const unsigned other = ComNumber(value.text);
        if (other == 0)
            continue;
        if (other == number)
        {
            error = "COM" + std::to_string(number) + " is already the port of " + platform::Utf16ToUtf8(name);
            return std::nullopt;
        }
        taken.insert(other);
    }
    if (number == 0)
    {
        number = 1;
        while (taken.contains(number))
            ++number;
    }
    const std::u16string data = u"COM" + platform::Utf8ToUtf16(std::to_string(number));
    if (!platform::settings::SetString(Hive::LocalMachine, kPortTableKey, path, data))
    {
        error = "the port table cannot be written: " + platform::settings::LastProblem(Hive::LocalMachine);
        return std::nullopt;
    }
    return number;
}

bool UnregisterComPort(const std::string& devicePath)
{
    return platform::settings::DeleteValue(platform::Hive::LocalMachine, kPortTableKey,
                                           platform::Utf8ToUtf16(devicePath));
}

} // namespace probesim
