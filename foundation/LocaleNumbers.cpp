#include "foundation/LocaleNumbers.h"

#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Utf.h"

namespace
{

std::mutex g_cacheLock;
std::optional<char16_t> g_crtDecimalPoint;
std::optional<sLocaleNumberSymbols> g_userSymbols;

// The user locale (the environment's, not the process's) for the categories asked for.
class CUserLocale
{
public:
    explicit CUserLocale(int mask)
    {
        m_locale = newlocale(mask, "", nullptr);
        if (m_locale == nullptr)
            m_locale = newlocale(mask, "C", nullptr);
    }
    ~CUserLocale()
    {
        if (m_locale != nullptr)
            freelocale(m_locale);
    }
    CUserLocale(const CUserLocale&) = delete;
    CUserLocale& operator=(const CUserLocale&) = delete;

    std::u16string Item(nl_item item) const
    {
        const char* text = m_locale != nullptr ? nl_langinfo_l(item, m_locale) : nullptr;
        return platform::Utf8ToUtf16(text != nullptr ? text : "");
    }

private:
    locale_t m_locale = nullptr;
};

sLocaleNumberSymbols ReadUserSymbols()
{
    const CUserLocale locale(LC_NUMERIC_MASK | LC_CTYPE_MASK);
    sLocaleNumberSymbols symbols;
    const std::u16string decimal = locale.Item(RADIXCHAR);
    if (!decimal.empty())
        symbols.decimalSeparator = decimal[0];
    const std::u16string thousands = locale.Item(THOUSEP);
    symbols.thousandsSeparator = thousands.empty() ? 0 : thousands[0];
#ifdef _NL_CTYPE_OUTDIGIT0_MB
    // The locale's own digits where it has them (glibc).
    for (int i = 0; i < 10; ++i)
    {
        const std::u16string digit = locale.Item(static_cast<nl_item>(_NL_CTYPE_OUTDIGIT0_MB + i));
        if (digit.size() == 1)
            symbols.digits[i] = digit[0];
    }
#endif
    return symbols;
}

bool IsDigitOf(char16_t unit, const sLocaleNumberSymbols& symbols)
{
    if (unit >= u'0' && unit <= u'9')
        return true;
    for (char16_t digit : symbols.digits)
        if (unit == digit)
            return true;
    return false;
}

} // namespace

char16_t GetCrtDecimalPoint()
{
    std::lock_guard<std::mutex> lock(g_cacheLock);
    if (!g_crtDecimalPoint)
    {
        char text[16] = {};
        std::snprintf(text, sizeof(text), "%g", 1.1);
        g_crtDecimalPoint = static_cast<char16_t>(static_cast<unsigned char>(text[1]));
    }
    return *g_crtDecimalPoint;
}

const sLocaleNumberSymbols& GetUserLocaleNumberSymbols()
{
    std::lock_guard<std::mutex> lock(g_cacheLock);
    if (!g_userSymbols)
        g_userSymbols = ReadUserSymbols();
    return *g_userSymbols;
}

char16_t GetLocaleDecimalSeparator()
{
    return GetUserLocaleNumberSymbols().decimalSeparator;
}

void ResetLocaleNumbersForTests()
{
    std::lock_guard<std::mutex> lock(g_cacheLock);
    g_crtDecimalPoint.reset();
    g_userSymbols.reset();
}

BOOL NormalizeDecimalSeparator(CWideString& text)
{
    return NormalizeDecimalSeparator(text, GetLocaleDecimalSeparator(), GetCrtDecimalPoint());
}

BOOL NormalizeDecimalSeparator(CWideString& text, char16_t localeSeparator, char16_t runtimePoint)
{
    if (text.IsEmpty())
        return TRUE;
    const std::u16string_view view(static_cast<const char16_t*>(text));
    if (view.find(runtimePoint) != std::u16string_view::npos)
        return TRUE;
    const size_t first = view.find(localeSeparator);
    if (first == std::u16string_view::npos)
        return TRUE;
    if (view.find(localeSeparator, first + 1) != std::u16string_view::npos)
        return FALSE;
    std::u16string changed(view);
    changed[first] = runtimePoint;
    text = changed.c_str();
    return TRUE;
}

BOOL IsNumericText(const char16_t* text)
{
    return IsNumericText(text, GetUserLocaleNumberSymbols());
}

BOOL IsNumericText(const char16_t* text, const sLocaleNumberSymbols& symbols)
{
    if (text == nullptr)
        return FALSE;
    bool digit = false;
    bool decimal = false;
    for (const char16_t* p = text; *p != 0; ++p)
    {
        if (IsDigitOf(*p, symbols))
            digit = true;
        else if (*p == symbols.decimalSeparator && !decimal)
            decimal = true;
        else if (symbols.thousandsSeparator != 0 && *p == symbols.thousandsSeparator)
            continue;
        else if ((*p == u'-' || *p == u'+') && p == text)
            continue;
        else
            return FALSE;
    }
    return digit ? TRUE : FALSE;
}

CWideString GetLocaleInfoString(LCTYPE item)
{
    const CUserLocale locale(LC_NUMERIC_MASK | LC_TIME_MASK | LC_CTYPE_MASK);
    std::u16string text;
    switch (item)
    {
    case LOCALE_SDECIMAL:
        text = locale.Item(RADIXCHAR);
        break;
    case LOCALE_STHOUSAND:
        text = locale.Item(THOUSEP);
        break;
    case LOCALE_SNATIVEDIGITS:
        for (char16_t digit : ReadUserSymbols().digits)
            text += digit;
        break;
    case LOCALE_SSHORTDATE:
        text = locale.Item(D_FMT);
        break;
    case LOCALE_STIMEFORMAT:
        text = locale.Item(T_FMT);
        break;
    case LOCALE_S1159:
        text = locale.Item(AM_STR);
        break;
    case LOCALE_S2359:
        text = locale.Item(PM_STR);
        break;
    default:
        return CWideString(u"Invalid flags");
    }
    return CWideString(text.c_str());
}
