// The row of buttons along the bottom of a popup, right-aligned: each button shows its text, takes
// no default role of its own (Enter goes to the dialog's default button) and sends its command id
// to the dialog when clicked.
#pragma once

#include <initializer_list>

#include "ui/NVButton.h"
#include "ui/NVDialog.h"

class QBoxLayout;
class QHBoxLayout;

struct sPopupButton
{
    CNVButton* button;
    UINT id;
    const char* text;
};

QHBoxLayout* MakePopupButtonRow(CNVDialog& dialog, std::initializer_list<sPopupButton> buttons);
void AddPopupButtonRow(CNVDialog& dialog, QBoxLayout& layout, std::initializer_list<sPopupButton> buttons);

// The OK and Cancel row, OK the default button.
QHBoxLayout* MakeOkCancelRow(CNVDialog& dialog, CNVButton& ok, CNVButton& cancel);
