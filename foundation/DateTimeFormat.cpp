#include "foundation/DateTimeFormat.h"

#include <clocale>
#include <ctime>
#include <initializer_list>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <utility>
#include <vector>

#include "platform/Format.h"
#include "platform/Utf.h"

namespace
{

// The user default locale's time conventions for the length of one call.
class CUserTimeLocale
{
public:
    CUserTimeLocale()
    {
        m_locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", nullptr);
        if (m_locale == nullptr)
            m_locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", nullptr);
    }
    ~CUserTimeLocale()
    {
        if (m_locale != nullptr)
            freelocale(m_locale);
    }
    CUserTimeLocale(const CUserTimeLocale&) = delete;
    CUserTimeLocale& operator=(const CUserTimeLocale&) = delete;

    std::string Item(nl_item item) const
    {
        const char* text = m_locale != nullptr ? nl_langinfo_l(item, m_locale) : nullptr;
        return text != nullptr ? text : "";
    }

    std::string Format(const std::string& format, const std::tm& tm) const
    {
        // A trailing blank tells an empty result from a buffer that was too small.
        const std::string guarded = format + " ";
        for (size_t size = 256; size <= 64 * 1024; size *= 4)
        {
            std::vector<char> buffer(size);
            const size_t n = m_locale != nullptr
                                 ? strftime_l(buffer.data(), size, guarded.c_str(), &tm, m_locale)
                                 : strftime(buffer.data(), size, guarded.c_str(), &tm);
            if (n > 0)
                return std::string(buffer.data(), n - 1);
        }
        return std::string();
    }

private:
    locale_t m_locale = nullptr;
};

// The date and time fields of a time, the others 0.
std::tm TmFields(const SYSTEMTIME& time)
{
    std::tm tm{};
    tm.tm_year = time.wYear - 1900;
    tm.tm_mon = time.wMonth - 1;
    tm.tm_mday = time.wDay;
    tm.tm_hour = time.wHour;
    tm.tm_min = time.wMinute;
    tm.tm_sec = time.wSecond;
    return tm;
}

std::tm NormalisedTm(const SYSTEMTIME& time)
{
    const std::tm tm = TmFields(time);
    std::tm copy = tm;
    const time_t t = timegm(&copy);
    std::tm full{};
    if (gmtime_r(&t, &full) != nullptr && full.tm_mday == tm.tm_mday && full.tm_mon == tm.tm_mon)
        return full;
    return tm;
}

CWideString ToWide(const std::string& text)
{
    const std::u16string wide = platform::Utf8ToUtf16(text);
    return CWideString(wide.c_str());
}

void ReplaceAll(std::u16string& text, std::u16string_view needle, std::u16string_view replacement)
{
    for (size_t at = text.find(needle); at != std::u16string::npos;
         at = text.find(needle, at + replacement.size()))
        text.replace(at, needle.size(), replacement);
}

// Replaces every occurrence of the first alternative that occurs; returns its index, -1 for none.
int ReplaceFirstOf(std::u16string& text,
                   std::initializer_list<std::pair<std::u16string_view, std::u16string_view>> alternatives)
{
    int index = 0;
    for (const auto& [needle, replacement] : alternatives)
    {
        if (text.find(needle) != std::u16string::npos)
        {
            ReplaceAll(text, needle, replacement);
            return index;
        }
        ++index;
    }
    return -1;
}

// Private-use characters that no pattern holds and strftime copies unchanged.
constexpr char16_t kMonth2[] = u"\uE001";
constexpr char16_t kMonth1[] = u"\uE002";
constexpr char16_t kMillis[] = u"\uE003";

} // namespace

CWideString FormatDate(const SYSTEMTIME& time)
{
    const CUserTimeLocale locale;
    return ToWide(locale.Format(locale.Item(D_FMT), NormalisedTm(time)));
}

CWideString FormatDateFullYear(const SYSTEMTIME& time)
{
    const CUserTimeLocale locale;
    std::u16string format = platform::Utf8ToUtf16(locale.Item(D_FMT));
    ReplaceAll(format, u"%y", u"%Y");
    return ToWide(locale.Format(platform::Utf16ToUtf8(format), NormalisedTm(time)));
}

CWideString FormatTime(const SYSTEMTIME& time)
{
    const CUserTimeLocale locale;
    return ToWide(locale.Format(locale.Item(T_FMT), NormalisedTm(time)));
}

CWideString FormatDateTime(const SYSTEMTIME& time)
{
    return FormatDate(time) + u" " + FormatTime(time);
}

CWideString FormatDateTimePattern(const char16_t* pattern, const SYSTEMTIME& time)
{
    std::u16string p = pattern != nullptr ? pattern : u"";
    // A '%' of the user's own is a character, not a directive.
    ReplaceAll(p, u"%", u"%%");
    ReplaceFirstOf(p, {{u"yyyy", u"%Y"}, {u"YYYY", u"%Y"}, {u"yy", u"%y"}, {u"YY", u"%y"}});
    ReplaceFirstOf(p, {{u"MMMM", u"%B"}, {u"MMM", u"%b"}, {u"MM", kMonth2}, {u"M", kMonth1}});
    ReplaceFirstOf(p, {{u"DD", u"%d"}, {u"dd", u"%d"}, {u"D", u"%-d"}, {u"d", u"%-d"}});
    ReplaceFirstOf(p, {{u"ms", kMillis}});
    const int hour = ReplaceFirstOf(p, {{u"HH", u"%H"}, {u"H", u"%-H"}, {u"hh", u"%I"}, {u"h", u"%-I"}});
    const bool twelveHour = hour == 2 || hour == 3;
    ReplaceFirstOf(p, {{u"mm", u"%M"}, {u"m", u"%-M"}});
    ReplaceAll(p, kMonth2, u"%m");
    ReplaceAll(p, kMonth1, u"%-m");
    ReplaceFirstOf(p, {{u"ss", u"%S"}, {u"s", u"%-S"}});
    const bool designator = ReplaceFirstOf(p, {{u"tt", u"%p"}}) == 0;
    if (twelveHour && !designator)
        p += u"%p";

    const CUserTimeLocale locale;
    std::u16string text = platform::Utf8ToUtf16(locale.Format(platform::Utf16ToUtf8(p), TmFields(time)));
    const std::string millis = platform::Format("%03d", static_cast<int>(time.wMilliseconds));
    ReplaceAll(text, kMillis, platform::Utf8ToUtf16(millis));
    return CWideString(text.c_str());
}
