#include "app/pages/CtrlPageSensorSetup.h"

#include <QLabel>
#include <QVBoxLayout>

CCtrlPage_SensorSetup::CCtrlPage_SensorSetup(QWidget* pParentWnd) : CCtrlPage_Base(kTemplateId, pParentWnd) {}

BOOL CCtrlPage_SensorSetup::OnInitDialog()
{
    CCtrlPage_Base::OnInitDialog();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Sensor Setup"), this));
    layout->addStretch();
    return TRUE;
}
