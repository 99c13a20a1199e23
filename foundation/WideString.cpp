#include "foundation/WideString.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Format.h"
#include "platform/Utf.h"

namespace
{

char16_t* NewText(const char16_t* source, size_t length)
{
    auto* block = new char16_t[length + 1];
    if (length > 0)
        std::memcpy(block, source, length * sizeof(char16_t));
    block[length] = 0;
    return block;
}

std::u16string_view View(const char16_t* text)
{
    return text != nullptr ? std::u16string_view(text, platform::Utf16Length(text)) : std::u16string_view();
}

char16_t FoldAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit + 0x20) : unit;
}

} // namespace

char16_t* AnsiToWide(const char* text)
{
    if (text == nullptr || text[0] == 0)
        return nullptr;
    const std::u16string wide = platform::Utf8ToUtf16(text);
    return wide.empty() ? nullptr : NewText(wide.data(), wide.size());
}

char* WideToAnsi(const char16_t* text)
{
    if (text == nullptr || text[0] == 0)
        return nullptr;
    const std::string narrow = platform::Utf16ToUtf8(View(text));
    if (narrow.empty())
        return nullptr;
    auto* block = new char[narrow.size() + 1];
    std::memcpy(block, narrow.c_str(), narrow.size() + 1);
    return block;
}

char16_t* WideStrDup(const char16_t* text)
{
    if (text == nullptr)
        return nullptr;
    return NewText(text, platform::Utf16Length(text));
}

char16_t* WideStrConcat(const char16_t* a, const char16_t* b)
{
    const std::u16string_view first = View(a);
    const std::u16string_view second = View(b);
    auto* block = new char16_t[first.size() + second.size() + 1];
    std::copy(first.begin(), first.end(), block);
    std::copy(second.begin(), second.end(), block + first.size());
    block[first.size() + second.size()] = 0;
    return block;
}

CWideString::CWideString(const CWideString& other) : m_pText(WideStrDup(other.m_pText)) {}

CWideString::~CWideString()
{
    delete[] m_pText;
    m_pText = nullptr;
}

CWideString& CWideString::operator=(const CWideString& other)
{
    if (this != &other)
        TakeBlock(WideStrDup(other.m_pText));
    return *this;
}

CWideString& CWideString::operator=(const char16_t* text)
{
    if (text != m_pText)
        TakeBlock(WideStrDup(text));
    return *this;
}

void CWideString::TakeBlock(char16_t* block)
{
    delete[] m_pText;
    m_pText = block;
}

CWideString CWideString::Adopt(char16_t* block)
{
    CWideString text;
    text.m_pText = block;
    return text;
}

void CWideString::SetEmpty()
{
    TakeBlock(NewText(nullptr, 0));
}

void CWideString::AssignN(const char16_t* text, uint32_t n)
{
    if (text == m_pText)
        return;
    if (text == nullptr)
    {
        TakeBlock(nullptr);
        return;
    }
    // Reads no further than n units, so the source need not be terminated within them.
    size_t length = 0;
    while (length < n && text[length] != 0)
        ++length;
    TakeBlock(NewText(text, length));
}

uint32_t CWideString::GetLength() const
{
    return static_cast<uint32_t>(platform::Utf16Length(m_pText));
}

CWideString CWideString::operator+(const CWideString& other) const
{
    return Adopt(WideStrConcat(m_pText, other.m_pText));
}

CWideString CWideString::operator+(const char16_t* text) const
{
    return Adopt(WideStrConcat(m_pText, text));
}

CWideString& CWideString::operator+=(char16_t unit)
{
    if (unit == 0)
        return *this;
    const std::u16string_view text = View(m_pText);
    auto* block = new char16_t[text.size() + 2];
    std::copy(text.begin(), text.end(), block);
    block[text.size()] = unit;
    block[text.size() + 1] = 0;
    TakeBlock(block);
    return *this;
}

int CWideString::Find(const char16_t* needle, uint32_t start) const
{
    const std::u16string_view text = View(m_pText);
    if (m_pText == nullptr || needle == nullptr || start >= text.size())
        return -1;
    const size_t found = text.find(View(needle), start);
    return found == std::u16string_view::npos ? -1 : static_cast<int>(found);
}

int CWideString::ReverseFind(char16_t unit) const
{
    const std::u16string_view text = View(m_pText);
    if (text.empty() || unit == 0)
        return -1;
    const size_t found = text.rfind(unit);
    return found == std::u16string_view::npos ? -1 : static_cast<int>(found);
}

uint32_t CWideString::ReplaceCharWithSpace(char16_t unit)
{
    uint32_t replaced = 0;
    if (m_pText == nullptr || unit == 0)
        return 0;
    for (char16_t* p = m_pText; *p != 0; ++p)
    {
        if (*p == unit)
        {
            *p = u' ';
            ++replaced;
        }
    }
    return replaced;
}

uint32_t CWideString::Replace(const char16_t* needle, const char16_t* replacement)
{
    const std::u16string_view find = View(needle);
    const std::u16string_view with = View(replacement);
    const std::u16string_view text = View(m_pText);
    if (find.empty() || find == with || text.empty())
        return 0;

    std::u16string result;
    uint32_t replaced = 0;
    size_t pos = 0;
    for (size_t found = text.find(find); found != std::u16string_view::npos; found = text.find(find, pos))
    {
        result.append(text.substr(pos, found - pos));
        result.append(with);
        pos = found + find.size();
        ++replaced;
    }
    if (replaced == 0)
        return 0;
    result.append(text.substr(pos));
    TakeBlock(NewText(result.data(), result.size()));
    return replaced;
}

uint32_t CWideString::Delete(uint32_t index, uint32_t count)
{
    const std::u16string_view text = View(m_pText);
    if (text.empty() || index > text.size())
        return 0;
    const size_t removed = std::min<size_t>(count, text.size() - index);
    std::u16string result(text.substr(0, index));
    result.append(text.substr(index + removed));
    TakeBlock(NewText(result.data(), result.size()));
    return count;
}

void CWideString::Insert(uint32_t index, const char16_t* text)
{
    const std::u16string_view current = View(m_pText);
    const std::u16string_view inserted = View(text);
    if (index > current.size() || inserted.empty())
        return;
    std::u16string result(current.substr(0, index));
    result.append(inserted);
    result.append(current.substr(index));
    TakeBlock(NewText(result.data(), result.size()));
}

uint32_t CWideString::RemoveRight(uint32_t n)
{
    const std::u16string_view text = View(m_pText);
    if (text.empty() || n == 0)
        return 0;
    if (n > text.size())
    {
        const auto length = static_cast<uint32_t>(text.size());
        TakeBlock(nullptr);
        return length;
    }
    TakeBlock(NewText(text.data(), text.size() - n));
    return n;
}

uint32_t CWideString::Trim()
{
    const std::u16string_view text = View(m_pText);
    size_t first = 0;
    while (first < text.size() && text[first] <= 0x20)
        ++first;
    size_t last = text.size();
    while (last > first && text[last - 1] <= 0x20)
        --last;
    const auto removed = static_cast<uint32_t>(text.size() - (last - first));
    if (removed > 0)
        TakeBlock(NewText(text.data() + first, last - first));
    return removed;
}

int CWideString::CompareNoCase(const char16_t* text) const
{
    if (m_pText == nullptr || text == nullptr)
        return m_pText == text ? 0 : (m_pText == nullptr ? -1 : 1);
    const std::u16string_view mine = View(m_pText);
    const std::u16string_view theirs = View(text);
    const size_t common = std::min(mine.size(), theirs.size());
    for (size_t i = 0; i < common; ++i)
    {
        const char16_t a = FoldAscii(mine[i]);
        const char16_t b = FoldAscii(theirs[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (mine.size() == theirs.size())
        return 0;
    return mine.size() < theirs.size() ? -1 : 1;
}

CWideString CWideString::Right(uint32_t n) const
{
    const std::u16string_view text = View(m_pText);
    const size_t length = std::min<size_t>(n, text.size());
    return Adopt(NewText(text.data() + (text.size() - length), length));
}

BOOL CWideString::Format(const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const BOOL formatted = FormatV(format, args);
    va_end(args);
    return formatted;
}

BOOL CWideString::FormatV(const char16_t* format, va_list args)
{
    std::u16string result;
    if (!platform::FormatWideV(result, kMaxFormatUnits, format, args))
        return FALSE;
    // The text ends at the first zero unit (a %c of 0), as every reader of the block sees it.
    const size_t length = platform::Utf16Length(result.c_str());
    TakeBlock(length > 0 ? NewText(result.data(), length) : nullptr);
    return TRUE;
}
