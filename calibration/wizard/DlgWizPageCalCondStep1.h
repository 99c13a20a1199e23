// CDlgWizPage_CalCondStep1: the first page of the conductivity wizard. The user picks the standard
// (a listed one, or "User defined" with its value in µS/cm) while the live temperature and specific
// conductivity show, or ticks "Restore factory calibration" and finishes. The two radio buttons set
// the sensor's specific-conductivity reference temperature at once (not while the device logs);
// the labels follow it only once the sensor took it. The choice is kept in the profile.
#pragma once

#include <optional>

#include <QGroupBox>
#include <QLabel>

#include "calibration/wizard/CalValueEdit.h"
#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"

class CCalDataConductivity;
namespace NVSystem
{
class ISensor_Conductivity;
}

inline constexpr UINT IDD_CAL_COND_STEP1 = 164;
inline constexpr UINT IDC_CAL_RESTORE_FACTORY = 1143;
inline constexpr UINT IDC_CAL_REF_TEMP_20 = 1249;
inline constexpr UINT IDC_CAL_REF_TEMP_25 = 1250;
inline constexpr UINT IDC_CAL_COND_STANDARD = 1150;
inline constexpr UINT IDC_CAL_USER_VALUE = 1151;
inline constexpr const char16_t* kCondProfileSection = u"Sensors\\Calibration\\Cond";

class CDlgWizPage_CalCondStep1 : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalCondStep1();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;
    BOOL OnWizardFinish() override;

    // Controls, for tests.
    CNVCheckBox& RestoreBox() { return m_restore; }
    CNVRadioButton& RefTemp20() { return m_refTemp20; }
    CNVRadioButton& RefTemp25() { return m_refTemp25; }
    CNVComboBox& StandardList() { return m_standard; }
    CCalValueEdit& UserValue() { return m_userValue; }
    CNVEdit& Temperature() { return m_temperature; }
    CNVEdit& Conductivity() { return m_conductivity; }
    QLabel& UserValueLabel() { return m_userValueLabel; }
    QLabel& ConductivityLabel() { return m_conductivityLabel; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNewData() override;

private:
    CCalDataConductivity* Data() const;
    NVSystem::ISensor_Conductivity* Sensor() const;
    void OnRestoreClicked();
    void OnRefTempClicked(float celsius);
    void OnStandardChanged();
    void OnUserValueEdited();
    BOOL IsSelectionValid() const;
    // The labels' "@25° C" or "@20° C".
    void ShowRefTemp(float celsius);
    // The sensor holds the reference: the standard, the labels and a typed standard follow it.
    void TakeRefTemp(float celsius);
    // The radio of the reference, or none for any other.
    void ShowRefTempRadio(std::optional<float> celsius);
    void ExchangeSettings(BOOL bSave);

    float m_standardRefTemp = 25.0f;
    std::optional<float> m_shownRefTemp; // what the radios show
    CNVCheckBox m_restore;
    QGroupBox m_refTempGroup;
    CNVRadioButton m_refTemp20;
    CNVRadioButton m_refTemp25;
    QGroupBox m_standardGroup;
    CNVComboBox m_standard;
    QLabel m_userValueLabel;
    CCalValueEdit m_userValue;
    QGroupBox m_readingsGroup;
    CNVEdit m_temperature;
    QLabel m_conductivityLabel;
    CNVEdit m_conductivity;
};
