// The owning UTF-16 text of every layer below the windows. It holds one exactly sized block and
// nothing else: every change allocates the new text before it frees the old one, so a source that
// points into the string's own text is always read intact.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/Types.h"

// Each returns a new[] block that the caller owns (delete[]), or null. 8-bit text is UTF-8; an
// ill-formed sequence becomes U+FFFD rather than losing the whole text.
char16_t* AnsiToWide(const char* text);     // null for a null or empty text
char* WideToAnsi(const char16_t* text);     // null for a null or empty text
char16_t* WideStrDup(const char16_t* text); // null for null; "" gives a block with the terminator
char16_t* WideStrConcat(const char16_t* a, const char16_t* b); // never null; null counts as ""

class CWideString
{
public:
    // The longest text that Format produces: the Windows formatter's buffer grows by 1024 units
    // for at most 63 attempts.
    static constexpr size_t kMaxFormatUnits = 63 * 1024;

    CWideString() = default;
    CWideString(const char16_t* text) : m_pText(WideStrDup(text)) {}
    // printf-style, with the Windows wide formatter's conversions (%s is UTF-16 text). Only
    // with at least one argument: a lone text is copied as it stands.
    template <typename First, typename... Rest>
    CWideString(const char16_t* format, First first, Rest... rest)
    {
        Format(format, first, rest...);
    }
    CWideString(const CWideString& other);
    ~CWideString();

    CWideString& operator=(const CWideString& other);
    CWideString& operator=(const char16_t* text);

    // Null when the string holds no block at all; callers treat null and "" alike.
    operator const char16_t*() const { return m_pText; }

    void SetEmpty();
    BOOL IsEmpty() const { return m_pText == nullptr || m_pText[0] == 0 ? TRUE : FALSE; }
    // A copy of the first min(n, length) units; n = 0 gives an allocated empty text.
    void AssignN(const char16_t* text, uint32_t n);
    uint32_t GetLength() const;
    int GetLastIndex() const { return static_cast<int>(GetLength()) - 1; }

    CWideString operator+(const CWideString& other) const;
    CWideString operator+(const char16_t* text) const;
    CWideString& operator+=(char16_t unit);

    // -1 when not found, when the text or needle is null, or when start is at or past the end.
    int Find(const char16_t* needle, uint32_t start = 0) const;
    int ReverseFind(char16_t unit) const;
    uint32_t ReplaceCharWithSpace(char16_t unit);
    // Continues behind each inserted replacement, so a replacement holding the needle is not
    // replaced again. Returns the number of replacements.
    uint32_t Replace(const char16_t* needle, const char16_t* replacement);
    // Clipped at the end of the text; returns the requested count, 0 when nothing happened.
    uint32_t Delete(uint32_t index, uint32_t count);
    // Before the unit at index; index == length appends; past the length nothing changes.
    void Insert(uint32_t index, const char16_t* text);
    // Returns the number removed; more than the length frees the text entirely.
    uint32_t RemoveRight(uint32_t n);
    // Removes units <= 0x20 at both ends; returns the number removed.
    uint32_t Trim();
    // Case folding of A-Z only, independent of the locale; -1, 0 or 1.
    int CompareNoCase(const char16_t* text) const;
    CWideString Right(uint32_t n) const;

    // FALSE (the old text kept) when the result exceeds kMaxFormatUnits or the format is
    // malformed. An empty result leaves the string null.
    BOOL Format(const char16_t* format, ...);
    BOOL FormatV(const char16_t* format, va_list args);

private:
    static CWideString Adopt(char16_t* block);
    // Frees the old block only after the new one exists.
    void TakeBlock(char16_t* block);

    char16_t* m_pText = nullptr;
};
