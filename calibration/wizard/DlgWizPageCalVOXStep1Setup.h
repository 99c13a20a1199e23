// CDlgWizPage_CalVOXStep1_Setup: the points of the optical DO calibration, 100 % saturation and
// optionally 0 %, while the live readings show; or "Restore factory calibration" and Finish. The
// choice is kept in the profile.
#pragma once

#include <QGroupBox>

#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVEdit.h"

class CCalDataVOX;

inline constexpr UINT IDD_CAL_VOX_SETUP = 171;
inline constexpr const char16_t* kVOXProfileSection = u"Sensors\\Calibration\\VOX";

class CDlgWizPage_CalVOXStep1_Setup : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalVOXStep1_Setup();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;
    BOOL OnWizardFinish() override;

    CNVCheckBox& RestoreBox() { return m_restore; }
    CNVComboBox& Point1List() { return m_point1; }
    CNVComboBox& Point2List() { return m_point2; }
    CNVEdit& Temperature() { return m_temperature; }
    CNVEdit& Oxygen() { return m_oxygen; }
    CNVEdit& Saturation() { return m_saturation; }
    CNVEdit& Baro() { return m_baro; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNewData() override;

private:
    CCalDataVOX* Data() const;
    void OnRestoreClicked();
    BOOL IsSelectionValid() const;
    void ApplyNextRule();

    CNVCheckBox m_restore;
    QGroupBox m_pointsGroup;
    CNVComboBox m_point1;
    CNVComboBox m_point2;
    QGroupBox m_readingsGroup;
    CNVEdit m_temperature;
    CNVEdit m_oxygen;
    CNVEdit m_saturation;
    CNVEdit m_baro;
};
