// A static text with the colour scheme (ColorScheme.h); like every Qt label it is transparent
// unless its back colour is switched on.
#pragma once

#include <QLabel>

#include "ui/ColorScheme.h"

class CNVStatic : public CNVColorScheme<QLabel>
{
public:
    using CNVColorScheme<QLabel>::CNVColorScheme;
};
