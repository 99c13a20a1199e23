#include "foundation/ByteDump.h"

#include <string>

namespace
{

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void AppendHex(std::u16string& out, uint8_t byte)
{
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0F]);
}

void AppendSeparator(std::u16string& out, uint32_t bytesDone)
{
    if (bytesDone % 32 == 0)
        out.push_back(u'\n');
    else if (bytesDone % 4 == 0)
        out.push_back(u' ');
}

} // namespace

CWideString FormatHexDump(const CByteBuffer& buffer)
{
    std::u16string out;
    const uint8_t* bytes = buffer.GetData();
    for (uint32_t i = 0; i < buffer.GetLength(); ++i)
    {
        AppendHex(out, bytes[i]);
        out.push_back(u' ');
        AppendSeparator(out, i + 1);
    }
    return CWideString(out.c_str());
}

CWideString FormatPrintableDump(const CByteBuffer& buffer)
{
    std::u16string out;
    const uint8_t* bytes = buffer.GetData();
    for (uint32_t i = 0; i < buffer.GetLength(); ++i)
    {
        const uint8_t byte = bytes[i];
        if (byte == 10)
        {
            out += u"<LF>";
        }
        else if (byte == 13)
        {
            out += u"<CR>";
        }
        else if (byte >= 0x20 && byte <= 0x7E)
        {
            out.push_back(byte);
        }
        else
        {
            out.push_back(u'<');
            AppendHex(out, byte);
            out.push_back(u'>');
        }
        AppendSeparator(out, i + 1);
    }
    return CWideString(out.c_str());
}
