// CDlgWizPage_CalVOXStep3_Calibrate: stabilization of the optical DO sensor at 100 % saturation
// and, when chosen, at 0 %. After the commit the sensor gets its own live salinity and pressure
// back.
#pragma once

#include "calibration/wizard/DlgWizPageCalStabilize.h"

inline constexpr UINT IDD_CAL_VOX_CALIBRATE = 162;

class CDlgWizPage_CalVOXStep3_Calibrate : public CDlgWizPage_CalStabilize
{
    Q_OBJECT

public:
    CDlgWizPage_CalVOXStep3_Calibrate();

protected:
    QString PreparePointPrompt(CCalData& data) override;
    BOOL UpdateReadings(CCalData& data, BOOL show) override;
    void AfterCommit(CCalData& data) override;
};
