// CDlgWizPage_CalORPStep2: stabilization of the ORP electrode in its one standard.
#pragma once

#include "calibration/wizard/DlgWizPageCalStabilize.h"

inline constexpr UINT IDD_CAL_ORP_STEP2 = 159;

class CDlgWizPage_CalORPStep2 : public CDlgWizPage_CalStabilize
{
    Q_OBJECT

public:
    CDlgWizPage_CalORPStep2();

protected:
    QString PreparePointPrompt(CCalData& data) override;
    BOOL UpdateReadings(CCalData& data, BOOL show) override;
};
