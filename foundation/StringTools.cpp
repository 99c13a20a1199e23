#include "foundation/StringTools.h"

#include <string>

#include "platform/Format.h"
#include "platform/Utf.h"

uint32_t SplitStringInto(const char16_t* text, char16_t delimiter, CDynArray<CWideString>& tokens)
{
    tokens.RemoveAll();
    if (text == nullptr || delimiter == 0)
        return 0;
    const char16_t* start = text;
    for (const char16_t* p = text;; ++p)
    {
        if (*p != delimiter && *p != 0)
            continue;
        const auto length = static_cast<uint32_t>(p - start);
        if (*p == delimiter || length > 0)
        {
            CWideString token;
            if (length > 0)
                token.AssignN(start, length);
            tokens.Add(token);
        }
        if (*p == 0)
            break;
        start = p + 1;
    }
    return tokens.GetCount();
}

CDynArray<CWideString> SplitString(const char16_t* text, char16_t delimiter)
{
    CDynArray<CWideString> tokens;
    SplitStringInto(text, delimiter, tokens);
    return tokens;
}

CWideString FormatFloatList(const CDynArray<float>& values)
{
    std::string text;
    for (uint32_t i = 0; i < values.GetCount(); ++i)
    {
        if (i > 0)
            text += ';';
        text += platform::Format("%g", static_cast<double>(values[i]));
    }
    return CWideString(platform::Utf8ToUtf16(text).c_str());
}

CWideString FormatWideStringHex(const char16_t* text)
{
    return FormatWideCharsHex(text, static_cast<uint32_t>(platform::Utf16Length(text)));
}

CWideString FormatWideCharsHex(const char16_t* text, uint32_t n)
{
    std::string hex;
    hex.reserve(static_cast<size_t>(n) * 4);
    bool ended = text == nullptr;
    for (uint32_t i = 0; i < n; ++i)
    {
        const char16_t unit = ended ? 0 : text[i];
        ended = ended || unit == 0;
        hex += platform::Format("%04X", static_cast<unsigned>(unit));
    }
    return CWideString(platform::Utf8ToUtf16(hex).c_str());
}
