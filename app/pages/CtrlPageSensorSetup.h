// CCtrlPage_SensorSetup: the third page of the main window, where the sensors of the probe are set
// up and calibrated. For now the page holds its title only; its controls come later.
#pragma once

#include "app/pages/CtrlPageBase.h"

class CCtrlPage_SensorSetup : public CCtrlPage_Base
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 133;

    explicit CCtrlPage_SensorSetup(QWidget* pParentWnd = nullptr);

protected:
    BOOL OnInitDialog() override;
};
