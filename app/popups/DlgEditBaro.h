// CDlgEditBaro: "Edit Barometric Values". Asks for the barometric pressure that the optical
// dissolved-oxygen sensor compensates with, either as a pressure or as the site's elevation (the
// pressure then follows from the standard atmosphere), in units of the user's choice, and whether
// it becomes the sensor's power-on default too. The units and the entry mode are remembered in the
// profile while the dialog is open (CBaroEntry). The caller sets the pressure before DoModal and
// reads the pressure and the flag after it; the dialog does not talk to the probe.
#pragma once

#include <QLabel>

#include "calibration/data/BaroEntry.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDC_BARO_ENTER_PRESSURE = 1260;
inline constexpr UINT IDC_BARO_ENTER_ELEVATION = 1261;
inline constexpr UINT IDC_BARO_PRESSURE_LABEL = 1262;
inline constexpr UINT IDC_BARO_ELEVATION_LABEL = 1263;
inline constexpr UINT IDC_BARO_PRESSURE = 1264;
inline constexpr UINT IDC_BARO_PRESSURE_UNITS_LABEL = 1265;
inline constexpr UINT IDC_BARO_ELEVATION_UNITS_LABEL = 1266;
inline constexpr UINT IDC_BARO_PRESSURE_UNITS = 1267;
inline constexpr UINT IDC_BARO_ELEVATION_UNITS = 1268;
inline constexpr UINT IDC_BARO_PRESSURE_RANGE = 1269;
inline constexpr UINT IDC_BARO_ELEVATION_RANGE = 1270;
inline constexpr UINT IDC_BARO_USE_AS_DEFAULT = 1271;
inline constexpr UINT IDC_BARO_ELEVATION = 1186;

class CDlgEditBaro : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 179;

    // The parent is not used: the dialog stands on its own.
    explicit CDlgEditBaro(QWidget* pParentWnd = nullptr);

    // Before DoModal: the pressure the dialog opens with.
    void SetPressureMbar(double mbar) { m_entry.SetPressureMbar(mbar); }
    // After DoModal.
    double GetPressureMbar() const { return m_entry.GetPressureMbar(); }
    BOOL GetUseAsDefault() const { return m_bUseAsDefault; }

    CNVRadioButton& PressureRadio() { return m_enterPressure; }
    CNVRadioButton& ElevationRadio() { return m_enterElevation; }
    CNVEdit& PressureEdit() { return m_pressure; }
    CNVEdit& ElevationEdit() { return m_elevation; }
    CNVComboBox& PressureUnits() { return m_pressureUnits; }
    CNVComboBox& ElevationUnits() { return m_elevationUnits; }
    CNVCheckBox& UseAsDefaultBox() { return m_useAsDefault; }
    CNVButton& OkButton() { return m_btnOk; }
    QString GetPressureRangeText() const { return m_pressureRange.text(); }
    QString GetElevationRangeText() const { return m_elevationRange.text(); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnMode(int mode);
    void OnPressureTyped();
    void OnElevationTyped();
    void OnPressureUnits();
    void OnElevationUnits();
    // The controls from the entry: texts, ranges, which group is enabled, OK.
    void ShowEntry();

    CBaroEntry m_entry;
    BOOL m_bUseAsDefault = FALSE;

    CNVRadioButton m_enterPressure;
    CNVRadioButton m_enterElevation;
    QLabel m_pressureLabel;
    CNVEdit m_pressure;
    QLabel m_pressureUnitsLabel;
    CNVComboBox m_pressureUnits;
    QLabel m_pressureRange;
    QLabel m_elevationLabel;
    CNVEdit m_elevation;
    QLabel m_elevationUnitsLabel;
    CNVComboBox m_elevationUnits;
    QLabel m_elevationRange;
    CNVCheckBox m_useAsDefault;
    CNVButton m_btnOk;
    CNVButton m_btnCancel;
};
