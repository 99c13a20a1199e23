#include "platform/Identity.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <pwd.h>
#include <random>
#include <sys/random.h>
#include <unistd.h>
#include <vector>

#include "platform/Utf.h"

namespace platform
{

std::u16string UserName()
{
    long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 1024);
    passwd entry{};
    passwd* found = nullptr;
    for (;;)
    {
        const int rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20))
        {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found || !found->pw_name)
            return {};
        return Utf8ToUtf16(found->pw_name);
    }
}

std::u16string ComputerName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name) != 0)
        return {};
    // A name that was cut short is not guaranteed to be terminated.
    name[HOST_NAME_MAX] = '\0';
    return Utf8ToUtf16(name);
}

namespace
{

void FillRandom(uint8_t* bytes, size_t size)
{
    size_t done = 0;
    while (done < size)
    {
        const ssize_t got = getrandom(bytes + done, size - done, 0);
        if (got > 0)
            done += static_cast<size_t>(got);
        else if (got < 0 && errno != EINTR)
            break;
    }
    if (done == size)
        return;
    // getrandom() is missing only on very old kernels; random_device reads the same pool there.
    std::random_device device;
    for (; done < size; ++done)
        bytes[done] = static_cast<uint8_t>(device());
}

} // namespace

GUID NewGuid()
{
    uint8_t raw[16];
    FillRandom(raw, sizeof raw);
    GUID guid;
    guid.Data1 = static_cast<uint32_t>(raw[0]) << 24 | static_cast<uint32_t>(raw[1]) << 16 |
                 static_cast<uint32_t>(raw[2]) << 8 | raw[3];
    guid.Data2 = static_cast<uint16_t>(raw[4] << 8 | raw[5]);
    // Version 4 (random) in the top four bits of Data3, variant 10xx (RFC 4122) in Data4[0].
    guid.Data3 = static_cast<uint16_t>(((raw[6] & 0x0F) | 0x40) << 8 | raw[7]);
    guid.Data4[0] = static_cast<uint8_t>((raw[8] & 0x3F) | 0x80);
    for (int i = 1; i < 8; ++i)
        guid.Data4[i] = raw[8 + i];
    return guid;
}

std::u16string GuidToString(const GUID& guid)
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return std::u16string(text, text + 38);
}

} // namespace platform
