// A combo box with the colour scheme (ColorScheme.h).
#pragma once

#include <QComboBox>

#include "ui/ColorScheme.h"

class CNVComboBox : public CNVColorScheme<QComboBox>
{
public:
    using CNVColorScheme<QComboBox>::CNVColorScheme;
};
