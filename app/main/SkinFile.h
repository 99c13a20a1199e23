// The skin file "RUVoroDov.ini" beside the executable, read into g_Skin at start-up.
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

#include "ui/Skin.h"

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
