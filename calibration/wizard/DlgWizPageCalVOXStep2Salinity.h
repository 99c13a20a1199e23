// CDlgWizPage_CalVOXStep2_Salinity: the salinity of the calibration water, 0 to 350 PSU, written to
// the sensor as its live salinity when the user goes on.
#pragma once

#include <QLabel>

#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDD_CAL_VOX_SALINITY = 184;

class CDlgWizPage_CalVOXStep2_Salinity : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalVOXStep2_Salinity();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;

    CNVEdit& SalinityEdit() { return m_salinity; }
    QLabel& RangeLabel() { return m_range; }

protected:
    BOOL OnInitDialog() override;

private:
    void Validate();

    QLabel m_prompt;
    CNVEdit m_salinity;
    QLabel m_range;
    float m_validSalinity = 0.0f;
};
