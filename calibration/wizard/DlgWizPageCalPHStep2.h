// CDlgWizPage_CalPHStep2: stabilization of the pH electrode in each buffer in turn; the
// calibration is committed once, after the last.
#pragma once

#include "calibration/wizard/DlgWizPageCalStabilize.h"

inline constexpr UINT IDD_CAL_PH_STEP2 = 156;

class CDlgWizPage_CalPHStep2 : public CDlgWizPage_CalStabilize
{
    Q_OBJECT

public:
    CDlgWizPage_CalPHStep2();

protected:
    QString PreparePointPrompt(CCalData& data) override;
    BOOL UpdateReadings(CCalData& data, BOOL show) override;
};
