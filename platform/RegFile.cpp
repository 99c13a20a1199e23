// The text format of registry exports ("Windows Registry Editor Version 5.00"), read and written.
//
// Reading accepts what the export tool writes and what a person typing such a file would expect:
// UTF-8 (with or without BOM) or UTF-16LE with BOM; CR LF or LF line ends; blank lines and ';'
// comment lines; quoted strings with \\ and \" escapes (any other backslash is kept as it is, so
// that a typed "C:\temp" means what it says); dword:, hex:, hex(1), hex(2), hex(3), hex(4), hex(7)
// and hex(b) values with continued lines; a key or value given twice is merged, the later data
// winning; and the deletions [-key] and "name"=- (and @=-), applied to what the file said before.
// Anything else is an error with its line number, because guessing could lose the user's data; so is
// a key beyond the bounds that the Windows registry sets (see SettingsStore.h), which no file of ours
// holds.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <unordered_map>

#include "platform/CaseFold.h"
#include "platform/HexDigits.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"

namespace platform::regfile
{

namespace
{

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

std::u16string_view TrimLeft(std::u16string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::u16string_view TrimRight(std::u16string_view s)
{
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::u16string_view Trim(std::u16string_view s)
{
    return TrimRight(TrimLeft(s));
}

bool StartsWithIgnoreCase(std::u16string_view s, std::u16string_view prefix)
{
    return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

bool IsWellFormedUtf16(std::u16string_view text)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF)
        {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            ++i;
        }
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            return false;
    }
    return true;
}

std::optional<std::u16string> DecodeText(std::string_view bytes, std::string& error)
{
    const auto byteAt = [&bytes](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE)
    {
        if (bytes.size() % 2 != 0)
        {
            error = "UTF-16 text with an odd number of bytes";
            return std::nullopt;
        }
        std::u16string text;
        text.reserve(bytes.size() / 2 - 1);
        for (size_t i = 2; i < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(byteAt(i) | byteAt(i + 1) << 8));
        if (!IsWellFormedUtf16(text))
        {
            error = "ill-formed UTF-16 text";
            return std::nullopt;
        }
        return text;
    }
    if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF)
    {
        error = "big-endian UTF-16 text is not supported";
        return std::nullopt;
    }
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
        bytes.remove_prefix(3);
    auto text = Utf8ToUtf16Strict(bytes);
    if (!text)
        error = "the text is neither UTF-8 nor UTF-16 with a byte order mark";
    return text;
}

std::vector<uint8_t> Utf16LeBytes(std::u16string_view units, bool terminate)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(units.size() * 2 + 2);
    for (char16_t unit : units)
    {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    if (terminate)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::u16string Utf16FromLeBytes(const std::vector<uint8_t>& bytes)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    return units;
}

// A REG_SZ or REG_EXPAND_SZ block: one terminating zero is dropped, any others belong to the text.
std::u16string TextFromBlock(const std::vector<uint8_t>& bytes)
{
    std::u16string text = Utf16FromLeBytes(bytes);
    if (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

// A REG_MULTI_SZ block: every string ends with a zero and the list with one more. A block that
// lacks its terminators still gives every string it holds.
std::vector<std::u16string> TextsFromBlock(const std::vector<uint8_t>& bytes)
{
    std::u16string units = Utf16FromLeBytes(bytes);
    if (!units.empty() && units.back() == u'\0')
        units.pop_back();
    std::vector<std::u16string> texts;
    size_t start = 0;
    while (start < units.size())
    {
        size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos)
            end = units.size();
        texts.emplace_back(units.substr(start, end - start));
        start = end + 1;
    }
    return texts;
}

uint64_t LittleEndian(const std::vector<uint8_t>& bytes)
{
    uint64_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

class Parser
{
public:
    explicit Parser(std::u16string_view text) : m_text(text) {}

    std::optional<Document> Run(std::string* error)
    {
        std::u16string_view line;
        bool headerSeen = false;
        while (NextLine(line))
        {
            line = Trim(line);
            if (line.empty() || line.front() == u';')
                continue;
            bool ok = true;
            if (!headerSeen)
            {
                ok = CheckHeader(line);
                headerSeen = true;
            }
            else if (line.front() == u'[')
                ok = KeyLine(line);
            else if (line.front() == u'"' || line.front() == u'@')
                ok = ValueLine(line);
            else
                ok = Fail("neither a key, a value nor a comment");
            if (!ok)
            {
                if (error)
                    *error = "line " + std::to_string(m_lineNumber) + ": " + m_error;
                return std::nullopt;
            }
        }
        return Finish();
    }

private:
    bool NextLine(std::u16string_view& line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find(u'\n', m_pos);
        if (end == std::u16string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_lineNumber;
        return true;
    }

    bool Fail(std::string message)
    {
        m_error = std::move(message);
        return false;
    }

    bool CheckHeader(std::u16string_view line)
    {
        if (line == kHeader)
            return true;
        if (line == u"REGEDIT4")
            return Fail("REGEDIT4 files are not supported");
        return Fail("the first line is not \"Windows Registry Editor Version 5.00\"");
    }

    bool KeyLine(std::u16string_view line)
    {
        const size_t close = line.rfind(u']');
        if (close == std::u16string_view::npos || !TrimLeft(line.substr(close + 1)).empty())
            return Fail("a key line must end with ']'");
        std::u16string_view inside = line.substr(1, close - 1);
        const bool remove = !inside.empty() && inside.front() == u'-';
        if (remove)
            inside.remove_prefix(1);

        // Empty parts ("a\\b", a trailing backslash) name nothing and are dropped. The first part is
        // the hive's name.
        std::vector<std::u16string_view> parts;
        size_t start = 0;
        while (start <= inside.size())
        {
            size_t end = inside.find(u'\\', start);
            if (end == std::u16string_view::npos)
                end = inside.size();
            if (end > start)
            {
                if (parts.size() > kMaxKeyDepth)
                    return Fail("a key more than " + std::to_string(kMaxKeyDepth) + " levels deep");
                parts.push_back(inside.substr(start, end - start));
            }
            start = end + 1;
        }
        if (parts.empty())
            return Fail("a key line without a key");
        // Written back, such a hive's keys would read as deletions.
        if (parts.front().front() == u'-')
            return Fail("a hive name must not begin with '-'");
        if (m_doc.hiveName.empty())
            m_doc.hiveName = parts.front();
        else if (!EqualsIgnoreCase(m_doc.hiveName, parts.front()))
            return Fail("keys of more than one hive");
        std::u16string path;
        for (size_t i = 1; i < parts.size(); ++i)
        {
            if (parts[i].size() > kMaxKeyNameLength)
                return Fail("a key name longer than " + std::to_string(kMaxKeyNameLength) + " characters");
            if (i > 1)
                path += u'\\';
            path += parts[i];
        }
        if (path.size() > kMaxKeyPathLength)
            return Fail("a key path longer than " + std::to_string(kMaxKeyPathLength) + " characters");
        if (remove)
            DeleteKeyTree(path);
        else
            m_current = FindOrAddKey(std::move(path));
        return true;
    }

    static constexpr size_t kNoKey = SIZE_MAX;

    size_t FindOrAddKey(std::u16string path)
    {
        auto [found, added] = m_keyIndex.try_emplace(FoldCase(path), m_doc.keys.size());
        if (added)
        {
            m_doc.keys.push_back(Key{std::move(path), {}});
            m_keys.emplace_back();
        }
        return found->second;
    }

    // Deleted keys and values stay where they are, marked, until the end of the text: removing each
    // at once would cost a pass over all the others for every deletion line.
    void DeleteKeyTree(std::u16string_view path)
    {
        const auto doom = [this](auto first, auto last)
        {
            for (auto it = first; it != last; ++it)
                m_keys[it->second].deleted = true;
            m_keyIndex.erase(first, last);
        };
        std::u16string folded = FoldCase(path);
        if (folded.empty())
            doom(m_keyIndex.begin(), m_keyIndex.end());
        else
        {
            if (auto self = m_keyIndex.find(folded); self != m_keyIndex.end())
                doom(self, std::next(self));
            // The keys below are the paths that continue with a backslash: they sort together, before
            // the same path continued with ']', the character after the backslash.
            folded += u'\\';
            const auto first = m_keyIndex.lower_bound(folded);
            folded.back() = u']';
            doom(first, m_keyIndex.lower_bound(folded));
        }
        // Values that follow a deleted key's line belong to no key.
        m_current = kNoKey;
    }

    // The document without what was deleted.
    Document Finish()
    {
        size_t keptKeys = 0;
        for (size_t k = 0; k < m_doc.keys.size(); ++k)
        {
            if (m_keys[k].deleted)
                continue;
            auto& values = m_doc.keys[k].values;
            size_t keptValues = 0;
            for (size_t v = 0; v < values.size(); ++v)
            {
                if (m_keys[k].valueDeleted[v])
                    continue;
                if (keptValues != v)
                    values[keptValues] = std::move(values[v]);
                ++keptValues;
            }
            values.resize(keptValues);
            if (keptKeys != k)
                m_doc.keys[keptKeys] = std::move(m_doc.keys[k]);
            ++keptKeys;
        }
        m_doc.keys.resize(keptKeys);
        return std::move(m_doc);
    }

    // Reads a quoted text at the start of `rest` (just after its opening quote) and leaves `rest`
    // behind the closing quote.
    bool QuotedText(std::u16string_view& rest, std::u16string& text)
    {
        text.clear();
        for (size_t i = 0; i < rest.size(); ++i)
        {
            const char16_t c = rest[i];
            if (c == u'"')
            {
                rest.remove_prefix(i + 1);
                return true;
            }
            if (c == u'\\' && i + 1 < rest.size() && (rest[i + 1] == u'\\' || rest[i + 1] == u'"'))
            {
                text += rest[++i];
                continue;
            }
            text += c;
        }
        return Fail("a quoted text without its closing quote");
    }

    bool ValueLine(std::u16string_view line)
    {
        if (m_current == kNoKey)
            return Fail("a value outside any key");
        std::u16string name;
        std::u16string_view rest = line;
        if (rest.front() == u'@')
            rest.remove_prefix(1);
        else
        {
            rest.remove_prefix(1);
            if (!QuotedText(rest, name))
                return false;
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != u'=')
            return Fail("a value name must be followed by '='");
        rest = TrimLeft(rest.substr(1));

        if (!rest.empty() && rest.front() == u'-' && TrimLeft(rest.substr(1)).empty())
        {
            DeleteValue(name);
            return true;
        }
        RegValue value;
        if (!ValueData(rest, value))
            return false;
        StoreValue(std::move(name), std::move(value));
        return true;
    }

    bool ValueData(std::u16string_view rest, RegValue& value)
    {
        if (!rest.empty() && rest.front() == u'"')
        {
            rest.remove_prefix(1);
            std::u16string text;
            if (!QuotedText(rest, text))
                return false;
            if (!TrimLeft(rest).empty())
                return Fail("text after the closing quote");
            value = RegValue::FromString(text);
            return true;
        }
        if (StartsWithIgnoreCase(rest, u"dword:"))
            return DwordData(rest.substr(6), value);
        if (StartsWithIgnoreCase(rest, u"hex"))
            return HexData(rest.substr(3), value);
        return Fail("unknown kind of value data");
    }

    bool DwordData(std::u16string_view digits, RegValue& value)
    {
        digits = TrimRight(digits);
        if (digits.empty() || digits.size() > 8)
            return Fail("a dword needs one to eight hexadecimal digits");
        uint32_t number = 0;
        for (char16_t c : digits)
        {
            const int digit = platform::HexDigitValue(c);
            if (digit < 0)
                return Fail("a dword needs one to eight hexadecimal digits");
            number = number << 4 | static_cast<uint32_t>(digit);
        }
        value = RegValue::FromDword(number);
        return true;
    }

    // `rest` follows "hex": either ":" or "(type):", then the byte list.
    bool HexData(std::u16string_view rest, RegValue& value)
    {
        uint32_t type = 3;
        if (!rest.empty() && rest.front() == u'(')
        {
            const size_t close = rest.find(u')');
            if (close == std::u16string_view::npos || close == 1 || close > 9)
                return Fail("a malformed hex(type)");
            type = 0;
            for (char16_t c : rest.substr(1, close - 1))
            {
                const int digit = platform::HexDigitValue(c);
                if (digit < 0)
                    return Fail("a malformed hex(type)");
                type = type << 4 | static_cast<uint32_t>(digit);
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != u':')
            return Fail("hex data needs a ':'");
        std::vector<uint8_t> bytes;
        if (!ByteList(rest.substr(1), bytes))
            return false;
        if ((type == 1 || type == 2 || type == 7) && bytes.size() % 2 != 0)
            return Fail("text data with an odd number of bytes");

        switch (type)
        {
        case 1:
            value = RegValue::FromString(TextFromBlock(bytes));
            break;
        case 2:
            value = RegValue::FromString(TextFromBlock(bytes));
            value.type = RegType::ExpandString;
            break;
        case 3:
            value = RegValue::FromBinary(std::move(bytes));
            break;
        case 4:
            if (bytes.size() != 4)
                return Fail("hex(4) needs exactly four bytes");
            value = RegValue::FromDword(static_cast<uint32_t>(LittleEndian(bytes)));
            break;
        case 7:
            value = RegValue::FromMultiString(TextsFromBlock(bytes));
            break;
        case 0xB:
            if (bytes.size() != 8)
                return Fail("hex(b) needs exactly eight bytes");
            value = RegValue::FromQword(LittleEndian(bytes));
            break;
        default:
        {
            char text[40];
            std::snprintf(text, sizeof text, "value type hex(%x) is not supported",
                          static_cast<unsigned>(type));
            return Fail(text);
        }
        }
        return true;
    }

    // Comma-separated bytes of one or two hexadecimal digits; a line that ends with a backslash
    // continues on the next one.
    bool ByteList(std::u16string_view first, std::vector<uint8_t>& bytes)
    {
        std::u16string list;
        std::u16string_view part = TrimRight(first);
        while (!part.empty() && part.back() == u'\\')
        {
            part.remove_suffix(1);
            list += part;
            std::u16string_view next;
            if (!NextLine(next))
                return Fail("hex data continues past the end of the file");
            part = Trim(next);
        }
        list += part;

        std::u16string_view items = Trim(list);
        if (items.empty())
            return true;
        while (true)
        {
            const size_t comma = items.find(u',');
            const std::u16string_view item = Trim(items.substr(0, comma));
            // A final comma ends the list, as the export tool's continued lines do.
            if (comma == std::u16string_view::npos && item.empty())
                return true;
            if (item.empty() || item.size() > 2 || platform::HexDigitValue(item[0]) < 0 ||
                (item.size() == 2 && platform::HexDigitValue(item[1]) < 0))
                return Fail("hex data must be bytes of two hexadecimal digits separated by commas");
            int byte = platform::HexDigitValue(item[0]);
            if (item.size() == 2)
                byte = byte << 4 | platform::HexDigitValue(item[1]);
            bytes.push_back(static_cast<uint8_t>(byte));
            if (comma == std::u16string_view::npos)
                return true;
            items.remove_prefix(comma + 1);
        }
    }

    void StoreValue(std::u16string name, RegValue value)
    {
        KeyState& key = m_keys[m_current];
        auto& values = m_doc.keys[m_current].values;
        auto [found, added] = key.valueIndex.try_emplace(FoldCase(name), values.size());
        if (!added)
        {
            values[found->second].second = std::move(value);
            return;
        }
        values.emplace_back(std::move(name), std::move(value));
        key.valueDeleted.push_back(false);
    }

    void DeleteValue(const std::u16string& name)
    {
        KeyState& key = m_keys[m_current];
        auto found = key.valueIndex.find(FoldCase(name));
        if (found == key.valueIndex.end())
            return;
        key.valueDeleted[found->second] = true;
        key.valueIndex.erase(found);
    }

    // What the parse knows of a key of m_doc beyond the document itself.
    struct KeyState
    {
        std::unordered_map<std::u16string, size_t> valueIndex; // folded name -> value, of those not deleted
        std::vector<bool> valueDeleted;                        // one per value
        bool deleted = false;
    };

    std::u16string_view m_text;
    size_t m_pos = 0;
    size_t m_lineNumber = 0;
    std::string m_error;
    Document m_doc;
    size_t m_current = kNoKey;
    std::map<std::u16string, size_t> m_keyIndex; // folded path -> key, of those not deleted
    std::vector<KeyState> m_keys;                // one per key of m_doc
};

// --- Writing --------------------------------------------------------------------------------------

void AppendEscaped(std::string& out, std::u16string_view text)
{
    const std::string utf8 = Utf16ToUtf8(text);
    size_t start = 0;
    for (size_t special = utf8.find_first_of("\\\""); special != std::string::npos;
         special = utf8.find_first_of("\\\"", special + 1))
    {
        out.append(utf8, start, special - start);
        out += '\\';
        start = special;
    }
    out.append(utf8, start);
}

// A text that a quoted string can carry: one line, no zero, no lone surrogate.
bool FitsInQuotes(std::u16string_view text)
{
    return text.find_first_of(std::u16string_view(u"\0\r\n", 3)) == std::u16string_view::npos &&
           IsWellFormedUtf16(text);
}

// Bytes as the export tool lays them out: lines of about 80 columns continued with a backslash.
void AppendHex(std::string& out, size_t lineStart, const std::vector<uint8_t>& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
        if (i + 1 == bytes.size())
            break;
        out += ',';
        if (out.size() - lineStart > 76)
        {
            out += "\\\n  ";
            lineStart = out.size() - 2;
        }
    }
}

void AppendValue(std::string& out, const std::u16string& name, const RegValue& value)
{
    const size_t lineStart = out.size();
    if (name.empty())
        out += '@';
    else
    {
        out += '"';
        AppendEscaped(out, name);
        out += '"';
    }
    out += '=';
    switch (value.type)
    {
    case RegType::String:
        if (FitsInQuotes(value.text))
        {
            out += '"';
            AppendEscaped(out, value.text);
            out += '"';
        }
        else
        {
            out += "hex(1):";
            AppendHex(out, lineStart, Utf16LeBytes(value.text, true));
        }
        break;
    case RegType::ExpandString:
        out += "hex(2):";
        AppendHex(out, lineStart, Utf16LeBytes(value.text, true));
        break;
    case RegType::Binary:
        out += "hex:";
        AppendHex(out, lineStart, value.bytes);
        break;
    case RegType::Dword:
    {
        char digits[9];
        const auto number = static_cast<uint32_t>(value.number);
        for (int i = 0; i < 8; ++i)
            digits[i] = "0123456789abcdef"[(number >> (28 - 4 * i)) & 0xF];
        digits[8] = '\0';
        out += "dword:";
        out += digits;
        break;
    }
    case RegType::MultiString:
    {
        std::u16string block;
        for (const auto& text : value.texts)
        {
            block += text;
            block += u'\0';
        }
        out += "hex(7):";
        AppendHex(out, lineStart, Utf16LeBytes(block, true));
        break;
    }
    case RegType::Qword:
    {
        std::vector<uint8_t> bytes(8);
        for (size_t i = 0; i < 8; ++i)
            bytes[i] = static_cast<uint8_t>(value.number >> (8 * i));
        out += "hex(b):";
        AppendHex(out, lineStart, bytes);
        break;
    }
    }
    out += '\n';
}

} // namespace

std::optional<Document> Parse(std::string_view bytes, std::string* error)
{
    std::string decodeError;
    auto text = DecodeText(bytes, decodeError);
    if (!text)
    {
        if (error)
            *error = decodeError;
        return std::nullopt;
    }
    if (text->find(u'\0') != std::u16string::npos)
    {
        if (error)
            *error = "the text holds a zero character";
        return std::nullopt;
    }
    return Parser(*text).Run(error);
}

std::string Serialize(const Document& doc, std::u16string_view hiveName)
{
    std::string out = "Windows Registry Editor Version 5.00\n";
    const std::string hive = Utf16ToUtf8(hiveName);
    for (const auto& key : doc.keys)
    {
        out += "\n[";
        out += hive;
        if (!key.path.empty())
        {
            out += '\\';
            out += Utf16ToUtf8(key.path);
        }
        out += "]\n";
        for (const auto& [name, value] : key.values)
            AppendValue(out, name, value);
    }
    return out;
}

} // namespace platform::regfile
