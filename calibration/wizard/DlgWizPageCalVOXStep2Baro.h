// CDlgWizPage_CalVOXStep2_Baro: the barometric pressure of the optical DO calibration, entered in a
// pressure unit or derived from the site's elevation (CBaroEntry, shared with the sensor setup's
// barometric edit), starting from the sensor's live pressure. Next writes it to the sensor as the
// live pressure in mBar. Units and entry mode are kept in the profile.
#pragma once

#include <QLabel>

#include "calibration/data/BaroEntry.h"
#include "calibration/wizard/CalValueEdit.h"
#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"

inline constexpr UINT IDD_CAL_VOX_BARO = 161;

class CDlgWizPage_CalVOXStep2_Baro : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalVOXStep2_Baro();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;

    CNVRadioButton& PressureOption() { return m_pressureMode; }
    CNVRadioButton& ElevationOption() { return m_elevationMode; }
    CCalValueEdit& PressureEdit() { return m_pressure; }
    CCalValueEdit& ElevationEdit() { return m_elevation; }
    CNVComboBox& PressureUnits() { return m_pressureUnits; }
    CNVComboBox& ElevationUnits() { return m_elevationUnits; }
    QLabel& PressureRange() { return m_pressureRange; }
    QLabel& ElevationRange() { return m_elevationRange; }

protected:
    BOOL OnInitDialog() override;

private:
    void OnModeClicked(int mode);
    void OnPressureUnitChanged(int index);
    void OnElevationUnitChanged(int index);
    void ClearPressureUnlessValid();
    // The entry as it stands: the controls of its mode enabled, both edits and range labels, and
    // Next and Back while it is valid.
    void ShowEntry();

    CBaroEntry m_entry;
    float m_livePressure = 0.0f; // mBar
    CNVRadioButton m_pressureMode;
    QLabel m_pressureLabel;
    CCalValueEdit m_pressure;
    QLabel m_pressureUnitsLabel;
    CNVComboBox m_pressureUnits;
    QLabel m_pressureRange;
    CNVRadioButton m_elevationMode;
    QLabel m_elevationLabel;
    CCalValueEdit m_elevation;
    QLabel m_elevationUnitsLabel;
    CNVComboBox m_elevationUnits;
    QLabel m_elevationRange;
};
