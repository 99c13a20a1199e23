#include "foundation/SystemNames.h"

#include <cstring>
#include <string>

#include "platform/Identity.h"
#include "platform/Utf.h"

CWideString GetComputerNameString()
{
    // The platform's computer name holds at most 15 characters.
    std::u16string name = platform::ComputerName();
    if (name.size() > 15)
        name.resize(15);
    return CWideString(name.c_str());
}

CWideString GetUserNameString()
{
    std::u16string name = platform::UserName();
    if (name.empty())
        return CWideString(u"Unknown");
    if (name.size() > 256)
        name.resize(256);
    return CWideString(name.c_str());
}

CWideString GetSystemErrorText(uint32_t errorCode)
{
    char buffer[512] = {};
    // The GNU strerror_r returns its text, which need not be the buffer.
    const char* text = strerror_r(static_cast<int>(errorCode), buffer, sizeof(buffer));
    if (text == nullptr || *text == 0 || std::strncmp(text, "Unknown error", 13) == 0)
        return CWideString();
    std::u16string wide = platform::Utf8ToUtf16(text);
    if (wide.size() > 500)
        wide.resize(500);
    return CWideString(wide.c_str());
}
