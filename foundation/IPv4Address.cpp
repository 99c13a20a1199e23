#include "foundation/IPv4Address.h"

#include "foundation/DynArray.h"
#include "foundation/StringTools.h"

BOOL ParseIPv4Address(const char16_t* text, BYTE address[4])
{
    for (int i = 0; i < 4; ++i)
        address[i] = 0;
    CDynArray<CWideString> fields;
    if (SplitStringInto(text, u'.', fields) != 4)
        return FALSE;

    BYTE parsed[4] = {};
    for (uint32_t i = 0; i < 4; ++i)
    {
        const CWideString& field = fields[i];
        const uint32_t length = field.GetLength();
        if (length < 1 || length > 3)
            return FALSE;
        unsigned value = 0;
        for (uint32_t k = 0; k < length; ++k)
        {
            const char16_t digit = static_cast<const char16_t*>(field)[k];
            if (digit < u'0' || digit > u'9')
                return FALSE;
            value = value * 10 + unsigned(digit - u'0');
        }
        if (value > 255)
            return FALSE;
        parsed[i] = static_cast<BYTE>(value);
    }
    for (int i = 0; i < 4; ++i)
        address[i] = parsed[i];
    return TRUE;
}

CWideString FormatIPv4Address(const BYTE address[4])
{
    return CWideString(u"%u.%u.%u.%u", unsigned(address[0]), unsigned(address[1]), unsigned(address[2]),
                       unsigned(address[3]));
}
