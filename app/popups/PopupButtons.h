// The row of buttons along the bottom of a popup, right-aligned: each button shows its text, takes
// no default role of its own and sends its command id to the dialog when clicked.
#pragma once

#include <initializer_list>

#include "ui/NVButton.h"
#include "ui/NVDialog.h"

class QBoxLayout;

struct sPopupButton
{
    CNVButton* button;
    UINT id;
    const char* text;
};

void AddPopupButtonRow(CNVDialog& dialog, QBoxLayout& layout, std::initializer_list<sPopupButton> buttons);
