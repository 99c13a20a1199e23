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

    CNVEdit& ReadingField() { return m_reading; }
    CNVEdit& ChangeField() { return m_change; }
    CNVEdit& TemperatureField() { return m_temperature; }

protected:
    QString PreparePointPrompt(CCalData& data) override;
    BOOL UpdateReadings(CCalData& data, BOOL show) override;
    void ClearFields() override;

private:
    CNVEdit m_reading;
    CNVEdit m_change;
    CNVEdit m_temperature;
};
