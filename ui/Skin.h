// The skin: the look and a few names of the application that the optional file "RUVoroDov.ini"
// beside the executable can change without a rebuild (app/main/SkinFile.h reads it). Start-up sets
// the defaults, then loads the file when it is there; every window, the wizards' too, reads g_Skin
// afterwards (on the user-interface thread only).
#pragma once

#include "foundation/WideString.h"
#include "platform/ColorRef.h"
#include "platform/Types.h"

struct sSkin
{
    CWideString title;
    // The file the window icon is loaded from; empty: the program's built-in icon.
    CWideString icon;
    COLORREF backgroundColor = 0;
    COLORREF tabTextNormalColor = 0;
    COLORREF tabTextSelectedColor = 0;
    COLORREF tabTextHoverColor = 0;
    COLORREF tabTextDisabledColor = 0;
    CWideString tabBitmapNormal;
    CWideString tabBitmapSelected;
    CWideString tabBitmapHover;
    CWideString tabBitmapDisabled;
    CWideString backgroundImage;
    CWideString iconImage;
    // Empty: the model table's name applies.
    CWideString modelNameType12;
    CWideString modelNameType19;
    CWideString modelNameType18;
};

extern sSkin g_Skin;

inline constexpr char16_t kSkinFileName[] = u"RUVoroDov.ini";
inline constexpr char16_t kDefaultSkinTitle[] = u"Tarnwick Software";
inline constexpr COLORREF kDefaultSkinBackgroundColor = 0xD6CEBB;

// The start-up state of g_Skin: the default title, colours and tab colours, no icon, bitmaps or
// image, and the model table's names of device types 12, 19 and 18.
void SetSkinDefaults();

// TRUE when all four tab bitmap paths are set and each names an existing file.
BOOL HasSkinTabBitmaps();
