#include "platform/Utf.h"

namespace platform
{

namespace
{

constexpr char32_t kReplacement = 0xFFFD;

struct Decoded
{
    char32_t codePoint;
    size_t length; // units consumed; an ill-formed sequence consumes its maximal valid prefix
    bool valid;
};

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Follows the Unicode "maximal subpart" practice, so a broken sequence costs exactly one U+FFFD and
// the bytes after it are decoded on their own.
Decoded DecodeUtf8(std::string_view text, size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80)
        return {lead, 1, true};

    size_t needed = 0;
    char32_t value = 0;
    unsigned char low = 0x80; // allowed range of the second byte excludes overlongs and surrogates
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        needed = 1;
        value = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        needed = 2;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        needed = 3;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    }
    else
    {
        return {kReplacement, 1, false};
    }

    size_t length = 1;
    for (size_t i = 0; i < needed; ++i)
    {
        if (pos + length >= text.size())
            return {kReplacement, length, false};
        const auto byte = static_cast<unsigned char>(text[pos + length]);
        const bool inRange = i == 0 ? (byte >= low && byte <= high) : IsContinuation(byte);
        if (!inRange)
            return {kReplacement, length, false};
        value = (value << 6) | (byte & 0x3F);
        ++length;
    }
    return {value, length, true};
}

Decoded DecodeUtf16(std::u16string_view text, size_t pos)
{
    const char16_t unit = text[pos];
    if (unit < 0xD800 || unit > 0xDFFF)
        return {unit, 1, true};
    if (unit <= 0xDBFF && pos + 1 < text.size())
    {
        const char16_t next = text[pos + 1];
        if (next >= 0xDC00 && next <= 0xDFFF)
            return {0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(next) - 0xDC00), 2, true};
    }
    return {kReplacement, 1, false};
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000)
    {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80)
    {
        out.push_back(static_cast<char>(cp));
    }
    else if (cp < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::optional<std::u16string> Utf8ToUtf16Impl(std::string_view text, bool strict)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();)
    {
        const Decoded d = DecodeUtf8(text, pos);
        if (!d.valid && strict)
            return std::nullopt;
        AppendUtf16(out, d.codePoint);
        pos += d.length;
    }
    return out;
}

std::optional<std::string> Utf16ToUtf8Impl(std::u16string_view text, bool strict)
{
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();)
    {
        const Decoded d = DecodeUtf16(text, pos);
        if (!d.valid && strict)
            return std::nullopt;
        AppendUtf8(out, d.codePoint);
        pos += d.length;
    }
    return out;
}

} // namespace

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view text)
{
    return Utf8ToUtf16Impl(text, true);
}

std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view text)
{
    return Utf16ToUtf8Impl(text, true);
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    return *Utf8ToUtf16Impl(text, false);
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    return *Utf16ToUtf8Impl(text, false);
}

size_t Utf16Length(const char16_t* text)
{
    if (text == nullptr)
        return 0;
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

} // namespace platform
