#include "foundation/StringTools.h"

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
