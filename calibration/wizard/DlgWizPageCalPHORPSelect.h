// CDlgWizPage_CalPHORPSelect: the first page of the pH/ORP wizard. "Calibrate pH" and "Calibrate
// ORP" lead on to their branch; "Restore factory calibration" offers only Finish, which asks first.
#pragma once

#include <QLabel>

#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVButton.h"

class CCalDataPHORP;

inline constexpr UINT IDD_CAL_PHORP_SELECT = 154;
inline constexpr UINT IDC_CAL_PHORP_RESTORE = 1140;
inline constexpr UINT IDC_CAL_PHORP_PH = 1141;
inline constexpr UINT IDC_CAL_PHORP_ORP = 1142;

class CDlgWizPage_CalPHORPSelect : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalPHORPSelect();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;
    BOOL OnWizardFinish() override;

    CNVRadioButton& RestoreOption() { return m_restore; }
    CNVRadioButton& PHOption() { return m_pH; }
    CNVRadioButton& ORPOption() { return m_orp; }

protected:
    LRESULT OnNewData() override { return 0; }

private:
    CCalDataPHORP* Data() const;
    void OnOptionClicked(uint32_t mode);

    QLabel m_prompt;
    CNVRadioButton m_restore;
    CNVRadioButton m_pH;
    CNVRadioButton m_orp;
};
