#include <cstdio>
#include <filesystem>

#include "foundation/DisplaySettings.h"
#include "foundation/MessageBoxes.h"
#include "foundation/PathTools.h"
#include "foundation/StringTools.h"
#include "foundation/SystemStringTable.h"
#include "foundation/SystemStrings.h"
#include "platform/Utf.h"

namespace
{

constexpr char16_t kOverrideFileName[] = u"SystemStringTable.txt";

bool IsTableLoaded()
{
    return WithSystemStringTable([](const SystemStringTable& table)
                                 { return table.loaded != 0 && table.entries.GetCount() != 0; });
}

// A decimal number as a 32-bit signed long reads it: optional sign, digits up to the first
// non-digit, clamped at the ends of the range; 0 for a text that does not start with a number.
int32_t ParseLong(const char16_t* text)
{
    if (text == nullptr)
        return 0;
    while (*text == u' ' || (*text >= u'\t' && *text <= u'\r'))
        ++text;
    bool negative = false;
    if (*text == u'+' || *text == u'-')
        negative = *text++ == u'-';
    int64_t value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text)
    {
        value = value * 10 + (*text - u'0');
        if (value > INT64_C(0x80000000))
            value = INT64_C(0x80000000);
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

void ApplyLine(CWideString& line)
{
    line.Trim();
    if (line.IsEmpty())
        return;
    CDynArray<CWideString> fields;
    if (SplitStringInto(line, u'\t', fields) < 2)
        return;
    CWideString idText = fields[0];
    idText.Trim();
    const int32_t id = ParseLong(idText);
    if (id <= 0)
        return; // no entry has it
    CWideString text;
    for (uint32_t i = 1; i < fields.GetCount(); ++i)
        text = text + fields[i];
    text.Replace(u"\\t", u"\t");
    text.Replace(u"\\n", u"\n");
    text.Replace(u"\\r", u"\r");
    text.Replace(u"\\\"", u"\"");
    WithSystemStringTable(
        [id, &text](SystemStringTable& table)
        {
            SystemStringEntry* entries = table.entries.GetData();
            for (uint32_t i = 0; i < table.entries.GetCount(); ++i)
            {
                if (entries[i].id == static_cast<StringId>(id))
                {
                    entries[i].text = text;
                    return;
                }
            }
        });
}

} // namespace

HRESULT ApplySystemStringOverrides(FILE* file)
{
    if (file == nullptr || !IsTableLoaded())
        return E_FAIL;
    unsigned char mark[2];
    // Only a UTF-16 little-endian file is a translation; anything else is left alone.
    if (std::fread(mark, 1, 2, file) != 2 || mark[0] != 0xFF || mark[1] != 0xFE)
        return S_OK;
    CWideString line;
    while (ReadTextLine(file, line))
        ApplyLine(line);
    return S_OK;
}

HRESULT ReadSystemStringOverrides(const char16_t* path)
{
    if (path == nullptr || !FileExists(path) || !IsTableLoaded())
        return E_FAIL;
    FILE* file = std::fopen(std::filesystem::path(platform::Utf16ToUtf8(path)).c_str(), "rb");
    if (file == nullptr)
        return E_FAIL;
    const HRESULT hr = ApplySystemStringOverrides(file);
    std::fclose(file);
    return hr;
}

HRESULT LoadSystemStringTable()
{
    HRESULT hr = SetSystemStringTable(g_SystemStrings_English);
    const CWideString path = CombinePath(GetTranslateFolder(), kOverrideFileName);
    if (!FileExists(path))
        return hr;
    hr = ReadSystemStringOverrides(path);
    if (Failed(hr))
    {
        const CWideString message(u"Failed to override system string table from file:\n%s",
                                  static_cast<const char16_t*>(path));
        WarningMessageBox(message, nullptr, u"System String Table Error");
    }
    return hr;
}
