// The skin of a tab button (main window and diagnostics window): the skin's tab text colours, its
// four tab pictures when all four exist (the built-in ones otherwise), bold text.
#pragma once

class CNVBitmapButtonEx;

void ApplySkinToTabButton(CNVBitmapButtonEx& tab);
