#include "app/main/TabSkin.h"

#include "ui/NVBitmapButtonEx.h"
#include "ui/QtText.h"
#include "ui/Skin.h"

void ApplySkinToTabButton(CNVBitmapButtonEx& tab)
{
    tab.SetTextColors(g_Skin.tabTextNormalColor, g_Skin.tabTextHoverColor, g_Skin.tabTextSelectedColor,
                      g_Skin.tabTextDisabledColor);
    if (!HasSkinTabBitmaps() ||
        !tab.LoadBitmapsFromFiles(ui::ToQString(g_Skin.tabBitmapNormal), ui::ToQString(g_Skin.tabBitmapHover),
                                  ui::ToQString(g_Skin.tabBitmapSelected),
                                  ui::ToQString(g_Skin.tabBitmapDisabled)))
        tab.LoadBitmaps();
    tab.SetFontsBold();
    tab.update();
}
