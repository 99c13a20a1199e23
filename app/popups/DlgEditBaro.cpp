#include "app/popups/DlgEditBaro.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "app/popups/TypedNumberText.h"
#include "foundation/NameLookups.h"
#include "ui/QtText.h"

namespace
{

constexpr int kEditWidth = 100;
constexpr int kGroupIndent = 20;

void FillUnits(CNVComboBox& combo, UnitId first, UnitId last, int selected)
{
    const QSignalBlocker blocker(&combo);
    combo.clear();
    for (UnitId unit = first; unit <= last; ++unit)
        combo.addItem(ui::ToQString(GetUnitAbbreviation(unit)));
    combo.setCurrentIndex(selected);
}

} // namespace

CDlgEditBaro::CDlgEditBaro(QWidget*) : CNVDialog(kTemplateId, nullptr) {}

BOOL CDlgEditBaro::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Edit Barometric Values"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    grid->setColumnMinimumWidth(0, kGroupIndent);
    const auto addRadio = [&](CNVRadioButton& radio, UINT id, const char* text, int row)
    {
        radio.setParent(this);
        radio.setText(QString::fromLatin1(text));
        SetDlgCtrlID(&radio, id);
        grid->addWidget(&radio, row, 0, 1, 5);
    };
    const auto addQuantity = [&](QLabel& label, UINT labelId, const char* text, CNVEdit& edit, UINT editId,
                                 QLabel& unitsLabel, UINT unitsLabelId, CNVComboBox& units, UINT unitsId,
                                 QLabel& range, UINT rangeId, int row)
    {
        for (auto [widget, id] : {std::pair<QWidget*, UINT>{&label, labelId},
                                  {&edit, editId},
                                  {&unitsLabel, unitsLabelId},
                                  {&units, unitsId},
                                  {&range, rangeId}})
        {
            widget->setParent(this);
            SetDlgCtrlID(widget, id);
        }
        label.setText(QString::fromLatin1(text));
        unitsLabel.setText(QStringLiteral("Units:"));
        edit.setFixedWidth(kEditWidth);
        grid->addWidget(&label, row, 1);
        grid->addWidget(&edit, row, 2);
        grid->addWidget(&unitsLabel, row, 3);
        grid->addWidget(&units, row, 4);
        grid->addWidget(&range, row + 1, 2, 1, 3);
    };
    addRadio(m_enterPressure, IDC_BARO_ENTER_PRESSURE, "Enter Barometric Pressure", 0);
    addQuantity(m_pressureLabel, IDC_BARO_PRESSURE_LABEL, "Baro Pressure:", m_pressure, IDC_BARO_PRESSURE,
                m_pressureUnitsLabel, IDC_BARO_PRESSURE_UNITS_LABEL, m_pressureUnits, IDC_BARO_PRESSURE_UNITS,
                m_pressureRange, IDC_BARO_PRESSURE_RANGE, 1);
    addRadio(m_enterElevation, IDC_BARO_ENTER_ELEVATION, "Enter Elevation (Approx Barometric Pressure)", 3);
    addQuantity(m_elevationLabel, IDC_BARO_ELEVATION_LABEL, "Elevation:", m_elevation, IDC_BARO_ELEVATION,
                m_elevationUnitsLabel, IDC_BARO_ELEVATION_UNITS_LABEL, m_elevationUnits,
                IDC_BARO_ELEVATION_UNITS, m_elevationRange, IDC_BARO_ELEVATION_RANGE, 4);
    grid->setRowMinimumHeight(6, 8);
    m_useAsDefault.setParent(this);
    m_useAsDefault.setText(QStringLiteral("Use value for power on default"));
    SetDlgCtrlID(&m_useAsDefault, IDC_BARO_USE_AS_DEFAULT);
    grid->addWidget(&m_useAsDefault, 7, 0, 1, 5);
    layout->addLayout(grid);
    layout->addLayout(MakeOkCancelRow(*this, m_btnOk, m_btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_entry.Open();
    FillUnits(m_pressureUnits, BARO_FIRST_PRESSURE_UNIT, BARO_LAST_PRESSURE_UNIT,
              m_entry.GetPressureUnitIndex());
    FillUnits(m_elevationUnits, BARO_FIRST_ELEVATION_UNIT, BARO_LAST_ELEVATION_UNIT,
              m_entry.GetElevationUnitIndex());
    ShowEntry();

    connect(&m_enterPressure, &QRadioButton::clicked, this, [this] { OnMode(BARO_MODE_PRESSURE); });
    connect(&m_enterElevation, &QRadioButton::clicked, this, [this] { OnMode(BARO_MODE_ELEVATION); });
    connect(&m_pressure, &QLineEdit::textChanged, this, [this] { OnPressureTyped(); });
    connect(&m_elevation, &QLineEdit::textChanged, this, [this] { OnElevationTyped(); });
    connect(&m_pressureUnits, &QComboBox::currentIndexChanged, this, [this] { OnPressureUnits(); });
    connect(&m_elevationUnits, &QComboBox::currentIndexChanged, this, [this] { OnElevationUnits(); });
    CNVDialog::OnInitDialog();
    return TRUE;
}

void CDlgEditBaro::ShowEntry()
{
    const bool pressureEntry = m_entry.GetMode() == BARO_MODE_PRESSURE;
    m_enterPressure.setChecked(pressureEntry);
    m_enterElevation.setChecked(!pressureEntry);
    for (QWidget* widget : {static_cast<QWidget*>(&m_pressureLabel), static_cast<QWidget*>(&m_pressure),
                            static_cast<QWidget*>(&m_pressureUnitsLabel),
                            static_cast<QWidget*>(&m_pressureUnits), static_cast<QWidget*>(&m_pressureRange)})
        widget->setEnabled(pressureEntry);
    for (QWidget* widget :
         {static_cast<QWidget*>(&m_elevationLabel), static_cast<QWidget*>(&m_elevation),
          static_cast<QWidget*>(&m_elevationUnitsLabel), static_cast<QWidget*>(&m_elevationUnits),
          static_cast<QWidget*>(&m_elevationRange)})
        widget->setEnabled(!pressureEntry);
    if (m_pressure.text() != ui::ToQString(m_entry.GetPressureText()))
        SetEditTextQuietly(m_pressure, ui::ToQString(m_entry.GetPressureText()));
    if (m_elevation.text() != ui::ToQString(m_entry.GetElevationText()))
        SetEditTextQuietly(m_elevation, ui::ToQString(m_entry.GetElevationText()));
    m_pressureRange.setText(ui::ToQString(m_entry.GetPressureRangeText()));
    m_elevationRange.setText(ui::ToQString(m_entry.GetElevationRangeText()));
    m_btnOk.setEnabled(m_entry.IsValid() != FALSE);
}

void CDlgEditBaro::OnMode(int mode)
{
    m_entry.SelectMode(mode);
    ShowEntry();
}

void CDlgEditBaro::OnPressureTyped()
{
    m_entry.TypePressure(ui::ToU16String(m_pressure.text()).c_str());
    ShowEntry();
    m_pressure.setCursorPosition(static_cast<int>(m_pressure.text().size()));
    m_pressure.setFocus();
}

void CDlgEditBaro::OnElevationTyped()
{
    m_entry.TypeElevation(ui::ToU16String(m_elevation.text()).c_str());
    ShowEntry();
    m_elevation.setCursorPosition(static_cast<int>(m_elevation.text().size()));
    m_elevation.setFocus();
}

void CDlgEditBaro::OnPressureUnits()
{
    if (m_pressureUnits.currentIndex() < 0)
        return;
    m_entry.SelectPressureUnit(m_pressureUnits.currentIndex());
    ShowEntry();
}

void CDlgEditBaro::OnElevationUnits()
{
    if (m_elevationUnits.currentIndex() < 0)
        return;
    m_entry.SelectElevationUnit(m_elevationUnits.currentIndex());
    ShowEntry();
}

void CDlgEditBaro::OnOK()
{
    if (!m_entry.IsValid())
        return;
    m_bUseAsDefault = m_useAsDefault.isChecked() ? TRUE : FALSE;
    EndDialog(IDOK);
}
