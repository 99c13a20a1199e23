#include "app/livedata/LiveDataSettings.h"

int ParseLogRate(const CWideString& text)
{
    CWideString trimmed = text;
    trimmed.Trim();
    const uint32_t length = trimmed.GetLength();
    if (length == 0 || length > LOG_RATE_MAX_DIGITS)
        return 0;
    int seconds = 0;
    for (const char16_t* p = trimmed; *p != 0; ++p)
    {
        if (*p < u'0' || *p > u'9')
            return 0;
        seconds = seconds * 10 + (*p - u'0');
    }
    return seconds;
}
