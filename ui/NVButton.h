// Push buttons, check boxes and radio buttons with the colour scheme (ColorScheme.h). The wizard
// frame's four buttons are CNVButtons.
#pragma once

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "ui/ColorScheme.h"

class CNVButton : public CNVColorScheme<QPushButton>
{
public:
    using CNVColorScheme<QPushButton>::CNVColorScheme;

    void Enable() { setEnabled(true); }
    void Disable() { setEnabled(false); }
};

class CNVCheckBox : public CNVColorScheme<QCheckBox>
{
public:
    using CNVColorScheme<QCheckBox>::CNVColorScheme;
};

class CNVRadioButton : public CNVColorScheme<QRadioButton>
{
public:
    using CNVColorScheme<QRadioButton>::CNVColorScheme;
};
