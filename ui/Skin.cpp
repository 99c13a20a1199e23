#include "ui/Skin.h"

#include <initializer_list>

#include "foundation/NameLookups.h"
#include "foundation/PathTools.h"

sSkin g_Skin;

namespace
{

constexpr COLORREF kDefaultTabTextNormalColor = 0xFFFFFF;
constexpr COLORREF kDefaultTabTextSelectedColor = 0;
constexpr COLORREF kDefaultTabTextHoverColor = 0;
constexpr COLORREF kDefaultTabTextDisabledColor = 0x808080;

constexpr DeviceTypeId kVoxProType = 12;
constexpr DeviceTypeId kVoxBrawnType = 19;
constexpr DeviceTypeId kMariskType = 18;

} // namespace

void SetSkinDefaults()
{
    g_Skin = sSkin();
    g_Skin.title = kDefaultSkinTitle;
    g_Skin.backgroundColor = kDefaultSkinBackgroundColor;
    g_Skin.tabTextNormalColor = kDefaultTabTextNormalColor;
    g_Skin.tabTextSelectedColor = kDefaultTabTextSelectedColor;
    g_Skin.tabTextHoverColor = kDefaultTabTextHoverColor;
    g_Skin.tabTextDisabledColor = kDefaultTabTextDisabledColor;
    g_Skin.modelNameType12 = GetDeviceModelName(kVoxProType);
    g_Skin.modelNameType19 = GetDeviceModelName(kVoxBrawnType);
    g_Skin.modelNameType18 = GetDeviceModelName(kMariskType);
}

BOOL HasSkinTabBitmaps()
{
    for (const CWideString* path : {&g_Skin.tabBitmapNormal, &g_Skin.tabBitmapSelected,
                                    &g_Skin.tabBitmapHover, &g_Skin.tabBitmapDisabled})
        if (path->IsEmpty() || !FileExists(*path))
            return FALSE;
    return TRUE;
}
