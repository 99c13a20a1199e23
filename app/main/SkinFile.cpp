#include "app/main/SkinFile.h"

#include <string>
#include <string_view>

#include "foundation/NameLookups.h"
#include "foundation/PathTools.h"
#include "platform/PrivateProfile.h"
#include "platform/Utf.h"

namespace
{

constexpr int32_t kMissingColorPart = -1;

std::u16string_view View(const char16_t* text)
{
    return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

CWideString Wide(const std::u16string& text)
{
    return CWideString(text.c_str());
}

// A colour replaces the current one only when every part is there and none is negative.
void ReadColor(const platform::CPrivateProfile& profile, std::u16string_view section, const char16_t* redKey,
               const char16_t* greenKey, const char16_t* blueKey, COLORREF& color)
{
    const int32_t red = profile.GetInt(section, redKey, kMissingColorPart);
    const int32_t green = profile.GetInt(section, greenKey, kMissingColorPart);
    const int32_t blue = profile.GetInt(section, blueKey, kMissingColorPart);
    if (red < 0 || green < 0 || blue < 0)
        return;
    color = RGB(static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue));
}

void ReadTabColor(const platform::CPrivateProfile& profile, std::u16string_view section, COLORREF& color)
{
    ReadColor(profile, section, u"Red", u"Green", u"Blue", color);
}

CWideString ReadPath(const platform::CPrivateProfile& profile, std::u16string_view section,
                     std::u16string_view key, const char16_t* programDirectory)
{
    return ResolveSkinPath(profile.GetString(section, key, u"").c_str(), programDirectory);
}

} // namespace

BOOL LoadSkinFile(const char16_t* path)
{
    return LoadSkinFile(path, GetProgramDirectory());
}

BOOL LoadSkinFile(const char16_t* path, const char16_t* programDirectory)
{
    platform::CPrivateProfile profile;
    // An unreadable file reads like an empty one: every key takes its default.
    profile.Load(platform::Utf16ToUtf8(View(path)));

    constexpr std::u16string_view kMainWindow = u"MainWindow";
    g_Skin.title = Wide(profile.GetString(kMainWindow, u"Title", kDefaultSkinTitle));
    ReadColor(profile, kMainWindow, u"BackgroundColorRed", u"BackgroundColorGreen", u"BackgroundColorBlue",
              g_Skin.backgroundColor);
    g_Skin.backgroundImage = ReadPath(profile, kMainWindow, u"BackgroundImage", programDirectory);
    g_Skin.iconImage = ReadPath(profile, kMainWindow, u"IconImage", programDirectory);
    g_Skin.icon = FileExists(g_Skin.iconImage) ? g_Skin.iconImage : CWideString();

    ReadTabColor(profile, u"TabTextNormalColor", g_Skin.tabTextNormalColor);
    ReadTabColor(profile, u"TabTextSelectedColor", g_Skin.tabTextSelectedColor);
    ReadTabColor(profile, u"TabTextHoverColor", g_Skin.tabTextHoverColor);
    ReadTabColor(profile, u"TabTextDisabledColor", g_Skin.tabTextDisabledColor);

    constexpr std::u16string_view kTabBitmaps = u"TabBitmaps";
    g_Skin.tabBitmapNormal = ReadPath(profile, kTabBitmaps, u"Normal", programDirectory);
    g_Skin.tabBitmapSelected = ReadPath(profile, kTabBitmaps, u"Selected", programDirectory);
    g_Skin.tabBitmapHover = ReadPath(profile, kTabBitmaps, u"Hover", programDirectory);
    g_Skin.tabBitmapDisabled = ReadPath(profile, kTabBitmaps, u"Disabled", programDirectory);

    // Read as they stand: a missing key empties the name, and the model table's name applies.
    g_Skin.modelNameType12 = Wide(profile.GetString(u"Names", u"VOXPro", u""));
    g_Skin.modelNameType19 = Wide(profile.GetString(u"Names", u"VOXBrawn", u""));
    return TRUE;
}

CWideString ResolveSkinPath(const char16_t* text)
{
    return ResolveSkinPath(text, GetProgramDirectory());
}

CWideString ResolveSkinPath(const char16_t* text, const char16_t* programDirectory)
{
    std::u16string path(View(text));
    if (path.empty())
        return CWideString();
    for (char16_t& unit : path)
        if (unit == u'\\')
            unit = u'/';
    if (!GetDirectoryFromPath(path.c_str()).IsEmpty() && !path.starts_with(u"./"))
        return Wide(path);
    const size_t nameStart = path.find_first_not_of(u"./");
    // "." or ".." name no file; joining nothing to the folder would name the folder itself.
    if (nameStart == std::u16string::npos)
        return CWideString();
    return CombinePath(programDirectory, path.c_str() + nameStart);
}
