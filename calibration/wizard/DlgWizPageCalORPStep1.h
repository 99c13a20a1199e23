// CDlgWizPage_CalORPStep1: the ORP standard, ZoBell's solution or a value in mV that the user types
// (negative values too), while the live temperature and ORP show. The choice is kept in the
// profile.
#pragma once

#include <QGroupBox>

#include "calibration/wizard/CalValueEdit.h"
#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVComboBox.h"

class CCalDataPHORP;

inline constexpr UINT IDD_CAL_ORP_STEP1 = 158;
inline constexpr UINT IDC_CAL_ORP_STANDARD = 1168;
inline constexpr const char16_t* kORPProfileSection = u"Sensors\\Calibration\\ORP";

class CDlgWizPage_CalORPStep1 : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalORPStep1();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;

    CNVComboBox& StandardList() { return m_standard; }
    CCalValueEdit& UserValue() { return m_userValue; }
    CNVEdit& Temperature() { return m_temperature; }
    CNVEdit& ORP() { return m_orp; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNewData() override;

private:
    CCalDataPHORP* Data() const;
    void OnStandardChanged();
    BOOL IsSelectionValid() const;
    void ExchangeSettings(BOOL bSave);

    QGroupBox m_standardGroup;
    CNVComboBox m_standard;
    CCalValueEdit m_userValue;
    QGroupBox m_readingsGroup;
    CNVEdit m_temperature;
    CNVEdit m_orp;
};
