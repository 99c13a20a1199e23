#include "platform/Format.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>

#include "platform/Utf.h"

namespace platform
{

namespace
{

locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

// Switches only the calling thread, so other threads keep whatever locale the windows set.
class ScopedCLocale
{
public:
    ScopedCLocale() : m_previous(uselocale(CLocale())) {}
    ~ScopedCLocale() { uselocale(m_previous); }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    locale_t m_previous;
};

// The same as Format, without the compile-time format check: the wide formatter builds its
// narrow conversions at run time.
std::string FormatRuntime(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

enum class SizePrefix
{
    None,
    Char,    // hh
    Short,   // h
    Long,    // l: 32 bits, as a Windows long
    Wide,    // w
    LongLong // ll, I64
};

struct Conversion
{
    std::string flags;
    bool leftAlign = false;
    bool zeroPad = false;
    bool alternate = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
    SizePrefix size = SizePrefix::None;
    bool pointerSized = false; // I
    char type = 0;
};

// Large enough to mean "does not fit" for any limit a caller passes, small enough not to overflow.
constexpr size_t kHugeCount = size_t(1) << 40;

class WideFormatter
{
public:
    WideFormatter(size_t maxUnits, va_list args) : m_maxUnits(maxUnits) { va_copy(m_args, args); }
    ~WideFormatter() { va_end(m_args); }
    WideFormatter(const WideFormatter&) = delete;
    WideFormatter& operator=(const WideFormatter&) = delete;

    bool Run(const char16_t* format)
    {
        for (const char16_t* p = format; *p != 0;)
        {
            if (*p != u'%')
            {
                if (!Append(p, 1))
                    return false;
                ++p;
                continue;
            }
            ++p;
            Conversion conv;
            if (!Parse(p, conv) || !Convert(conv))
                return false;
        }
        return true;
    }

    std::u16string& Result() { return m_out; }

private:
    bool Append(const char16_t* text, size_t count)
    {
        if (count > m_maxUnits - m_out.size())
            return false;
        m_out.append(text, count);
        return true;
    }

    bool AppendPadded(std::u16string_view text, const Conversion& conv)
    {
        const size_t pad = conv.width > text.size() ? conv.width - text.size() : 0;
        if (pad + text.size() > m_maxUnits - m_out.size())
            return false;
        // The Windows formatter honours the 0 flag for text too.
        const char16_t fill = conv.zeroPad && !conv.leftAlign ? u'0' : u' ';
        if (!conv.leftAlign)
            m_out.append(pad, fill);
        m_out.append(text);
        if (conv.leftAlign)
            m_out.append(pad, u' ');
        return true;
    }

    static size_t ParseCount(const char16_t*& p)
    {
        size_t value = 0;
        while (*p >= u'0' && *p <= u'9')
        {
            value = value * 10 + size_t(*p - u'0');
            if (value > kHugeCount)
                value = kHugeCount;
            ++p;
        }
        return value;
    }

    bool Parse(const char16_t*& p, Conversion& conv)
    {
        for (;; ++p)
        {
            if (*p == u'-')
                conv.leftAlign = true;
            else if (*p == u'0')
                conv.zeroPad = true;
            else if (*p == u'#')
                conv.alternate = true;
            else if (*p != u'+' && *p != u' ')
                break;
            conv.flags.push_back(static_cast<char>(*p));
        }

        if (*p == u'*')
        {
            ++p;
            const int width = va_arg(m_args, int);
            if (width < 0)
            {
                conv.leftAlign = true;
                conv.flags.push_back('-');
                conv.width = size_t(-int64_t(width));
            }
            else
            {
                conv.width = size_t(width);
            }
        }
        else
        {
            conv.width = ParseCount(p);
        }

        if (*p == u'.')
        {
            ++p;
            conv.hasPrecision = true;
            if (*p == u'*')
            {
                ++p;
                const int precision = va_arg(m_args, int);
                conv.hasPrecision = precision >= 0; // a negative precision counts as none
                conv.precision = precision >= 0 ? size_t(precision) : 0;
            }
            else
            {
                conv.precision = ParseCount(p);
            }
        }

        if (p[0] == u'h' && p[1] == u'h')
        {
            conv.size = SizePrefix::Char;
            p += 2;
        }
        else if (p[0] == u'h')
        {
            conv.size = SizePrefix::Short;
            ++p;
        }
        else if (p[0] == u'l' && p[1] == u'l')
        {
            conv.size = SizePrefix::LongLong;
            p += 2;
        }
        else if (p[0] == u'l')
        {
            conv.size = SizePrefix::Long;
            ++p;
        }
        else if (p[0] == u'w')
        {
            conv.size = SizePrefix::Wide;
            ++p;
        }
        else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4')
        {
            conv.size = SizePrefix::LongLong;
            p += 3;
        }
        else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2')
        {
            conv.size = SizePrefix::Long;
            p += 3;
        }
        else if (p[0] == u'I')
        {
            conv.pointerSized = true;
            ++p;
        }

        if (*p == 0 || *p > 0x7F)
            return false;
        conv.type = static_cast<char>(*p);
        ++p;
        return true;
    }

    bool Convert(const Conversion& conv)
    {
        switch (conv.type)
        {
        case '%':
            return Append(u"%", 1);
        case 'd':
        case 'i':
            return FormatSigned(conv);
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            return FormatUnsigned(conv);
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            return FormatFloating(conv);
        case 'p':
            return FormatPointer(conv);
        case 's':
        case 'S':
            return FormatText(conv);
        case 'c':
        case 'C':
            return FormatCharacter(conv);
        default: // %n among them: nothing writes through an argument here
            return false;
        }
    }

    // A numeric conversion always produces at least its width, and at least its precision in
    // digits (except %g without '#', whose precision only caps the significant digits).
    bool FitsAtAll(const Conversion& conv, bool precisionIsMinimum) const
    {
        if (conv.width > m_maxUnits)
            return false;
        return !(precisionIsMinimum && conv.hasPrecision && conv.precision > m_maxUnits);
    }

    std::string NarrowDirective(const Conversion& conv, const char* length, char type, size_t precision) const
    {
        std::string directive = "%" + conv.flags;
        if (conv.width > 0)
            directive += std::to_string(conv.width);
        if (conv.hasPrecision)
        {
            directive += '.';
            directive += std::to_string(precision);
        }
        directive += length;
        directive.push_back(type);
        return directive;
    }

    bool AppendNarrow(const std::string& text)
    {
        if (text.size() > m_maxUnits - m_out.size())
            return false;
        for (char c : text) // numbers in the "C" locale are plain ASCII
            m_out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
        return true;
    }

    bool FormatSigned(const Conversion& conv)
    {
        if (conv.size == SizePrefix::Wide || !FitsAtAll(conv, true))
            return false;
        long long value = 0;
        if (conv.pointerSized)
            value = va_arg(m_args, intptr_t);
        else if (conv.size == SizePrefix::LongLong)
            value = va_arg(m_args, long long);
        else if (conv.size == SizePrefix::Short)
            value = static_cast<short>(va_arg(m_args, int));
        else if (conv.size == SizePrefix::Char)
            value = static_cast<signed char>(va_arg(m_args, int));
        else
            value = va_arg(m_args, int);
        return AppendNarrow(
            FormatRuntime(NarrowDirective(conv, "ll", conv.type, conv.precision).c_str(), value));
    }

    bool FormatUnsigned(const Conversion& conv)
    {
        if (conv.size == SizePrefix::Wide || !FitsAtAll(conv, true))
            return false;
        unsigned long long value = 0;
        if (conv.pointerSized)
            value = va_arg(m_args, uintptr_t);
        else if (conv.size == SizePrefix::LongLong)
            value = va_arg(m_args, unsigned long long);
        else if (conv.size == SizePrefix::Short)
            value = static_cast<unsigned short>(va_arg(m_args, unsigned));
        else if (conv.size == SizePrefix::Char)
            value = static_cast<unsigned char>(va_arg(m_args, unsigned));
        else
            value = va_arg(m_args, unsigned);
        return AppendNarrow(
            FormatRuntime(NarrowDirective(conv, "ll", conv.type, conv.precision).c_str(), value));
    }

    bool FormatFloating(const Conversion& conv)
    {
        if (conv.pointerSized || (conv.size != SizePrefix::None && conv.size != SizePrefix::Long))
            return false;
        const bool general = conv.type == 'g' || conv.type == 'G';
        if (!FitsAtAll(conv, !general || conv.alternate))
            return false;
        // A double has at most 767 significant decimal digits, so a larger %g precision gives the
        // same text; capping it keeps the C library from working through a huge request.
        const size_t precision = general && !conv.alternate && conv.precision > 1100 ? 1100 : conv.precision;
        const double value = va_arg(m_args, double);
        return AppendNarrow(FormatRuntime(NarrowDirective(conv, "", conv.type, precision).c_str(), value));
    }

    // The Windows formatter writes a pointer as upper-case hexadecimal digits of its full size.
    bool FormatPointer(const Conversion& conv)
    {
        if (!FitsAtAll(conv, true))
            return false;
        const auto value = reinterpret_cast<uintptr_t>(va_arg(m_args, void*));
        Conversion hex = conv;
        if (!hex.hasPrecision)
        {
            hex.hasPrecision = true;
            hex.precision = 2 * sizeof(void*);
        }
        return AppendNarrow(FormatRuntime(NarrowDirective(hex, "ll", 'X', hex.precision).c_str(),
                                          static_cast<unsigned long long>(value)));
    }

    // Lower case takes the formatter's own width (UTF-16), upper case the other one; h and l/w
    // name the width explicitly.
    bool TakesWideArgument(const Conversion& conv, char lowerType) const
    {
        if (conv.size == SizePrefix::Short)
            return false;
        if (conv.size == SizePrefix::Long || conv.size == SizePrefix::Wide)
            return true;
        return conv.type == lowerType;
    }

    static bool ValidTextPrefix(const Conversion& conv)
    {
        return !conv.pointerSized && conv.size != SizePrefix::Char && conv.size != SizePrefix::LongLong;
    }

    bool FormatText(const Conversion& conv)
    {
        if (!ValidTextPrefix(conv) || conv.width > m_maxUnits)
            return false;
        const size_t limit = conv.hasPrecision ? conv.precision : SIZE_MAX;
        if (TakesWideArgument(conv, 's'))
        {
            const char16_t* text = va_arg(m_args, const char16_t*);
            if (text == nullptr)
                text = u"(null)";
            size_t length = 0;
            while (length < limit && text[length] != 0) // never reads past the precision
                ++length;
            return AppendPadded(std::u16string_view(text, length), conv);
        }

        const char* text = va_arg(m_args, const char*);
        if (text == nullptr)
            text = "(null)";
        size_t length = conv.hasPrecision ? strnlen(text, limit) : strlen(text);
        if (conv.hasPrecision && length == limit)
            length = WholeSequencesPrefix(text, length);
        std::u16string wide = Utf8ToUtf16(std::string_view(text, length));
        if (wide.size() > limit)
            wide.resize(limit);
        return AppendPadded(wide, conv);
    }

    // Drops a UTF-8 sequence that a precision cut in two, rather than showing half of it as U+FFFD.
    static size_t WholeSequencesPrefix(const char* text, size_t length)
    {
        size_t start = length;
        while (start > 0 && length - start < 4 &&
               (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start == 0)
            return length;
        const auto lead = static_cast<unsigned char>(text[start - 1]);
        const size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const size_t present = length - (start - 1);
        return present < expected ? start - 1 : length;
    }

    bool FormatCharacter(const Conversion& conv)
    {
        if (!ValidTextPrefix(conv) || conv.width > m_maxUnits)
            return false;
        char16_t unit = 0;
        if (TakesWideArgument(conv, 'c'))
        {
            unit = static_cast<char16_t>(va_arg(m_args, int));
        }
        else
        {
            const auto byte = static_cast<unsigned char>(va_arg(m_args, int));
            unit = byte < 0x80 ? char16_t(byte) : char16_t(0xFFFD); // one byte above 0x7F is no UTF-8
        }
        return AppendPadded(std::u16string_view(&unit, 1), conv);
    }

    size_t m_maxUnits;
    va_list m_args;
    std::u16string m_out;
};

} // namespace

std::string FormatV(const char* format, va_list args)
{
    if (format == nullptr)
        return {};
    ScopedCLocale locale;
    char small[256];
    va_list first;
    va_copy(first, args);
    const int length = vsnprintf(small, sizeof(small), format, first);
    va_end(first);
    if (length < 0)
        return {};
    if (size_t(length) < sizeof(small))
        return std::string(small, size_t(length));
    std::string text(size_t(length), '\0');
    va_list second;
    va_copy(second, args);
    vsnprintf(text.data(), text.size() + 1, format, second);
    va_end(second);
    return text;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

bool FormatWideV(std::u16string& out, size_t maxUnits, const char16_t* format, va_list args)
{
    if (format == nullptr)
        return false;
    WideFormatter formatter(maxUnits, args);
    if (!formatter.Run(format))
        return false;
    out = std::move(formatter.Result());
    return true;
}

} // namespace platform
