// The skin: the look and a few names of the application that the optional file "RUVoroDov.ini"
// beside the executable can change without a rebuild. Start-up sets the defaults, then loads the
// file when it is there; the windows read g_Skin afterwards (on the user-interface thread only).
//
// The file's keys, all optional:
//   [MainWindow]   Title, IconImage, BackgroundImage,
//                  BackgroundColorRed, BackgroundColorGreen, BackgroundColorBlue
//   [TabTextNormalColor], [TabTextSelectedColor], [TabTextHoverColor], [TabTextDisabledColor]
//                  Red, Green, Blue
//   [TabBitmaps]   Normal, Selected, Hover, Disabled
//   [Names]        VOXPro, VOXBrawn (model names of device types 12 and 19)
// A colour changes only when all three of its keys are present and none is negative; each then
// gives its low byte. A relative path is taken from the executable's folder.
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

// Reads the skin file at path into g_Skin over the values already there; always TRUE (a file
// that cannot be read changes only what a missing key changes, the two model names).
BOOL LoadSkinFile(const char16_t* path);
// The same, with relative paths taken from programDirectory instead of the executable's folder.
BOOL LoadSkinFile(const char16_t* path, const char16_t* programDirectory);

// A path from the skin file made usable: empty stays empty; a bare or relative name (also one
// starting with "./" or "../") loses its leading '.' and '/' characters and is joined to the
// executable's folder; an absolute path stays. Backslashes, as a skin file written for Windows has
// them, count as '/'.
CWideString ResolveSkinPath(const char16_t* text);
CWideString ResolveSkinPath(const char16_t* text, const char16_t* programDirectory);

// TRUE when all four tab bitmap paths are set and each names an existing file.
BOOL HasSkinTabBitmaps();
