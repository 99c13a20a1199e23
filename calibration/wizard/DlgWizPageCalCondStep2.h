// CDlgWizPage_CalCondStep2: stabilization of the conductivity sensor in its standard. Besides the
// specific conductivity it shows the original cell constant and the one the samples give so far.
#pragma once

#include "calibration/wizard/DlgWizPageCalStabilize.h"

inline constexpr UINT IDD_CAL_COND_STEP2 = 165;

class CDlgWizPage_CalCondStep2 : public CDlgWizPage_CalStabilize
{
    Q_OBJECT

public:
    CDlgWizPage_CalCondStep2();

    BOOL OnSetActive(UINT nDirection) override;

    CNVEdit& NewCellConstantField() { return m_newCellConstant; }
    CNVEdit& OldCellConstantField() { return m_oldCellConstant; }
    QLabel& ConductivityLabel() { return m_conductivityLabel; }

protected:
    QString PreparePointPrompt(CCalData& data) override;
    BOOL UpdateReadings(CCalData& data, BOOL show) override;
    void ClearFields() override;

private:
    QLabel m_conductivityLabel;
    CNVEdit m_newCellConstant;
    CNVEdit m_oldCellConstant;
};
